#include <gtest/gtest.h>

#include "engine/TruePeakDetector.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace
{
constexpr double pi = 3.14159265358979323846;
constexpr float minusInfinity = -std::numeric_limits<float>::infinity();
const float largestTapDb = 20.0f * std::log10 (0.97216796875f);

using Samples = std::vector<float>;

// A sine at a quarter of the sample rate: amplitude x sin (j pi / 2 + phase).
Samples quarterRateSine (int length, double amplitude, double phaseDegrees)
{
    Samples samples ((size_t)length);
    for (int j = 0; j < length; ++j)
        samples[(size_t)j] = (float)(amplitude * std::sin (j * pi / 2.0 + phaseDegrees * pi / 180.0));
    return samples;
}

Samples noise (int length, juce::int64 seed)
{
    juce::Random random (seed);
    Samples samples ((size_t)length);
    for (auto& s : samples)
        s = random.nextFloat() * 1.6f - 0.8f;
    return samples;
}

Samples impulse (int length, int at)
{
    Samples samples ((size_t)length, 0.0f);
    samples[(size_t)at] = 1.0f;
    return samples;
}

struct Detector : TruePeakDetector
{
    explicit Detector (double rate, int blockSize = 4800)
    {
        setSampleRate (rate);
        prepare (blockSize);
    }

    // The samples into all six channels, then one block; `times` blocks in a row.
    Detector& feed (const Samples& samples, int times = 1)
    {
        const int n = (int)samples.size();
        if (buffer.getNumSamples() < n)
            prepare (n);

        for (int t = 0; t < times; ++t)
        {
            for (int c = 0; c < numChannels; ++c)
                buffer.copyFrom (c, 0, samples.data(), n);
            process (n);
        }
        return *this;
    }
};

// Within +0.2 / -0.4 dB of the ideal reading.
void expectTruePeakNear (float measured, double expected)
{
    EXPECT_LE (measured, expected + 0.2);
    EXPECT_GE (measured, expected - 0.4);
}
} // namespace

TEST (TruePeakDetector, QuarterRateSineAt48kHz)
{
    // Samples at +-0.7071 of the amplitude, crests halfway between them.
    for (const double amplitude : {1.0, 0.5})
    {
        SCOPED_TRACE (amplitude);
        const auto sine = quarterRateSine (4800, amplitude, 45.0);
        const double level = 20.0 * std::log10 (amplitude);

        expectTruePeakNear (Detector (48000.0).feed (sine).blockPeak[5], level); // start included
        expectTruePeakNear (Detector (48000.0).feed (sine, 2).blockPeak[0], level);
        EXPECT_NEAR (Detector (384000.0).feed (sine).blockPeak[0], level - 3.0103, 0.001);
    }
}

TEST (TruePeakDetector, SingleSampleReadsTheLargestTap)
{
    // No phase reproduces a lone sample exactly.
    Detector detector (48000.0);
    detector.feed (impulse (64, 20));

    for (int c = 0; c < 6; ++c)
        EXPECT_FLOAT_EQ (detector.blockPeak[c], largestTapDb);
    EXPECT_NEAR (detector.blockPeak[0], -0.245, 0.001);

    // Magnitudes stay in the buffer: nothing before the sample, nothing twelve samples on.
    EXPECT_EQ (detector.buffer.getSample (0, 19), 0.0f);
    EXPECT_EQ (detector.buffer.getSample (0, 26), 0.97216796875f);
    EXPECT_EQ (detector.buffer.getSample (0, 32), 0.0f);
}

TEST (TruePeakDetector, TwoPhasesAt96kHz)
{
    Detector detector (96000.0);
    EXPECT_EQ (detector.mode, 2);
    EXPECT_EQ (detector.phaseCount, 2);

    // Phases 1 and 3: six samples after a lone sample they reach only 0.7798, where phase 0
    // would give its largest tap; at the sample itself phase 1's first tap is the larger.
    detector.feed (impulse (64, 10));
    EXPECT_EQ (detector.buffer.getSample (0, 10), 0.0291748046875f);
    EXPECT_EQ (detector.buffer.getSample (0, 15), 0.97216796875f);
    EXPECT_EQ (detector.buffer.getSample (0, 16), 0.77978515625f);
    EXPECT_EQ (Detector (48000.0).feed (impulse (64, 10)).buffer.getSample (0, 16), 0.97216796875f);

    // Crests where only the other two phases look: a quarter period off, about 0.7 dB below
    // four phases, and still well above the samples.
    const auto sine = quarterRateSine (4800, 1.0, 33.75);
    detector.feed (sine, 2);
    EXPECT_NEAR (Detector (48000.0).feed (sine, 2).blockPeak[0] - detector.blockPeak[0], 0.69, 0.1);
    EXPECT_GT (detector.blockPeak[0] - Detector (384000.0).feed (sine).blockPeak[0], 1.0f);
}

TEST (TruePeakDetector, SamplePeakAtTheHighestRates)
{
    for (const double rate : {352800.0, 384000.0})
    {
        Detector detector (rate);
        EXPECT_EQ (detector.mode, 4);

        const auto signal = noise (1000, 7);
        detector.feed (signal);

        float largest = 0.0f;
        for (size_t j = 0; j < signal.size(); ++j)
        {
            largest = std::max (largest, std::abs (signal[j]));
            ASSERT_EQ (detector.buffer.getSample (2, (int)j), std::abs (signal[j]));
        }
        EXPECT_EQ (detector.blockPeak[2], 20.0f * std::log10 (largest));
    }
}

TEST (TruePeakDetector, RatesWithoutAStandardFilterGetADesignedOne)
{
    // Oversampled to 240 kHz or more, 2x at least below 352.8 kHz.
    for (const auto& [rate, factor] : std::vector<std::pair<double, int>>{
             {8000.0, 30}, {22050.0, 11}, {32000.0, 8}, {50000.0, 5}, {176400.0, 2}, {192000.0, 2}})
    {
        Detector detector (rate);
        EXPECT_EQ (detector.mode, 3) << rate;
        EXPECT_EQ (detector.phaseCount, factor) << rate;
    }
    EXPECT_EQ (Detector (1000.0).phaseCount, TruePeakDetector::maxPhases);

    // A rate that is not a positive number keeps the previous choice.
    const auto sine = quarterRateSine (4800, 1.0, 45.0);
    Detector detector (48000.0);
    for (const double rate : {0.0, -44100.0, std::numeric_limits<double>::quiet_NaN()})
        detector.setSampleRate (rate);
    EXPECT_EQ (detector.phaseCount, 4);
    expectTruePeakNear (detector.feed (sine, 2).blockPeak[0], 0.0);

    // Before any usable rate: sample peak.
    Detector none (0.0);
    EXPECT_EQ (none.mode, 0);
    EXPECT_NEAR (none.feed (sine).blockPeak[0], -3.0103, 0.001);

    // Sample peak empties the coefficients; 44.1 kHz loads all four phases again.
    Detector back (32000.0);
    back.setSampleRate (384000.0);
    for (auto& row : back.coefficients)
        for (double tap : row)
            EXPECT_EQ (tap, 0.0);
    back.setSampleRate (44100.0);
    EXPECT_EQ (back.coefficients[2][0], -0.0189208984375);
    EXPECT_EQ (back.coefficients[3][11], 0.0017089843750);
    EXPECT_EQ (back.coefficients[3][12], 0.0);
    EXPECT_EQ (back.coefficients[4][0], 0.0);
}

// Tones and a two-tone sum with their crests at chosen points between samples, against the true
// peak: the largest value of the band-limited signal on a grid 32 times finer than the samples.
// The top tone is the highest of the form rate / N (N >= 2.5, N a whole number above 20 kHz)
// below min (20 kHz, 0.45 x rate), so that every crest falls at the same points of the grid.
class TruePeakAtAnyRate : public testing::TestWithParam<double>
{
};

TEST_P (TruePeakAtAnyRate, ReadsWithinTheBoundsOfTheTruth)
{
    const double rate = GetParam();
    const double top = 1.0 / std::max (2.5, std::ceil (rate / 20000.0)); // cycles per sample
    constexpr int length = 480;

    const auto signal = [&] (int kind, double t)
    {
        const auto tone = [&] (double frequency) { return std::cos (2.0 * pi * frequency * t); };
        return kind == 0   ? tone (top)
               : kind == 1 ? tone (top / 3.0)
                           : 0.5 * tone (top) + 0.5 * tone (top / 3.0);
    };

    for (int kind = 0; kind < 3; ++kind)
    {
        for (const double crest : {0.0, 0.125, 0.25, 0.375, 0.5})
        {
            SCOPED_TRACE (testing::Message() << "signal " << kind << ", crest at " << crest);
            Samples warmUp ((size_t)length), block ((size_t)length);
            double truth = 0.0;

            for (int j = 0; j < length; ++j)
            {
                warmUp[(size_t)j] = (float)signal (kind, j - length - crest);
                block[(size_t)j] = (float)signal (kind, j - crest);

                for (int f = 0; f < 32; ++f)
                    truth = std::max (truth, std::abs (signal (kind, j + f / 32.0 - crest)));
            }

            Detector detector (rate, length);
            detector.feed (warmUp).feed (block);
            expectTruePeakNear (detector.blockPeak[3], 20.0 * std::log10 (truth));
        }
    }
}

INSTANTIATE_TEST_SUITE_P (NineRates, TruePeakAtAnyRate,
                          testing::Values (8000.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0, 96000.0,
                                           192000.0, 384000.0));

TEST (TruePeakDetector, SilenceAndBadSamples)
{
    Detector detector (48000.0, 512);
    EXPECT_EQ (detector.blockPeak[0], -70.0f); // before the first block

    detector.feed (Samples (512, 0.0f));
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ (detector.blockPeak[c], minusInfinity);

    detector.process (0);
    EXPECT_EQ (detector.blockPeak[0], minusInfinity);

    // A NaN never becomes the peak, and the filter forgets it after twelve samples.
    for (const double rate : {48000.0, 96000.0, 192000.0, 384000.0})
    {
        SCOPED_TRACE (rate);
        auto block = quarterRateSine (256, 0.5, 0.0);
        block[100] = std::numeric_limits<float>::quiet_NaN();

        Detector withNaN (rate, 256);
        EXPECT_NEAR (withNaN.feed (block).blockPeak[0], -6.02, 0.8);
        EXPECT_NEAR (withNaN.feed (quarterRateSine (256, 0.5, 0.0)).blockPeak[0], -6.02, 0.8);
    }
}

TEST (TruePeakDetector, HistoryRunsOnAcrossBlocks)
{
    const auto signal = noise (3000, 42);
    Detector whole (48000.0, 3000);
    whole.feed (signal);

    // The same signal in uneven blocks, with prepare and the same rate again in between.
    Detector split (48000.0, 3000);
    float largest = minusInfinity;
    size_t start = 0;

    for (const size_t length : {1, 11, 12, 500, 1, 976, 1499})
    {
        split.feed (Samples (signal.begin() + (long)start, signal.begin() + (long)(start + length)));
        largest = std::max (largest, split.blockPeak[1]);

        for (size_t j = 0; j < length; ++j)
            ASSERT_EQ (split.buffer.getSample (1, (int)j), whole.buffer.getSample (1, (int)(start + j)));

        split.prepare (1024);
        split.setSampleRate (48000.0);
        start += length;
    }
    EXPECT_EQ (largest, whole.blockPeak[1]);

    // A sample at the end of a block peaks in the next one, also across a rate change.
    Detector detector (48000.0, 64);
    EXPECT_LT (detector.feed (impulse (64, 63)).blockPeak[0], -30.0f);
    detector.setSampleRate (44100.0);
    EXPECT_FLOAT_EQ (detector.feed (Samples (64, 0.0f)).blockPeak[0], largestTapDb);

    // A shorter block leaves the rest of the buffer alone; a longer one is cut to the buffer.
    detector.buffer.clear();
    detector.buffer.setSample (0, 40, 0.5f);
    detector.process (20);
    EXPECT_EQ (detector.buffer.getSample (0, 40), 0.5f);
    detector.process (100000);
    EXPECT_FLOAT_EQ (detector.blockPeak[0], 20.0f * std::log10 (0.5f * 0.97216796875f));
}

TEST (TruePeakDetector, EverySampleIsTheLargestPhaseMagnitude)
{
    // Against the plain definition: shift each sample into a line, newest first, and take the
    // largest |sum of taps x line| over the phases in use. The 48-tap filter may run in single
    // precision (twelve roundings of a sum below 1.5), the designed ones run in double.
    for (const double rate : {48000.0, 96000.0, 32000.0, 192000.0})
    {
        SCOPED_TRACE (rate);
        Detector detector (rate, 1000);

        double line[TruePeakDetector::maxTaps];
        for (int n = 0; n < TruePeakDetector::maxTaps; ++n)
            detector.delayLines[4][n] = line[n] = 0.1 * (n + 1); // history from before the block

        const auto signal = noise (1000, 3);
        detector.feed (signal);

        for (size_t j = 0; j < signal.size(); ++j)
        {
            std::copy_backward (line, line + TruePeakDetector::maxTaps - 1, line + TruePeakDetector::maxTaps);
            line[0] = signal[j];

            double largest = 0.0;
            for (int k = 0; k < detector.phaseCount; ++k)
            {
                double y = 0.0;
                for (int n = 0; n < detector.taps; ++n)
                    y += detector.coefficients[k][n] * line[n];
                largest = std::max (largest, std::abs (y));
            }
            if (detector.mode == 1 || detector.mode == 2)
                ASSERT_NEAR (detector.buffer.getSample (4, (int)j), largest, 2.0e-6) << "sample " << j;
            else
                ASSERT_EQ (detector.buffer.getSample (4, (int)j), (float)largest) << "sample " << j;
        }

        for (int n = 0; n < TruePeakDetector::maxTaps; ++n)
            EXPECT_EQ (detector.delayLines[4][n], line[n]);
    }
}

class ActiveChannels : public testing::TestWithParam<int>
{
};

TEST_P (ActiveChannels, OnlyTheFirstAreMeasured)
{
    const int count = GetParam();
    const auto signal = noise (700, 5);
    Detector all (48000.0, 700);
    Detector some (48000.0, 700);
    some.setActiveChannels (count);
    all.feed (signal);
    some.feed (signal);

    for (int c = 0; c < TruePeakDetector::numChannels; ++c)
    {
        SCOPED_TRACE (c);
        const bool active = c < count;
        EXPECT_EQ (some.blockPeak[c], active ? all.blockPeak[c] : minusInfinity);

        for (int j = 0; j < 700; ++j)
            ASSERT_EQ (some.buffer.getSample (c, j), active ? all.buffer.getSample (c, j) : 0.0f) << j;
    }

    // Channels made active again start from silence; the others ring on from their history.
    some.setActiveChannels (TruePeakDetector::numChannels);
    some.feed (Samples (8, 0.0f));
    for (int c = 0; c < TruePeakDetector::numChannels; ++c)
        EXPECT_EQ (some.blockPeak[c] == minusInfinity, c >= count) << c;
}

INSTANTIATE_TEST_SUITE_P (Counts, ActiveChannels, testing::Values (0, 1, 2, 5, 6));
