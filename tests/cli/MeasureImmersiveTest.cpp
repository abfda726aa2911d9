#include <gtest/gtest.h>

#include "MeasureRunner.h"

#include "support/TemporaryFolder.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <ebur128.h>

#include <cmath>

// Files of 8, 10 and 12 channels with their WAVE_FORMAT_EXTENSIBLE speaker masks, measured by
// tarn51-measure and by libebur128 (which knows the positions of the BS.2051 speakers) on the
// same float samples: a 997 Hz tone at -23 dBFS in each channel alone shows each channel's
// weight, and noise at a different level in every channel the whole sum.

namespace
{
using S = juce::AudioChannelSet;

struct Speaker
{
    S::ChannelType type; // JUCE's type, whose number less one is the WAVE speaker bit
    int reference;       // libebur128's position
    const char* label;   // the meter's name, as the JSON "channels" array gives it
};

// In WAVE bit order, the order of the channels in a file.
const Speaker L{S::left, EBUR128_Mp030, "L"}, R{S::right, EBUR128_Mm030, "R"},
    C{S::centre, EBUR128_Mp000, "C"}, LFE{S::LFE, EBUR128_UNUSED, "LFE"};

struct Case
{
    const char* name;
    std::vector<Speaker> speakers;
    std::vector<const char*> meterOrder; // the JSON "channels" array
};

std::ostream& operator<< (std::ostream& out, const Case& c)
{
    return out << c.name;
}

const Case cases[] = {
    // Side and back pairs: the sides at 90° (1.41), the backs the rear pair at 135° (1.0).
    {"7.1",
     {L,
      R,
      C,
      LFE,
      {S::leftSurround, EBUR128_Mp135, "Lrs"},
      {S::rightSurround, EBUR128_Mm135, "Rrs"},
      {S::leftSurroundSide, EBUR128_Mp090, "Lss"},
      {S::rightSurroundSide, EBUR128_Mm090, "Rss"}},
     {"L", "R", "C", "LFE", "Lss", "Rss", "Lrs", "Rrs"}},
    // One surround pair (back bits, 0x3F): the 5.1 surrounds at 110° (1.41).
    {"5.1.4",
     {L,
      R,
      C,
      LFE,
      {S::leftSurround, EBUR128_Mp110, "Ls"},
      {S::rightSurround, EBUR128_Mm110, "Rs"},
      {S::topFrontLeft, EBUR128_Up030, "Ltf"},
      {S::topFrontRight, EBUR128_Um030, "Rtf"},
      {S::topRearLeft, EBUR128_Up110, "Ltr"},
      {S::topRearRight, EBUR128_Um110, "Rtr"}},
     {"L", "R", "C", "LFE", "Ls", "Rs", "Ltf", "Rtf", "Ltr", "Rtr"}},
    {"7.1.4",
     {L,
      R,
      C,
      LFE,
      {S::leftSurround, EBUR128_Mp135, "Lrs"},
      {S::rightSurround, EBUR128_Mm135, "Rrs"},
      {S::leftSurroundSide, EBUR128_Mp090, "Lss"},
      {S::rightSurroundSide, EBUR128_Mm090, "Rss"},
      {S::topFrontLeft, EBUR128_Up045, "Ltf"},
      {S::topFrontRight, EBUR128_Um045, "Rtf"},
      {S::topRearLeft, EBUR128_Up135, "Ltr"},
      {S::topRearRight, EBUR128_Um135, "Rtr"}},
     {"L", "R", "C", "LFE", "Lss", "Rss", "Lrs", "Rrs", "Ltf", "Rtf", "Ltr", "Rtr"}},
};

constexpr double rate = 48000.0;

struct Reference
{
    double integrated;
    std::vector<double> truePeaks; // dB, in file order
};

Reference measureWithLibebur128 (const Case& c, const juce::AudioBuffer<float>& audio)
{
    const auto channels = static_cast<unsigned> (c.speakers.size());
    auto* state = ebur128_init (channels, (unsigned long)rate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);

    for (unsigned k = 0; k < channels; ++k)
        ebur128_set_channel (state, k, c.speakers[k].reference);

    std::vector<float> interleaved ((size_t)audio.getNumSamples() * channels);
    for (int i = 0; i < audio.getNumSamples(); ++i)
        for (unsigned k = 0; k < channels; ++k)
            interleaved[(size_t)i * channels + k] = audio.getSample ((int)k, i);

    ebur128_add_frames_float (state, interleaved.data(), (size_t)audio.getNumSamples());

    Reference r;
    ebur128_loudness_global (state, &r.integrated);
    for (unsigned k = 0; k < channels; ++k)
    {
        double peak = 0.0;
        ebur128_true_peak (state, k, &peak);
        r.truePeaks.push_back (20.0 * std::log10 (peak));
    }

    ebur128_destroy (&state);
    return r;
}

juce::File writeWav (const juce::File& file, const Case& c, const juce::AudioBuffer<float>& audio)
{
    S layout;
    for (const auto& s : c.speakers)
        layout.addChannel (s.type);

    file.deleteFile();
    std::unique_ptr<juce::OutputStream> stream = std::make_unique<juce::FileOutputStream> (file);
    std::unique_ptr<juce::AudioFormatWriter> writer (
        juce::WavAudioFormat().createWriterFor (stream.get(), rate, layout, 32, {}, 0));
    EXPECT_NE (writer, nullptr);

    if (writer != nullptr)
    {
        stream.release();
        writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
    }

    return file;
}

class MeasureImmersive : public testing::TestWithParam<Case>
{
};
} // namespace

TEST_P (MeasureImmersive, ReadsAsLibebur128DoesOnTheSameSamples)
{
    const auto& c = GetParam();
    const int channels = (int)c.speakers.size();
    const TemporaryFolder folder;

    // A tone in each channel alone, then noise in all of them at levels 1.5 dB apart.
    std::vector<juce::AudioBuffer<float>> programmes;
    const float amplitude = juce::Decibels::decibelsToGain (-23.0f);

    for (int k = 0; k < channels; ++k)
    {
        juce::AudioBuffer<float> tone (channels, (int)(6.0 * rate));
        tone.clear();
        for (int i = 0; i < tone.getNumSamples(); ++i)
            tone.setSample (
                k, i, amplitude * (float)std::sin (2.0 * juce::MathConstants<double>::pi * 997.0 * i / rate));
        programmes.push_back (std::move (tone));
    }

    // Noise smoothed over four samples: full-band noise has its true peaks near half the rate,
    // where any two interpolation filters part by more than the tolerance.
    juce::Random random (0x5eed);
    juce::AudioBuffer<float> noise (channels, (int)(10.0 * rate));
    for (int k = 0; k < channels; ++k)
    {
        const float gain = juce::Decibels::decibelsToGain (-16.0f - 1.5f * (float)k);
        float recent[4] = {};
        for (int i = 0; i < noise.getNumSamples(); ++i)
        {
            recent[i % 4] = random.nextFloat() * 2.0f - 1.0f;
            noise.setSample (k, i, gain * 0.25f * (recent[0] + recent[1] + recent[2] + recent[3]));
        }
    }
    programmes.push_back (std::move (noise));

    juce::StringArray arguments{"--json"};
    for (size_t p = 0; p < programmes.size(); ++p)
        arguments.add (
            writeWav (folder["p" + juce::String ((int)p) + ".wav"], c, programmes[p]).getFullPathName());

    const auto run = runMeasure (arguments);
    ASSERT_EQ (run.status, 0) << run.err;
    const auto objects = run.jsonObjects();
    ASSERT_EQ ((size_t)objects.size(), programmes.size()) << run.out;

    for (size_t p = 0; p < programmes.size(); ++p)
    {
        SCOPED_TRACE (p < (size_t)channels ? juce::String ("tone in ") + c.speakers[p].label
                                           : juce::String ("noise"));
        const auto& o = objects[(int)p];
        const auto reference = measureWithLibebur128 (c, programmes[p]);

        // The channels by name, in the meter's order, each with its peak.
        const auto* names = o["channels"].getArray();
        const auto* peaks = o["truePeak"].getArray();
        ASSERT_TRUE (names != nullptr && peaks != nullptr) << run.out;
        ASSERT_EQ ((size_t)names->size(), c.meterOrder.size());
        ASSERT_EQ (peaks->size(), names->size());

        for (int k = 0; k < channels; ++k)
        {
            const auto at = names->indexOf (juce::var (juce::String (c.speakers[(size_t)k].label)));
            ASSERT_EQ (names->getReference (at).toString(), juce::String (c.meterOrder[(size_t)at]));
            const auto expected = reference.truePeaks[(size_t)k];

            if (std::isfinite (expected))
                EXPECT_NEAR ((double)peaks->getReference (at), expected, 0.3) << c.speakers[(size_t)k].label;
            else
                EXPECT_TRUE (peaks->getReference (at).isVoid() || (double)peaks->getReference (at) <= -70.0)
                    << c.speakers[(size_t)k].label;
        }

        // The LFE alone is no loudness at all: the floor, where libebur128 has none.
        if (std::isfinite (reference.integrated))
            EXPECT_NEAR ((double)o["integrated"], reference.integrated, 0.1);
        else
            EXPECT_LE ((double)o["integrated"], -70.0);
    }
}

INSTANTIATE_TEST_SUITE_P (Layouts, MeasureImmersive, testing::ValuesIn (cases));
