#include <gtest/gtest.h>

#include "EngineDriver.h"
#include "support/TestSignals.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

using namespace TestSignals;

namespace
{
// Feeds silence up to a total of `target` samples in blocks of at most 1000, with one
// computeBlocks() after each block, counting the values that appear.
struct WindowCounter
{
    long long fed = 0;
    int momentary = 0;
    int shortTerm = 0;

    void feedTo (OSKALoudnessModule& module, long long target)
    {
        while (fed < target)
        {
            const int n = static_cast<int> (std::min<long long> (1000, target - fed));
            module.inputBuffer.setSize (6, n, false, false, true);
            module.inputBuffer.clear();
            module.feed();
            fed += n;

            module.computeBlocks();
            momentary += module.newMomentary.load() ? 1 : 0;
            shortTerm += module.newShortTerm.load() ? 1 : 0;
        }
    }
};

struct RateCase
{
    double rate;
    int momentaryLength, momentaryHop;
    int shortTermLength, shortTermHop;
};

// Names the case in test listings (and so in CTest's test names).
void PrintTo (const RateCase& c, std::ostream* os)
{
    *os << static_cast<int> (c.rate) << "Hz";
}

class WindowTiming : public testing::TestWithParam<RateCase>
{
};

// The K-weighted output of a unit impulse in L, as feed() leaves it in inputBuffer.
std::vector<float> impulseResponse (double rate, int length = 64)
{
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::prepare (*module, rate, length);
    EngineDriver::feedBlock (*module, impulse (rate, length / rate, only (L)), 0, length);

    const float* out = module->inputBuffer.getReadPointer (L);
    return std::vector<float> (out, out + length);
}

float largestDifference (const std::vector<float>& a, const std::vector<float>& b)
{
    float largest = 0.0f;
    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max (largest, std::abs (a[i] - b[i]));
    return largest;
}

// The last momentary value of a tone in L at the given rate.
float toneLoudness (double rate, double frequency)
{
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::Values seen;
    EngineDriver::measure (*module, rate, sine (rate, frequency, -20.0f, 1.0, only (L)), &seen);
    return seen.momentary.empty() ? std::numeric_limits<float>::quiet_NaN() : seen.momentary.back();
}
} // namespace

TEST_P (WindowTiming, ValuesAppearAfterAFullWindowAndThenEveryHop)
{
    const auto p = GetParam();
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::prepare (*module, p.rate);

    ASSERT_EQ (module->momentaryLength, p.momentaryLength);
    ASSERT_EQ (module->shortTermLength, p.shortTermLength);
    EXPECT_EQ (module->momentaryFifo->getCapacity(), 4 * p.momentaryLength);
    EXPECT_EQ (module->shortTermFifo->getCapacity(), 4 * p.shortTermLength);

    WindowCounter count;
    count.feedTo (*module, p.momentaryLength - 1);
    EXPECT_EQ (count.momentary, 0);
    count.feedTo (*module, p.momentaryLength);
    EXPECT_EQ (count.momentary, 1);
    count.feedTo (*module, p.momentaryLength + p.momentaryHop - 1);
    EXPECT_EQ (count.momentary, 1);
    count.feedTo (*module, p.momentaryLength + p.momentaryHop);
    EXPECT_EQ (count.momentary, 2);

    count.feedTo (*module, p.shortTermLength - 1);
    EXPECT_EQ (count.shortTerm, 0);
    count.feedTo (*module, p.shortTermLength);
    EXPECT_EQ (count.shortTerm, 1);
    EXPECT_EQ (count.momentary, 1 + (p.shortTermLength - p.momentaryLength) / p.momentaryHop);

    count.feedTo (*module, p.shortTermLength + p.shortTermHop - 1);
    EXPECT_EQ (count.shortTerm, 1);
    count.feedTo (*module, p.shortTermLength + p.shortTermHop);
    EXPECT_EQ (count.shortTerm, 2);
    count.feedTo (*module, p.shortTermLength + 2 * p.shortTermHop);
    EXPECT_EQ (count.shortTerm, 3);
}

// Both kinds step on by the momentary hop (100 ms); 32 kHz has no filters of its own but its
// own window lengths.
INSTANTIATE_TEST_SUITE_P (
    Rates, WindowTiming,
    testing::Values (RateCase{48000, 19200, 4800, 144000, 4800}, RateCase{44100, 17640, 4410, 132300, 4410},
                     RateCase{96000, 38400, 9600, 288000, 9600}, RateCase{88200, 35280, 8820, 264600, 8820},
                     RateCase{32000, 12800, 3200, 96000, 3200}),
    [] (const auto& caseInfo) { return std::to_string (static_cast<int> (caseInfo.param.rate)); });

TEST (LoudnessModule, NewValueFlagsLastOneTimeSlice)
{
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::prepare (*module, 48000, 4800);

    const auto tone = sine (48000, 997, -20.0f, 0.4, only (L));
    for (int start = 0; start < tone.getNumSamples(); start += 4800)
        EngineDriver::feedBlock (*module, tone, start, 4800);

    EXPECT_EQ (module->useTimeSlice(), 50);
    EXPECT_TRUE (module->newMomentary.load());
    EXPECT_FALSE (module->newShortTerm.load());
    EXPECT_EQ (module->getResults().momentary, -23.0f);

    module->useTimeSlice();
    EXPECT_FALSE (module->newMomentary.load());
    EXPECT_EQ (module->getResults().momentary, -23.0f); // the value stays
}

TEST (LoudnessModule, BlockLoudnessOfTonesInSingleChannels)
{
    // -20 dBFS at 997 Hz in L: +0.69 dB of K-weighting cancels the -0.691 offset.
    {
        auto module = std::make_unique<OSKALoudnessModule>();
        EngineDriver::Values seen;
        EngineDriver::measure (*module, 48000, sine (48000, 997, -20.0f, 5.0, only (L)), &seen);
        ASSERT_EQ (seen.momentary.size(), 47u);
        ASSERT_EQ (seen.shortTerm.size(), 21u); // 3 s to 5 s, ten a second
        for (float m : seen.momentary)
            EXPECT_EQ (m, -23.0f);
        for (float s : seen.shortTerm)
            EXPECT_EQ (s, -23.0f);
    }

    // The surround weight is 1.41 (+1.49 dB), not 1.5 dB; LFE does not count.
    {
        auto module = std::make_unique<OSKALoudnessModule>();
        EXPECT_EQ (module->getChannelWeight (Ls), 1.41f);
        EXPECT_EQ (module->getChannelWeight (Rs), 1.41f);
        EXPECT_EQ (module->getChannelWeight (LFE), 0.0f);
        EXPECT_NEAR (
            EngineDriver::measure (*module, 48000, sine (48000, 997, -20.0f, 3.0, only (Ls))).shortTerm,
            -21.5f, 0.05f);
    }
    for (int channel : {R, C, Rs})
    {
        auto module = std::make_unique<OSKALoudnessModule>();
        const float expected = channel == Rs ? -21.5f : -23.0f;
        EXPECT_NEAR (
            EngineDriver::measure (*module, 48000, sine (48000, 997, -20.0f, 3.0, only (channel))).shortTerm,
            expected, 0.05f)
            << "channel " << channel;
    }
    {
        auto module = std::make_unique<OSKALoudnessModule>();
        const auto r = EngineDriver::measure (*module, 48000, sine (48000, 997, -20.0f, 3.0, only (LFE)));
        EXPECT_EQ (r.momentary, -70.0f);
        EXPECT_EQ (r.shortTerm, -70.0f);
    }
}

TEST (LoudnessModule, SilenceSitsOnTheFloorAndFullScaleSaturates)
{
    auto quiet = std::make_unique<OSKALoudnessModule>();
    EngineDriver::Values seen;
    EngineDriver::measure (*quiet, 48000, silence (48000, 3.5), &seen);
    ASSERT_FALSE (seen.momentary.empty());
    for (float m : seen.momentary)
        EXPECT_EQ (m, -70.0f);
    EXPECT_EQ (quiet->getResults().shortTerm, -70.0f);
    EXPECT_EQ (quiet->getResults().integrated, -70.0f);

    auto loud = std::make_unique<OSKALoudnessModule>();
    const auto r =
        EngineDriver::measure (*loud, 48000, square (48000, 1000, 0.0f, 3.5, fiveChannelDb (0, 0, 0, 0, 0)));
    EXPECT_EQ (r.momentary, 0.0f);
    EXPECT_EQ (r.shortTerm, 0.0f);
}

TEST (LoudnessModule, UnsupportedRateUsesThe48kHzFilters)
{
    const auto at32k = impulseResponse (32000);
    EXPECT_EQ (at32k, impulseResponse (48000));
    EXPECT_GT (largestDifference (at32k, impulseResponse (44100)), 1e-3f);
}

TEST (LoudnessModule, EverySupportedRateHasItsOwnFilters)
{
    const double rates[] = {44100, 48000, 88200, 96000, 176400, 192000};
    std::vector<std::vector<float>> responses;
    for (double rate : rates)
        responses.push_back (impulseResponse (rate));

    for (size_t a = 0; a < responses.size(); ++a)
        for (size_t b = a + 1; b < responses.size(); ++b)
            EXPECT_GT (largestDifference (responses[a], responses[b]), 1e-3f)
                << rates[a] << " vs " << rates[b];

    // The 88.2 kHz pre-filter starts with its own b0 (the high-pass stage's b0 is 1).
    EXPECT_FLOAT_EQ (responses[2][0], 1.5575154f);
}

TEST (LoudnessModule, EveryRateWeightsTheSameCurve)
{
    // One analogue design at every rate: tones across the band read as at 48 kHz.
    for (double frequency : {60.0, 997.0, 4000.0, 10000.0})
    {
        const float reference = toneLoudness (48000, frequency);

        for (double rate : {44100.0, 88200.0, 96000.0, 176400.0, 192000.0})
            EXPECT_NEAR (toneLoudness (rate, frequency), reference, 0.11f) << frequency << " Hz at " << rate;
    }

    EXPECT_EQ (toneLoudness (48000, 997), -23.0f);
    EXPECT_GT (toneLoudness (48000, 10000), -20.0f); // the high shelf lifts by about 4 dB
    EXPECT_LT (toneLoudness (48000, 30), -23.5f);    // the high-pass cuts the lows
}

TEST (LoudnessModule, NanAudioNeverReachesTheStatistics)
{
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::measure (*module, 48000, sine (48000, 997, -20.0f, 4.0, only (L)));
    const auto before = module->getResults();
    const int momentaryCount = module->momentaryHistogram.countAtOrAbove (-70.0f);
    const int shortTermCount = module->shortTermHistogram.countAtOrAbove (-70.0f);
    ASSERT_GT (momentaryCount, 0);

    // A NaN sample makes every window that holds it NaN; those values are left out of
    // the statistics, the others are counted as usual.
    auto poisoned = sine (48000, 997, -20.0f, 4.0, only (L));
    poisoned.setSample (L, 30000, std::numeric_limits<float>::quiet_NaN());
    EngineDriver::Values seen;
    EngineDriver::play (*module, poisoned, 512, &seen);

    const auto finite = [] (const std::vector<float>& values)
    {
        return static_cast<int> (
            std::count_if (values.begin(), values.end(), [] (float v) { return !std::isnan (v); }));
    };

    ASSERT_LT (finite (seen.momentary), static_cast<int> (seen.momentary.size()));
    ASSERT_LT (finite (seen.shortTerm), static_cast<int> (seen.shortTerm.size()));
    EXPECT_EQ (module->momentaryHistogram.countAtOrAbove (-70.0f), momentaryCount + finite (seen.momentary));
    EXPECT_EQ (module->shortTermHistogram.countAtOrAbove (-70.0f), shortTermCount + finite (seen.shortTerm));
    EXPECT_NEAR (module->getResults().integrated, before.integrated, 1e-3f);
    EXPECT_NEAR (module->getResults().loudnessRange, before.loudnessRange, 1e-3f);
    EXPECT_EQ (module->getResults().momentary, -23.0f);
}
