#include <gtest/gtest.h>

#include "EngineDriver.h"
#include "support/TestSignals.h"

#include <memory>

using namespace TestSignals;

namespace
{
constexpr double rate = 48000;

std::unique_ptr<OSKALoudnessModule> preparedModule (int measuring)
{
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::prepare (*module, rate);
    module->setMeasuring (measuring);
    return module;
}

int momentaryCount (const OSKALoudnessModule& module)
{
    return module.momentaryHistogram.countAtOrAbove (-80.0f);
}

int shortTermCount (const OSKALoudnessModule& module)
{
    return module.shortTermHistogram.countAtOrAbove (-80.0f);
}

// A speech-like phrase: a quiet lead-in and tail (breath and room, far below the gate),
// a loud passage, a soft passage 14 dB down and another loud passage. Every length is a
// whole number of 100 ms hops, so phrases keep their place on the block grid whether or
// not silence separates them.
juce::AudioSampleBuffer phrase (float level, std::uint32_t seed)
{
    const auto lead = noise (rate, -60.0f, 0.5, seed, stereo());
    const auto first = speechLike (rate, level, 1.5, seed + 1, stereo());
    const auto soft = speechLike (rate, level - 14.0f, 0.8, seed + 2, stereo());
    const auto second = speechLike (rate, level, 1.0, seed + 3, stereo());
    const auto tail = noise (rate, -60.0f, 0.5, seed + 4, stereo());
    return concatenate ({&lead, &first, &soft, &second, &tail});
}
} // namespace

TEST (Measurement, StoppedMeasurementKeepsLiveValuesButNotStatistics)
{
    auto module = preparedModule (0);
    EngineDriver::Values seen;
    EngineDriver::play (*module, sine (rate, 997, -20.0f, 4.0, only (L)), 512, &seen);

    EXPECT_EQ (seen.momentary.size(), 37u);
    EXPECT_EQ (module->getResults().momentary, -23.0f);
    EXPECT_EQ (module->getResults().shortTerm, -23.0f);
    EXPECT_EQ (module->getResults().integrated, -70.0f);
    EXPECT_EQ (module->getResults().loudnessRange, -70.0f);
    EXPECT_EQ (momentaryCount (*module), 0);
    EXPECT_EQ (shortTermCount (*module), 0);
}

TEST (Measurement, StartAndStopEmptyTheWindowsAndFiltersButKeepTheStatistics)
{
    auto module = preparedModule (1);
    EngineDriver::play (*module, sine (rate, 997, -20.0f, 3.9, only (L)));
    const int counted = momentaryCount (*module);
    const float integrated = module->getResults().integrated;
    ASSERT_NEAR (integrated, -23.0f, 1e-4f);
    ASSERT_GT (module->momentaryFifo->numReady(), 0);

    module->setMeasuring (0);
    EXPECT_EQ (module->measuring.load(), 0);
    EXPECT_EQ (module->momentaryFifo->numReady(), 0);
    EXPECT_EQ (module->shortTermFifo->numReady(), 0);

    // The filters were cleared too: the first window after the change holds silence only
    // and reads the floor, not the ringing of the tone.
    EngineDriver::Values seen;
    EngineDriver::play (*module, silence (rate, 0.4), 512, &seen);
    ASSERT_EQ (seen.momentary.size(), 1u);
    EXPECT_EQ (seen.momentary[0], -70.0f);
    EXPECT_EQ (momentaryCount (*module), counted);

    // Starting again continues the same statistics, with values from new audio only.
    module->setMeasuring (1);
    seen = {};
    EngineDriver::play (*module, sine (rate, 997, -20.0f, 0.39, only (L)), 512, &seen);
    EXPECT_TRUE (seen.momentary.empty());
    EngineDriver::play (*module, sine (rate, 997, -20.0f, 0.51, only (L)), 512, &seen);
    EXPECT_EQ (seen.momentary.size(), 6u);
    EXPECT_EQ (momentaryCount (*module), counted + 6);
    EXPECT_NEAR (module->getResults().integrated, integrated, 1e-4f);

    // Setting the same state again changes nothing.
    const int queued = module->momentaryFifo->numReady();
    module->setMeasuring (1);
    EXPECT_EQ (module->momentaryFifo->numReady(), queued);
}

TEST (Measurement, FullResetStartsTheStatisticsAgain)
{
    auto module = preparedModule (1);
    EngineDriver::play (*module, sine (rate, 997, -20.0f, 3.9, only (L)));
    module->momentaryHistogram.gated = false;
    module->useTimeSlice();

    // Right after a time slice that produced a value: the flags are left alone.
    EngineDriver::feedBlock (*module, sine (rate, 997, -20.0f, 0.1, only (L)), 0, 4800);
    module->useTimeSlice();
    ASSERT_TRUE (module->newMomentary.load());

    module->resetMeasurement();

    const auto r = module->getResults();
    for (float v : {r.momentary, r.shortTerm, r.integrated, r.loudnessRange, r.rangeLow, r.rangeHigh})
        EXPECT_EQ (v, -70.0f);
    EXPECT_EQ (momentaryCount (*module), 0);
    EXPECT_EQ (shortTermCount (*module), 0);
    EXPECT_EQ (module->momentaryFifo->numReady(), 0);
    EXPECT_EQ (module->shortTermFifo->numReady(), 0);
    EXPECT_EQ (module->measuring.load(), 1);
    EXPECT_TRUE (module->newMomentary.load());
    EXPECT_FALSE (module->momentaryHistogram.gated.load());
    EXPECT_TRUE (module->shortTermHistogram.gated.load());

    // The next value is counted into an empty histogram: integrated equals it, and the
    // window holds new audio only (cleared filters, empty queue).
    EngineDriver::Values seen;
    EngineDriver::play (*module, sine (rate, 997, -30.0f, 0.4, only (L)), 512, &seen);
    ASSERT_EQ (seen.momentary.size(), 1u);
    EXPECT_EQ (seen.momentary[0], -33.0f);
    EXPECT_NEAR (module->getResults().integrated, -33.0f, 1e-4f);
    EXPECT_EQ (momentaryCount (*module), 1);
}

TEST (Measurement, SilentGapsDoNotChangeTheGatedIntegratedLoudness)
{
    const float levels[] = {-28.0f, -29.0f, -30.0f, -29.0f, -28.0f, -30.0f};
    const auto gap = silence (rate, 6.0);

    juce::AudioSampleBuffer joined (6, 0);
    juce::AudioSampleBuffer separated (6, 0);
    std::uint32_t seed = 11;

    for (float level : levels)
    {
        const auto p = phrase (level, seed);
        seed += 10;
        append (joined, p);
        append (separated, p);
        append (separated, gap);
    }

    auto withoutGaps = std::make_unique<OSKALoudnessModule>();
    auto withGaps = std::make_unique<OSKALoudnessModule>();
    const float reference = EngineDriver::measure (*withoutGaps, rate, joined).integrated;
    const float measured = EngineDriver::measure (*withGaps, rate, separated).integrated;

    EXPECT_GT (reference, -24.0f);
    EXPECT_LT (reference, -22.0f);
    EXPECT_NEAR (measured, reference, 0.1f);

    // The gaps are there: more than half of the gated blocks are silent.
    EXPECT_GT (withGaps->momentaryHistogram.countInBin (0), momentaryCount (*withGaps) / 2);
}

TEST (Measurement, ThreadedAndDirectTimeSlicesGiveTheSameResults)
{
    // Varying material, long enough for several short-term values and a real range.
    const auto programme = sineProgramme (
        rate, 997, {{-30, 2.0}, {-18, 2.5}, {-40, 1.5}, {-24, 3.0}, {-72, 1.0}, {-27, 2.0}}, stereo());
    const int hop = 4800;

    auto direct = preparedModule (1);
    EngineDriver::play (*direct, programme, hop);

    auto threaded = preparedModule (1);
    juce::TimeSliceThread thread ("TARNX Loudness Thread");
    thread.startThread();
    thread.addTimeSliceClient (threaded.get());

    auto windowsPending = [&] { return threaded->windowReady(); };

    for (int start = 0; start < programme.getNumSamples(); start += hop)
    {
        EngineDriver::feedBlock (*threaded, programme, start,
                                 juce::jmin (hop, programme.getNumSamples() - start));

        // Wake the thread rather than waiting 50 ms for each window.
        const auto deadline = juce::Time::getMillisecondCounter() + 10000;
        while (windowsPending() && juce::Time::getMillisecondCounter() < deadline)
        {
            thread.moveToFrontOfQueue (threaded.get());
            juce::Thread::sleep (1);
        }
        ASSERT_FALSE (windowsPending()) << "the loudness thread did not take its windows";
    }

    // Removing the client waits for a time slice that is still running.
    thread.removeTimeSliceClient (threaded.get());
    EXPECT_TRUE (thread.stopThread (1000));

    const auto a = direct->getResults();
    const auto b = threaded->getResults();
    EXPECT_EQ (a.momentary, b.momentary);
    EXPECT_EQ (a.shortTerm, b.shortTerm);
    EXPECT_EQ (a.integrated, b.integrated);
    EXPECT_EQ (a.loudnessRange, b.loudnessRange);
    EXPECT_EQ (a.rangeLow, b.rangeLow);
    EXPECT_EQ (a.rangeHigh, b.rangeHigh);
    EXPECT_GT (a.loudnessRange, 5.0f);

    for (int i = 0; i < LoudnessHistogram::numBins; ++i)
    {
        ASSERT_EQ (direct->momentaryHistogram.countInBin (i), threaded->momentaryHistogram.countInBin (i))
            << i;
        ASSERT_EQ (direct->shortTermHistogram.countInBin (i), threaded->shortTermHistogram.countInBin (i))
            << i;
    }
}

TEST (Measurement, BackToBackTimeSlicesDrainWhatOfflineRenderingQueued)
{
    // Offline rendering: a large block arrives at once, and the caller evaluates windows
    // until none is full. Same values as with a time slice after every small block.
    const auto programme = sineProgramme (rate, 997, {{-25, 3.0}, {-15, 3.0}}, stereo());

    auto small = preparedModule (1);
    EngineDriver::play (*small, programme, 480);

    auto large = preparedModule (1);
    const int block = 3 * 19200; // fits the momentary queue (four windows less one sample)
    for (int start = 0; start < programme.getNumSamples(); start += block)
    {
        EngineDriver::feedBlock (*large, programme, start,
                                 juce::jmin (block, programme.getNumSamples() - start));

        while (large->windowReady())
            large->computeBlocks();
    }

    EXPECT_EQ (momentaryCount (*large), momentaryCount (*small));
    EXPECT_EQ (shortTermCount (*large), shortTermCount (*small));
    EXPECT_EQ (large->getResults().integrated, small->getResults().integrated);
    EXPECT_EQ (large->getResults().loudnessRange, small->getResults().loudnessRange);

    // Called with nothing to do, it only lowers the flags.
    large->computeBlocks();
    EXPECT_FALSE (large->newMomentary.load());
    EXPECT_FALSE (large->newShortTerm.load());
    EXPECT_EQ (momentaryCount (*large), momentaryCount (*small));
}
