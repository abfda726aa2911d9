#include <gtest/gtest.h>

#include "processor/Tarn51AudioProcessor.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

// The processor with its three threads at once, as in a host: processBlock on an audio thread,
// the loudness thread evaluating the windows, and a third thread doing what the editor and the
// host do meanwhile. Run under ThreadSanitizer in CI (scripts/test.sh), where every unguarded
// access between them is reported; here it also checks that audio passes unchanged and that the
// readings stay sane throughout. The test runs for about ten seconds in rounds, with a
// sample-rate change between rounds.
namespace
{
using Clock = std::chrono::steady_clock;

constexpr int numChannels = 6;
const double rates[] = {48000.0, 44100.0, 96000.0, 88200.0, 192000.0, 32000.0, 176400.0};
constexpr auto totalDuration = std::chrono::milliseconds (10000);
constexpr int rounds = 7;

bool isSane (float x)
{
    return std::isfinite (x) && x >= -1000.0f && x <= 1000.0f;
}

// Every loudness and peak value finite and in a plausible range, positions finite.
void expectSaneReadings (const MeterReadings& r, const char* when)
{
    for (float x : {r.momentary.load(), r.shortTerm.load(), r.integrated.load(), r.loudnessRange.load(),
                    r.maxMomentary.load(), r.maxShortTerm.load(), r.maxTruePeak.load()})
        EXPECT_TRUE (isSane (x)) << when << ": " << x;
    for (float x : {r.momentaryPosition.load(), r.shortTermPosition.load(), r.rangeLowPosition.load(),
                    r.rangeHighPosition.load()})
        EXPECT_TRUE (std::isfinite (x)) << when << ": " << x;
    for (int c = 0; c < numChannels; ++c)
        EXPECT_TRUE (isSane (r.peakHold[c])) << when << ": channel " << c;
    EXPECT_TRUE (std::isfinite (r.measuredSamples.load()));
    EXPECT_GE (r.momentaryHits.load(), 0);
    EXPECT_GE (r.shortTermHits.load(), 0);
}

struct AudioThread
{
    Tarn51AudioProcessor& processor;
    std::atomic<bool>& stop;
    unsigned seed;
    int maximumBlock;
    int blocks = 0;
    int changedBlocks = 0;

    void operator()()
    {
        std::mt19937 random (seed);
        std::uniform_int_distribution<int> blockLength (1, maximumBlock);
        std::uniform_real_distribution<float> noise (-1.0f, 1.0f);
        juce::AudioSampleBuffer buffer (numChannels, maximumBlock), copy (numChannels, maximumBlock);
        juce::MidiBuffer midi;
        float gain = 0.3f;
        while (!stop.load())
        {
            const int n = blockLength (random);
            buffer.setSize (numChannels, n, false, false, true);
            copy.setSize (numChannels, n, false, false, true);
            // Quiet and loud passages, so that over flags, maxima and hits keep changing.
            if (blocks % 50 == 0)
                gain = (blocks / 50) % 3 == 0 ? 1.0f : 0.05f;
            for (int c = 0; c < numChannels; ++c)
                for (int i = 0; i < n; ++i)
                    buffer.setSample (c, i, gain * noise (random));
            copy.makeCopyOf (buffer, true);
            processor.processBlock (buffer, midi);
            for (int c = 0; c < numChannels; ++c)
                if (std::memcmp (buffer.getReadPointer (c), copy.getReadPointer (c),
                                 sizeof (float) * (size_t)n) != 0)
                {
                    ++changedBlocks;
                    break;
                }
            ++blocks;
            // A real audio thread waits for the device now and then; this lets the loudness
            // thread keep up with some of the audio.
            if (blocks % 8 == 0)
                std::this_thread::yield();
        }
    }
};

// What the editor's timer, its controls and the host do while audio runs.
struct ControlThread
{
    Tarn51AudioProcessor& processor;
    std::atomic<bool>& stop;
    unsigned seed;
    int iterations = 0;
    int insaneCopies = 0;

    void operator()()
    {
        std::mt19937 random (seed);
        std::uniform_int_distribution<int> parameterIndex (0, 14);
        std::uniform_real_distribution<float> unit (0.0f, 1.0f);
        juce::Array<float> levels, counts;
        std::vector<LoudnessHistory::Step> steps (600);
        std::vector<LoudnessHistory::Bucket> buckets (LoudnessHistory::overviewCapacity);
        juce::MemoryBlock validState;
        processor.getStateInformation (validState);
        const char garbage[] = "VC2!\x10\0\0\0<MYPLUGINSETTINGS ML";

        while (!stop.load())
        {
            // The editor's refresh: a copy of the readings and of both histograms.
            const MeterReadings copy = processor.readings;
            if (!isSane (copy.momentary) || !isSane (copy.integrated) || !isSane (copy.maxTruePeak))
                ++insaneCopies;
            processor.loudnessModule.momentaryHistogram.copyTo (levels, counts);
            processor.loudnessModule.shortTermHistogram.copyTo (levels, counts);
            // The History page's copies of the loudness history.
            int stepsCopied = 0;
            processor.loudnessHistory.copyRecent (processor.loudnessHistory.getNumSteps() - (int)steps.size(),
                                                  steps.data(), (int)steps.size(), stepsCopied);
            processor.loudnessHistory.copyOverview (buckets.data());
            (void)processor.measuring.load();
            (void)processor.currentSampleRate.load();
            for (int i = 0; i < 15; ++i)
                (void)processor.getParameter (i);

            // The over lamps time out, the user presses play/pause or reset.
            processor.readings.truePeakOver = 0;
            for (int c = 0; c < numChannels; ++c)
                processor.readings.channelOver[c] = 0;
            if (iterations % 7 == 0)
                processor.manualRun = (iterations / 7) % 4 == 0 ? 0 : 1;
            if (iterations % 13 == 0)
                processor.resetMeasurement();

            // Host automation and the editor's controls, the output parameters included.
            const int index = parameterIndex (random);
            processor.setParameter (index, unit (random));
            (void)processor.getParameterText (index);

            // The host saves and loads its project.
            if (iterations % 5 == 0)
            {
                juce::MemoryBlock state;
                processor.getStateInformation (state);
            }
            if (iterations % 11 == 0)
                processor.setStateInformation (validState.getData(), (int)validState.getSize());
            if (iterations % 17 == 0)
                processor.setStateInformation (garbage, (int)sizeof (garbage));

            ++iterations;
            std::this_thread::sleep_for (std::chrono::microseconds (200));
        }
    }
};

TEST (ProcessorStress, AudioLoudnessAndControlThreadsTogether)
{
    Tarn51AudioProcessor processor;
    // Follow Transport off: the play button decides, and the control thread presses it.
    processor.setParameter (4, 0.0f);
    processor.manualRun = 1;

    const auto roundDuration = totalDuration / rounds;
    int totalBlocks = 0, totalIterations = 0;
    for (int round = 0; round < rounds; ++round)
    {
        const double rate = rates[round % std::size (rates)];
        const int maximumBlock = round % 2 == 0 ? 512 : 2048;
        processor.prepareToPlay (rate, maximumBlock);
        ASSERT_TRUE (processor.isModuleOnLoudnessThread());

        std::atomic<bool> stop{false};
        AudioThread audio{processor, stop, 100u + (unsigned)round, maximumBlock};
        ControlThread control{processor, stop, 200u + (unsigned)round};
        std::thread audioThread (std::ref (audio));
        std::thread controlThread (std::ref (control));

        const auto end = Clock::now() + roundDuration;
        while (Clock::now() < end)
            std::this_thread::sleep_for (std::chrono::milliseconds (10));
        stop = true;
        audioThread.join();
        controlThread.join();
        processor.releaseResources();

        EXPECT_EQ (audio.changedBlocks, 0) << rate << " Hz: of " << audio.blocks << " blocks";
        EXPECT_EQ (control.insaneCopies, 0) << rate << " Hz";
        EXPECT_GT (audio.blocks, 0);
        EXPECT_GT (control.iterations, 0);
        expectSaneReadings (processor.readings, "after a round");
        totalBlocks += audio.blocks;
        totalIterations += control.iterations;
    }

    // The meter still measures after all that: a loud second gives a momentary value.
    processor.resetMeasurement();
    processor.setNonRealtime (true);
    processor.prepareToPlay (48000.0, 480);
    juce::AudioSampleBuffer block (numChannels, 480);
    juce::MidiBuffer midi;
    for (int i = 0; i < 100; ++i)
    {
        for (int c = 0; c < numChannels; ++c)
            for (int s = 0; s < 480; ++s)
                block.setSample (c, s, 0.1f * std::sin (0.05f * (float)(i * 480 + s)));
        processor.processBlock (block, midi);
    }
    processor.releaseResources();
    EXPECT_GT (processor.readings.momentary.load(), -70.0f);
    expectSaneReadings (processor.readings, "at the end");
    std::printf ("%d audio blocks and %d control rounds in %d rounds\n", totalBlocks, totalIterations,
                 rounds);
}
} // namespace
