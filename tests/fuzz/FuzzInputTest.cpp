#include "harness/FuzzHarness.h"

#include <gtest/gtest.h>

#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

// The fuzz targets' checks on inputs made here: hand-made hard cases and random mutations of
// them. CI also runs the targets under libFuzzer with AddressSanitizer (scripts/test.sh); this
// keeps the same checks in every build, with or without clang.
namespace
{
using Bytes = std::vector<std::uint8_t>;

Bytes envelope (const std::string& xml, int lengthAdjustment = 0)
{
    Bytes block = {0x56, 0x43, 0x32, 0x21};
    const auto length = static_cast<std::uint32_t> (static_cast<int> (xml.size()) + lengthAdjustment);
    for (int i = 0; i < 4; ++i)
        block.push_back (static_cast<std::uint8_t> (length >> (8 * i)));
    for (char c : xml)
        block.push_back (static_cast<std::uint8_t> (c));
    block.push_back (0);
    return block;
}

std::string stateWith (const std::string& value)
{
    const char* ids[] = {"MeasurementStandard", "MeasurementScale", "MeasurementUnit",   "MeasurementType",
                         "FollowTransport",     "Surroundlayout",   "TruePeakRefLevel",  "TruePeakMaxLevel",
                         "TruePeakHoldTime",    "TruePeakOverTime", "HistogramLoudness", "MLThreshold",
                         "STLThreshold",        "MomLoudnessParam", "ShtLoudnessParam"};
    std::string xml = "<MYPLUGINSETTINGS";
    for (auto* id : ids)
        xml += std::string (" ") + id + "=\"" + value + "\"";
    return xml + "/>";
}

std::vector<Bytes> stateSeeds()
{
    std::vector<Bytes> seeds;
    for (const char* value : {"0", "1", "-1", "7", "nan", "NaN", "inf", "-inf", "1e39", "-1e39", "1e-45",
                              "2147483648", "-2147483649", "abc", "", "0.5", "1.5", "-0.5", "3.4e38"})
        seeds.push_back (envelope (stateWith (value)));
    seeds.push_back (envelope ("<myPluginSettings MLThreshold=\"-20\"/>"));
    seeds.push_back (envelope (stateWith ("1"), 1000));
    seeds.push_back (envelope (stateWith ("1"), -20));
    seeds.push_back (envelope (stateWith ("1"), -static_cast<int> (stateWith ("1").size())));
    seeds.push_back (envelope ("<OTHER a=\"1\"/>"));
    seeds.push_back (envelope ("not xml at all"));
    seeds.push_back (envelope ("<MYPLUGINSETTINGS><MYPLUGINSETTINGS/></MYPLUGINSETTINGS>"));
    seeds.push_back ({0x56, 0x43, 0x32, 0x21, 0xff, 0xff, 0xff, 0xff, '<', 'M'});
    seeds.push_back ({0x56, 0x43, 0x32, 0x21, 0, 0, 0, 0x80, '<'});
    seeds.push_back ({0x56, 0x43, 0x32, 0x21, 1, 0, 0, 0});
    seeds.push_back ({});
    return seeds;
}

Bytes mutate (Bytes input, std::mt19937& random)
{
    std::uniform_int_distribution<int> kind (0, 4);
    std::uniform_int_distribution<int> anyByte (0, 255);
    const int mutations = 1 + static_cast<int> (random() % 4);
    for (int m = 0; m < mutations; ++m)
    {
        const size_t at = input.empty() ? 0 : random() % input.size();
        switch (kind (random))
        {
        case 0:
            if (!input.empty())
                input[at] ^= static_cast<std::uint8_t> (1u << (random() % 8));
            break;
        case 1:
            input.insert (input.begin() + static_cast<long> (at),
                          static_cast<std::uint8_t> (anyByte (random)));
            break;
        case 2:
            if (!input.empty())
                input.erase (input.begin() + static_cast<long> (at));
            break;
        case 3:
            input.resize (at);
            break;
        default:
            if (!input.empty())
                input[at] = static_cast<std::uint8_t> (anyByte (random));
            break;
        }
    }
    return input;
}

class FuzzInputs : public testing::Test
{
protected:
    static void TearDownTestSuite() { FuzzHarness::shutdown(); }
};

TEST_F (FuzzInputs, StatesMadeByHandAndMutated)
{
    const auto seeds = stateSeeds();
    for (const auto& seed : seeds)
        EXPECT_EQ (FuzzHarness::feedState (seed.data(), seed.size()), "")
            << std::string (seed.begin(), seed.end());

    std::mt19937 random (1);
    for (int i = 0; i < 1500; ++i)
    {
        const auto input = mutate (seeds[random() % seeds.size()], random);
        const auto problem = FuzzHarness::feedState (input.data(), input.size());
        ASSERT_EQ (problem, "") << "input " << i << ": " << std::string (input.begin(), input.end());
    }
}

Bytes audioInput (std::uint8_t rate, std::uint8_t flags, const std::vector<std::pair<int, float>>& changes,
                  const std::vector<float>& samples)
{
    Bytes input = {rate, flags, 0x00, 0x02, 0x10, static_cast<std::uint8_t> (changes.size())};
    for (const auto& [index, value] : changes)
    {
        input.push_back (static_cast<std::uint8_t> (index));
        std::uint8_t bytes[4];
        std::memcpy (bytes, &value, 4);
        input.insert (input.end(), bytes, bytes + 4);
    }
    for (float x : samples)
    {
        std::uint8_t bytes[4];
        std::memcpy (bytes, &x, 4);
        input.insert (input.end(), bytes, bytes + 4);
    }
    return input;
}

TEST_F (FuzzInputs, AudioMadeByHandAndRandom)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> specials;
    for (int i = 0; i < 48000; ++i)
    {
        const float pattern[] = {nan,      inf,  -inf,  1.0e-40f, -1.0e-45f, 3.4e38f,
                                 -3.4e38f, 1.0f, -1.0f, 0.0f,     -0.0f};
        specials.push_back (pattern[i % std::size (pattern)]);
    }
    const std::vector<std::pair<int, float>> wildChanges = {{0, nan},      {5, inf},    {7, -inf},
                                                            {11, 1.0e30f}, {13, -5.0f}, {14, 2.0f},
                                                            {4, 0.5f},     {15, 1.0f},  {3, 0.99f}};

    for (std::uint8_t rate = 0; rate < 6; ++rate)
        for (std::uint8_t flags : {0x01, 0x00, 0x05, 0x09, 0x08})
        {
            const auto input = audioInput (rate, flags, wildChanges, specials);
            EXPECT_EQ (FuzzHarness::feedAudio (input.data(), input.size()), "")
                << "rate " << int (rate) << ", flags " << int (flags);
        }

    std::mt19937 random (2);
    for (int i = 0; i < 60; ++i)
    {
        Bytes input (static_cast<size_t> (random() % 60000));
        for (auto& b : input)
            b = static_cast<std::uint8_t> (random());
        if (input.size() > 2)
            input[1] = static_cast<std::uint8_t> (input[1] & 0xf7); // mostly raw samples
        ASSERT_EQ (FuzzHarness::feedAudio (input.data(), input.size()), "") << "random input " << i;
    }
}
} // namespace
