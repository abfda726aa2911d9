#include <gtest/gtest.h>

#include "engine/OverlapFifo.h"

#include <array>
#include <cmath>
#include <vector>

namespace
{
// Six channels in which sample i of channel c holds first + i + 1000 * c, so every sample
// that comes out of the queue tells where it came from.
juce::AudioSampleBuffer ramp (int first, int length, int channels = OverlapFifo::numChannels)
{
    juce::AudioSampleBuffer b (channels, length);

    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < length; ++i)
            b.setSample (c, i, static_cast<float> (first + i + 1000 * c));

    return b;
}

void expectRamp (const juce::AudioSampleBuffer& window, int first, int length)
{
    for (int c = 0; c < OverlapFifo::numChannels; ++c)
        for (int i = 0; i < length; ++i)
            ASSERT_EQ (window.getSample (c, i), static_cast<float> (first + i + 1000 * c))
                << "channel " << c << " sample " << i;
}
} // namespace

TEST (OverlapFifo, HoldsOneSampleLessThanItsCapacityAndDropsTheRest)
{
    OverlapFifo fifo (100, 0.75f);
    fifo.write (ramp (0, 60));
    EXPECT_EQ (fifo.numReady(), 60);

    fifo.write (ramp (60, 60));
    EXPECT_EQ (fifo.numReady(), 99);

    // What fitted is the start of the second block; its end was dropped.
    juce::AudioSampleBuffer window (6, 99);
    fifo.readWindow (window, 99);
    expectRamp (window, 0, 99);
}

TEST (OverlapFifo, ConsumesOnlyTheHopOfEachWindow)
{
    OverlapFifo fifo (40, 0.75f);
    fifo.write (ramp (0, 39));

    juce::AudioSampleBuffer window (6, 16);
    fifo.readWindow (window, 16);
    expectRamp (window, 0, 16);
    EXPECT_EQ (fifo.numReady(), 35); // a quarter of 16 consumed

    fifo.readWindow (window, 16);
    expectRamp (window, 4, 16);
}

TEST (OverlapFifo, EightyPercentOverlapLeavesOneSampleMoreThanFourFifths)
{
    // The hop is floor ((1 - 0.8f) * length) in single precision: 28799 of 144000.
    OverlapFifo fifo (4 * 144000, 0.8f);
    fifo.write (ramp (0, 150000, 1));

    juce::AudioSampleBuffer window (6, 144000);
    fifo.readWindow (window, 144000);
    EXPECT_EQ (fifo.numReady(), 150000 - 28799);

    fifo.readWindow (window, 144000);
    EXPECT_EQ (window.getSample (0, 0), 28799.0f);

    fifo.reset();
    EXPECT_EQ (fifo.numReady(), 0);
}

TEST (OverlapFifo, WindowsStayContiguousAcrossTheWrapAround)
{
    OverlapFifo fifo (50, 0.5f);
    juce::AudioSampleBuffer window (6, 20);

    int written = 0;
    int expectedStart = 0;

    for (int round = 0; round < 12; ++round)
    {
        fifo.write (ramp (written, 10));
        written += 10;

        while (fifo.numReady() >= 20)
        {
            fifo.readWindow (window, 20);
            expectRamp (window, expectedStart, 20);
            expectedStart += 10;
        }
    }

    EXPECT_GT (expectedStart, 50); // the read position went round the buffer
}

TEST (OverlapFifo, ChannelsMissingFromTheSourceAreQueuedAsSilence)
{
    OverlapFifo fifo (20, 0.75f);
    juce::AudioSampleBuffer window (6, 10);

    fifo.write (ramp (0, 10));
    fifo.readWindow (window, 10);
    fifo.reset();

    // The same slots are written again from a two-channel block.
    fifo.write (ramp (0, 10, 2));
    fifo.readWindow (window, 10);

    EXPECT_EQ (window.getSample (1, 5), 1005.0f);
    for (int c = 2; c < 6; ++c)
        EXPECT_EQ (window.getMagnitude (c, 0, 10), 0.0f) << "channel " << c;
}

TEST (OverlapFifo, WindowPowerInPlaceMatchesTheCopiedWindow)
{
    // Two queues fed alike, one read by copying windows out, one by summing them in place,
    // across the wrap-around and with a 0.8 overlap: same sums (against getRMSLevel's
    // sequential sum), same hops.
    OverlapFifo copied (4 * 1000, 0.8f);
    OverlapFifo inPlace (4 * 1000, 0.8f);
    juce::AudioSampleBuffer window (6, 1000);
    juce::Random random (7);
    int windows = 0;

    for (int round = 0; round < 40; ++round)
    {
        juce::AudioSampleBuffer block (6, 333);

        for (int c = 0; c < 6; ++c)
            for (int i = 0; i < block.getNumSamples(); ++i)
                block.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);

        copied.write (block);
        inPlace.write (block);

        while (copied.numReady() >= 1000)
        {
            ASSERT_EQ (inPlace.numReady(), copied.numReady());
            copied.readWindow (window, 1000);
            double sums[6];
            ASSERT_EQ (inPlace.readWindowPower (sums, 1000), 1000);

            for (int c = 0; c < 6; ++c)
            {
                const float rms = window.getRMSLevel (c, 0, 1000);
                EXPECT_EQ (static_cast<float> (std::sqrt (sums[c] / 1000.0)), rms) << "channel " << c;
            }

            ++windows;
        }
    }

    EXPECT_EQ (inPlace.numReady(), copied.numReady());
    EXPECT_GT (windows, 40);
}

namespace
{
juce::AudioSampleBuffer noise (juce::Random& random, int length, int channels = OverlapFifo::numChannels)
{
    juce::AudioSampleBuffer b (channels, length);

    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < length; ++i)
            b.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);

    return b;
}

// Noise whose samples spread over some 60 octaves: sums of their squares in double precision
// are then not exact, so adding them in another grouping changes the last bits.
juce::AudioSampleBuffer wideRangeNoise (juce::Random& random, int length)
{
    auto b = noise (random, length);

    for (int c = 0; c < b.getNumChannels(); ++c)
        for (int i = 0; i < length; ++i)
            b.setSample (c, i, b.getSample (c, i) * std::ldexp (1.0f, -random.nextInt (60)));

    return b;
}

void writePart (OverlapFifo& fifo, const juce::AudioSampleBuffer& source, int start, int length)
{
    juce::AudioSampleBuffer part (const_cast<float* const*> (source.getArrayOfReadPointers()),
                                  source.getNumChannels(), start, length);
    fifo.write (part);
}
} // namespace

TEST (OverlapFifo, WindowPowerDoesNotDependOnHowTheAudioWasSplitIntoWrites)
{
    // Offline and real-time measurement write the same audio in different pieces and must
    // read identical values: the sums have to agree to the last bit, not just closely.
    // 1000 is no multiple of the default stretch (64), so windows start anywhere in them; with
    // stretches of 125 every window starts and ends on one, as the meter's 10 ms steps do.
    for (const int chunk : {OverlapFifo::defaultChunkLength, 125})
    {
        juce::Random random (11);
        const auto audio = wideRangeNoise (random, 12000);

        OverlapFifo whole (4 * 1000, 0.75f, chunk), bySample (4 * 1000, 0.75f, chunk),
            byRandomPieces (4 * 1000, 0.75f, chunk);
        std::vector<std::array<double, 6>> expected;

        auto readAll = [] (OverlapFifo& fifo, std::vector<std::array<double, 6>>& out)
        {
            while (fifo.numReady() >= 1000)
            {
                std::array<double, 6> sums{};
                fifo.readWindowPower (sums.data(), 1000);
                out.push_back (sums);
            }
        };

        for (int start = 0; start < audio.getNumSamples(); start += 2000)
        {
            writePart (whole, audio, start, 2000);
            readAll (whole, expected);
        }

        for (auto* fifo : {&bySample, &byRandomPieces})
        {
            std::vector<std::array<double, 6>> got;
            int start = 0;

            while (start < audio.getNumSamples())
            {
                const int length = fifo == &bySample
                                       ? 1
                                       : juce::jmin (1 + random.nextInt (150), audio.getNumSamples() - start);
                writePart (*fifo, audio, start, length);
                start += length;
                readAll (*fifo, got);
            }

            ASSERT_EQ (got.size(), expected.size());

            for (size_t w = 0; w < got.size(); ++w)
                for (int c = 0; c < 6; ++c)
                    ASSERT_EQ (got[w][static_cast<size_t> (c)], expected[w][static_cast<size_t> (c)])
                        << "window " << w << " channel " << c
                        << (fifo == &bySample ? " (single samples)" : " (random pieces)") << " stretch "
                        << chunk;
        }
    }
}

TEST (OverlapFifo, WindowPowerSeesOnlyTheAudioWrittenSinceAReset)
{
    // Loud audio is queued (and partly read), the queue is reset mid-stretch, then quiet audio
    // follows, first with six channels and then with two: nothing of the loud audio, nor of the
    // six-channel audio in the channels a two-channel source lacks, may reach a window's power.
    juce::Random random (5);
    OverlapFifo fifo (4 * 1000, 0.75f);

    auto loud = noise (random, 2100);
    fifo.write (loud);
    double sums[6];
    fifo.readWindowPower (sums, 1000);
    fifo.reset();

    auto quiet = noise (random, 1500);
    quiet.applyGain (0.001f);
    fifo.write (quiet);

    ASSERT_EQ (fifo.readWindowPower (sums, 1000), 1000);

    for (int c = 0; c < 6; ++c)
        EXPECT_EQ (static_cast<float> (std::sqrt (sums[c] / 1000.0)), quiet.getRMSLevel (c, 0, 1000))
            << "channel " << c;

    // Quiet audio holds timeline samples [0, 1500), the stereo audio [1500, 3500); each read
    // moves on by 250, so the tenth and last window read is [2500, 3500): stereo only.
    auto stereo = noise (random, 2000, 2);
    fifo.write (stereo);
    int reads = 0;

    while (fifo.numReady() >= 1000)
    {
        fifo.readWindowPower (sums, 1000);
        ++reads;
    }

    ASSERT_EQ (reads, 10);

    for (int c = 0; c < 2; ++c)
        EXPECT_EQ (static_cast<float> (std::sqrt (sums[c] / 1000.0)), stereo.getRMSLevel (c, 1000, 1000))
            << "channel " << c;

    for (int c = 2; c < 6; ++c)
        EXPECT_EQ (sums[c], 0.0) << "channel " << c;
}
