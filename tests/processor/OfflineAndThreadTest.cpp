#include <gtest/gtest.h>

#include "ProcessorDriver.h"
#include "support/TestSignals.h"

#include <cmath>
#include <vector>

using namespace ProcessorDriver;

namespace
{
// A programme whose loudness moves, so that maxima, range and hit counts all have something
// to show: speech-like noise at several levels in the five full-range channels, a tone in LFE.
juce::AudioSampleBuffer variedProgramme (double seconds)
{
    const auto gains = TestSignals::fiveChannelDb (0.0f, -2.0f, -1.0f, -6.0f, -7.0f);
    juce::AudioSampleBuffer programme (6, 0);
    const float levels[] = {-24.0f, -18.0f, -30.0f, -21.0f, -40.0f, -16.0f};

    for (int i = 0; programme.getNumSamples() < TestSignals::samplesFor (rate, seconds); ++i)
    {
        const auto part = TestSignals::speechLike (rate, levels[i % 6], 1.7, (std::uint32_t) (11 + i), gains);
        TestSignals::append (programme, part);
    }

    programme.setSize (6, TestSignals::samplesFor (rate, seconds), true);
    const auto lfe = TestSignals::sine (rate, 60.0, -12.0f, seconds, TestSignals::only (TestSignals::LFE));
    programme.copyFrom (TestSignals::LFE, 0, lfe, TestSignals::LFE, 0, programme.getNumSamples());
    return programme;
}

void expectSameReadings (const MeterReadings& a, const MeterReadings& b, double timeOffset)
{
    EXPECT_EQ (a.momentary, b.momentary);
    EXPECT_EQ (a.momentaryPosition, b.momentaryPosition);
    EXPECT_EQ (a.shortTerm, b.shortTerm);
    EXPECT_EQ (a.integrated, b.integrated);
    EXPECT_EQ (a.loudnessRange, b.loudnessRange);
    EXPECT_EQ (a.rangeLowPosition, b.rangeLowPosition);
    EXPECT_EQ (a.rangeHighPosition, b.rangeHighPosition);
    EXPECT_EQ (a.shortTermPosition, b.shortTermPosition);
    EXPECT_EQ (a.truePeakOver, b.truePeakOver);

    for (int c = 0; c < 6; ++c)
    {
        EXPECT_EQ (a.peakHold[c], b.peakHold[c]) << c;
        EXPECT_EQ (a.peakPosition[c], b.peakPosition[c]) << c;
        EXPECT_EQ (a.channelOver[c], b.channelOver[c]) << c;
    }

    EXPECT_EQ (a.measuredSamples, b.measuredSamples);
    EXPECT_EQ (a.maxMomentary, b.maxMomentary);
    EXPECT_DOUBLE_EQ (a.maxMomentaryTime, b.maxMomentaryTime + timeOffset);
    EXPECT_EQ (a.maxShortTerm, b.maxShortTerm);
    EXPECT_DOUBLE_EQ (a.maxShortTermTime, b.maxShortTermTime + timeOffset);
    EXPECT_EQ (a.maxTruePeak, b.maxTruePeak);
    EXPECT_EQ (a.maxTruePeakTime, b.maxTruePeakTime);
    EXPECT_EQ (a.momentaryHits, b.momentaryHits);
    EXPECT_EQ (a.shortTermHits, b.shortTermHits);
}

void prepareForComparison (Tarn51AudioProcessor& p, bool offline)
{
    p.setNonRealtime (offline);
    p.prepareToPlay (rate, blockSize);
    p.setParameter (p.parameters.indexOf ("ML Threshold"), 0.5f);  // -20
    p.setParameter (p.parameters.indexOf ("STL Threshold"), 0.4f); // -22
}
} // namespace

TEST (OfflineRendering, EverySampleIsMeasuredHoweverLargeTheBlock)
{
    // 60 s in blocks of 10 s: each block holds far more than the queues take (four windows).
    Tarn51AudioProcessor p;
    p.setNonRealtime (true);
    p.prepareToPlay (rate, 480000);
    runManually (p);
    EXPECT_FALSE (p.isModuleOnLoudnessThread());

    const auto tone = TestSignals::sine (rate, 997.0, -20.0f, 60.0, TestSignals::only (TestSignals::L));
    process (p, tone, 480000);

    const int n = tone.getNumSamples();
    EXPECT_EQ (totalCount (p.loudnessModule.momentaryHistogram), (float)((n - 19200) / 4800 + 1));
    EXPECT_EQ (totalCount (p.loudnessModule.shortTermHistogram), (float)((n - 144000) / 4800 + 1));
    EXPECT_EQ (p.readings.integrated, -23.0f);
    EXPECT_EQ (p.readings.momentary, -23.0f);
    EXPECT_EQ (p.readings.shortTerm, -23.0f);
    EXPECT_EQ (p.readings.momentaryHits, 0);
    EXPECT_EQ (p.readings.measuredSamples, (double)n);
    // What is left in the queues is less than one more window.
    EXPECT_LT (p.loudnessModule.momentaryFifo->numReady(), 19200);
    EXPECT_LT (p.loudnessModule.shortTermFifo->numReady(), 144000);
}

TEST (OfflineRendering, EachWindowUpdatesMaximaHitsAndOutputsWithTheTimeOfItsBlock)
{
    Tarn51AudioProcessor p;
    p.setNonRealtime (true);
    p.prepareToPlay (rate, 48000);
    runManually (p);
    setValue (p, "ML Threshold", -25.0f);

    FakePlayHead head;
    head.setPlaying (true);
    head.moveTo (0, rate);

    // 2 s quiet, 1 s loud, 2 s quiet, in blocks of one second: the loud windows all end
    // inside the block that starts at 2 s or the one at 3 s.
    const auto quiet = TestSignals::sine (rate, 997.0, -40.0f, 2.0, TestSignals::only (TestSignals::L));
    const auto loud = TestSignals::sine (rate, 997.0, -20.0f, 1.0, TestSignals::only (TestSignals::L));
    process (p, TestSignals::concatenate ({&quiet, &loud, &quiet}), 48000, &head);

    EXPECT_EQ (p.readings.maxMomentary, -23.0f);
    EXPECT_EQ (p.readings.maxMomentaryTime, 2.0);
    // Every momentary value at or above -25 was counted, not only the last of a block.
    EXPECT_GE (p.readings.momentaryHits, 7);
    EXPECT_EQ (p.readings.momentary, -43.0f);
}

TEST (OfflineRendering, TheModuleLeavesTheThreadWhileOfflineAndReturnsAfter)
{
    Tarn51AudioProcessor p;
    p.prepareToPlay (rate, blockSize);
    ASSERT_TRUE (p.loudnessThread.contains (&p.loudnessModule));

    p.setNonRealtime (true);
    processSilence (p, blockSize);
    EXPECT_FALSE (p.loudnessThread.contains (&p.loudnessModule));

    p.setNonRealtime (false);
    processSilence (p, blockSize);
    EXPECT_TRUE (p.loudnessThread.contains (&p.loudnessModule));

    // A host that prepares while offline never gives the module to the thread.
    p.releaseResources();
    p.setNonRealtime (true);
    p.prepareToPlay (rate, blockSize);
    EXPECT_FALSE (p.loudnessThread.contains (&p.loudnessModule));
    p.releaseResources();
    p.setNonRealtime (false);
    processSilence (p, blockSize); // after release: stays off the thread
    EXPECT_FALSE (p.loudnessThread.contains (&p.loudnessModule));
}

TEST (OfflineRendering, AudioQueuedInRealTimeIsEvaluatedWhenTheHostGoesOffline)
{
    Tarn51AudioProcessor p;
    p.prepareToPlay (rate, blockSize);
    runManually (p);
    p.loudnessThread.removeTimeSliceClient (&p.loudnessModule); // a thread that lags behind

    // Three windows wait in the queue when the host switches to offline rendering.
    const auto tone = TestSignals::sine (rate, 997.0, -20.0f, 0.6, TestSignals::only (TestSignals::L));
    process (p, tone);
    ASSERT_EQ (totalCount (p.loudnessModule.momentaryHistogram), 0.0f);

    p.setNonRealtime (true);
    processSilence (p, 16);
    EXPECT_EQ (totalCount (p.loudnessModule.momentaryHistogram), 3.0f);
    EXPECT_EQ (p.readings.maxMomentary, -23.0f);
}

TEST (OfflineRendering, OfflineAndThreadedRealTimeGiveTheSameReadings)
{
    // Long enough for many short-term windows.
    const int numBlocks = (int)(14.0 * rate) / blockSize;
    auto programme = variedProgramme (14.0);
    programme.setSize (6, numBlocks * blockSize, true, true);

    Tarn51AudioProcessor offline, realTime;
    prepareForComparison (offline, true);
    prepareForComparison (realTime, false);

    FakePlayHead offlineHead, realTimeHead;
    for (auto* head : {&offlineHead, &realTimeHead})
    {
        head->setPlaying (true);
        head->moveTo (0, rate);
    }

    process (offline, programme, blockSize, &offlineHead);
    processWithLoudnessThread (realTime, programme, blockSize, &realTimeHead);

    // Windows end every 10 ms, so the last block completed some: an empty block, given to
    // both, lets the threaded run see the values of its last time slice.
    for (auto* p : {&offline, &realTime})
    {
        juce::AudioSampleBuffer empty (6, 0);
        juce::MidiBuffer midi;
        p->processBlock (empty, midi);
    }

    ASSERT_GT (offline.readings.loudnessRange, 0.5f);
    ASSERT_GT (offline.readings.momentaryHits, 0);
    ASSERT_GT (offline.readings.shortTermHits, 0);
    ASSERT_NE (offline.readings.maxMomentaryTime, 0.0);

    // The real-time path sees a window in the block after the one that completed it.
    expectSameReadings (realTime.readings, offline.readings, blockSize / rate);

    for (int i = 0; i < LoudnessHistogram::numBins; ++i)
    {
        ASSERT_EQ (realTime.loudnessModule.momentaryHistogram.countInBin (i),
                   offline.loudnessModule.momentaryHistogram.countInBin (i))
            << i;
        ASSERT_EQ (realTime.loudnessModule.shortTermHistogram.countInBin (i),
                   offline.loudnessModule.shortTermHistogram.countInBin (i))
            << i;
    }

    EXPECT_EQ (realTime.getParameter (13), offline.getParameter (13));
    EXPECT_EQ (realTime.getParameter (14), offline.getParameter (14));

    // The loudness history: a step per 100 ms of the programme, the same steps either way.
    const auto numSteps = offline.loudnessHistory.getNumSteps();
    ASSERT_EQ (numSteps, programme.getNumSamples() / 4800);
    ASSERT_EQ (realTime.loudnessHistory.getNumSteps(), numSteps);
    std::vector<LoudnessHistory::Step> a ((size_t)numSteps), b ((size_t)numSteps);
    int copiedA = 0, copiedB = 0;
    offline.loudnessHistory.copyRecent (0, a.data(), (int)numSteps, copiedA);
    realTime.loudnessHistory.copyRecent (0, b.data(), (int)numSteps, copiedB);
    ASSERT_EQ (copiedA, numSteps);
    ASSERT_EQ (copiedB, numSteps);

    const auto same = [] (float x, float y) { return x == y || (std::isnan (x) && std::isnan (y)); };

    for (size_t i = 0; i < a.size(); ++i)
    {
        ASSERT_TRUE (same (a[i].momentary, b[i].momentary)) << i;
        ASSERT_TRUE (same (a[i].shortTerm, b[i].shortTerm)) << i;
        ASSERT_TRUE (same (a[i].integrated, b[i].integrated)) << i;
        ASSERT_TRUE (same (a[i].truePeak, b[i].truePeak)) << i;
    }

    EXPECT_FALSE (std::isnan (a[29].shortTerm));
    EXPECT_TRUE (std::isnan (a[28].shortTerm));
}

TEST (RealTime, TheLoudnessThreadEvaluatesTheWindows)
{
    Tarn51AudioProcessor p;
    p.prepareToPlay (rate, blockSize);
    runManually (p);

    // Windows complete at 400 and 500 ms; the silent block after them completes none and
    // shows the value of the last time slice.
    const auto tone = TestSignals::sine (rate, 997.0, -20.0f, 0.5, TestSignals::only (TestSignals::L));
    const auto after = TestSignals::silence (rate, (double)blockSize / rate);
    processWithLoudnessThread (p, TestSignals::concatenate ({&tone, &after}));

    EXPECT_EQ (p.readings.momentary, -23.0f);
    EXPECT_EQ (p.readings.integrated, -23.0f);
    EXPECT_EQ (totalCount (p.loudnessModule.momentaryHistogram), 2.0f);
    EXPECT_EQ (p.readings.shortTerm, -70.0f); // no short-term window yet
}

TEST (RealTime, ASecondPrepareAtAnotherRateNeverRebuildsUnderARunningTimeSlice)
{
    // The thread evaluates full windows while prepareToPlay switches rates without a release
    // in between; the windows may only be replaced while no time slice runs.
    Tarn51AudioProcessor p;
    p.prepareToPlay (rate, blockSize);
    runManually (p);

    const auto noise = TestSignals::noise (rate, -20.0f, 1.0, 3, TestSignals::stereo());

    for (int round = 0; round < 150; ++round)
    {
        const double newRate = round % 2 == 0 ? 44100.0 : 48000.0;

        // Queue full windows so that the thread has work when the rate changes.
        process (p, noise, 8192);
        p.loudnessThread.moveToFrontOfQueue (&p.loudnessModule);
        p.prepareToPlay (newRate, blockSize);

        ASSERT_EQ (p.loudnessModule.sampleRate, newRate);
        ASSERT_EQ (p.loudnessModule.momentaryFifo->numReady(), 0);
        ASSERT_TRUE (p.loudnessThread.contains (&p.loudnessModule));
    }

    // The meter still measures correctly at the last rate.
    p.setNonRealtime (true);
    p.resetMeasurement();
    process (p, TestSignals::sine (48000.0, 997.0, -20.0f, 1.0, TestSignals::only (TestSignals::L)));
    EXPECT_EQ (p.readings.momentary, -23.0f);
}
