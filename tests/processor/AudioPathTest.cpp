#include <gtest/gtest.h>

#include "ProcessorDriver.h"
#include "support/TestSignals.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>

using namespace ProcessorDriver;
using TestSignals::C;
using TestSignals::L;
using TestSignals::LFE;
using TestSignals::Ls;
using TestSignals::R;

namespace
{
// A prepared processor that evaluates its windows inside processBlock (offline), so that
// every test sees the values of exactly the audio it gave.
struct OfflineProcessor : Tarn51AudioProcessor
{
    OfflineProcessor()
    {
        setNonRealtime (true);
        prepareToPlay (rate, ProcessorDriver::blockSize);
    }
};

juce::AudioSampleBuffer toneIn (int channel, float dBFS, double seconds)
{
    return TestSignals::sine (rate, 997.0, dBFS, seconds, TestSignals::only (channel));
}

int indexOf (Tarn51AudioProcessor& p, const char* name)
{
    return p.parameters.indexOf (name);
}
} // namespace

TEST (AudioPath, TheHostsBufferLeavesUnchanged)
{
    OfflineProcessor p;
    runManually (p);

    auto programme = TestSignals::noise (rate, -10.0f, 1.0, 7, {1, 1, 1, 1, 1, 1});
    programme.setSample (2, 100, std::numeric_limits<float>::quiet_NaN());
    programme.setSample (3, 200, std::numeric_limits<float>::infinity());

    for (const bool offline : {true, false})
    {
        p.setNonRealtime (offline);

        for (int start = 0; start + blockSize <= programme.getNumSamples(); start += blockSize)
        {
            juce::AudioSampleBuffer block (6, blockSize);
            for (int c = 0; c < 6; ++c)
                block.copyFrom (c, 0, programme, c, start, blockSize);

            juce::AudioSampleBuffer before (block);
            juce::MidiBuffer midi;
            midi.addEvent (juce::MidiMessage::noteOn (1, 60, 0.5f), 3);
            p.processBlock (block, midi);

            for (int c = 0; c < 6; ++c)
                ASSERT_EQ (std::memcmp (block.getReadPointer (c), before.getReadPointer (c),
                                        sizeof (float) * blockSize),
                           0)
                    << "channel " << c << " at " << start;

            EXPECT_EQ (midi.getNumEvents(), 1);
        }
    }
}

TEST (AudioPath, SilenceAfterAResetHoldsNoPeak)
{
    OfflineProcessor p;
    processSilence (p, blockSize);

    for (int c = 0; c < 6; ++c)
    {
        EXPECT_EQ (p.readings.peakHold[c], -70.0f);
        EXPECT_LT (p.readings.peakPosition[c], 0.0f); // silence is -infinity dB, not clamped
        EXPECT_TRUE (std::isfinite (p.readings.peakPosition[c]));
        EXPECT_EQ (p.readings.channelOver[c], 0);
    }

    EXPECT_EQ (p.readings.maxTruePeak, -70.0f);
    EXPECT_EQ (p.readings.maxTruePeakTime, 0.0);
}

TEST (AudioPath, FollowTransportMeasuresOnlyWhileTheHostRolls)
{
    OfflineProcessor p;
    FakePlayHead head;
    const auto tone = toneIn (L, -20.0f, 2.0);

    // Stopped host: live values flow, the statistics stand still.
    head.setPlaying (false);
    head.moveTo (48000, rate);
    process (p, tone, blockSize, &head);
    EXPECT_EQ (p.measuring, 0);
    EXPECT_EQ (p.readings.momentary, -23.0f);
    EXPECT_EQ (p.readings.integrated, -70.0f);
    EXPECT_EQ (p.readings.measuredSamples, 0.0);
    EXPECT_EQ (p.readings.momentaryHits, 0);
    EXPECT_EQ (totalCount (p.loudnessModule.momentaryHistogram), 0.0f);
    EXPECT_EQ (p.positionInfo.timeInSamples, 48000);

    // The host starts: the windows start empty, the first value needs 400 ms of new audio.
    head.setPlaying (true);
    const auto quieter = toneIn (L, -30.0f, 0.4);
    process (p, quieter, blockSize, &head,
             [&] (int start)
             {
                 EXPECT_EQ (p.transportRolling, 1);
                 EXPECT_EQ (p.measuring, 1);
                 if (start + blockSize < 19200)
                 {
                     EXPECT_EQ (p.readings.momentary, -23.0f) << "no value before 400 ms of new audio";
                 }
             });
    EXPECT_EQ (p.readings.momentary, -33.0f);
    EXPECT_EQ (p.readings.measuredSamples, 19200.0);
    EXPECT_EQ (totalCount (p.loudnessModule.momentaryHistogram), 1.0f);

    // Playing but not moving (a host waiting): not rolling.
    juce::AudioSampleBuffer block (6, blockSize);
    block.clear();
    juce::MidiBuffer midi;
    p.processBlock (block, midi); // moved on since the previous block
    EXPECT_EQ (p.transportRolling, 1);
    p.processBlock (block, midi); // the same position again
    EXPECT_EQ (p.transportRolling, 0);
    EXPECT_EQ (p.measuring, 0);

    // Only the time in seconds changes: still not rolling.
    head.info.setTimeInSeconds (1000.0);
    p.processBlock (block, midi);
    EXPECT_EQ (p.transportRolling, 0);
    EXPECT_EQ (p.positionInfo.timeInSeconds, 1000.0);
}

TEST (AudioPath, WithoutAPlayHeadThePositionFallsBackAndFollowTransportNeverRuns)
{
    OfflineProcessor p;
    FakePlayHead head;
    head.setPlaying (true);
    head.info.setBpm (90.0);
    head.moveTo (4800, rate);
    processSilence (p, blockSize, &head);
    ASSERT_EQ (p.positionInfo.bpm, 90.0);
    ASSERT_EQ (p.transportRolling, 1);

    head.available = false; // a play head that cannot tell
    processSilence (p, blockSize, &head);
    EXPECT_EQ (p.positionInfo.bpm, 120.0);
    EXPECT_EQ (p.positionInfo.timeSigNumerator, 4);
    EXPECT_EQ (p.positionInfo.timeSigDenominator, 4);
    EXPECT_EQ (p.positionInfo.timeInSamples, 0);
    EXPECT_EQ (p.transportRolling, 0);

    process (p, toneIn (L, -20.0f, 1.0)); // no play head at all
    EXPECT_EQ (p.measuring, 0);
    EXPECT_EQ (p.readings.maxMomentary, -23.0f);
    EXPECT_EQ (p.readings.maxMomentaryTime, 0.0);
}

TEST (AudioPath, FollowTransportAtAHalfCountsAsOff)
{
    OfflineProcessor p;
    setValue (p, "Follow Transport", 0.5f);
    p.manualRun = 1;
    processSilence (p, blockSize); // no play head: with the option on nothing would run
    EXPECT_EQ (p.measuring, 1);

    setValue (p, "Follow Transport", 0.51f);
    processSilence (p, blockSize);
    EXPECT_EQ (p.measuring, 0);
}

TEST (AudioPath, PausedMeasurementKeepsTheIntegratedLoudness)
{
    OfflineProcessor p;
    runManually (p);
    process (p, toneIn (L, -20.0f, 3.0));
    const float integrated = p.readings.integrated;
    const double measured = p.readings.measuredSamples;
    ASSERT_EQ (integrated, -23.0f);

    p.manualRun = 0;
    process (p, toneIn (L, -40.0f, 5.0));
    EXPECT_EQ (p.readings.integrated, integrated);
    EXPECT_EQ (p.readings.measuredSamples, measured);
    EXPECT_EQ (p.readings.momentary, -43.0f);

    // Pressing play again continues the same statistics.
    p.manualRun = 1;
    process (p, toneIn (L, -20.0f, 3.0));
    EXPECT_EQ (p.readings.integrated, -23.0f);
    EXPECT_EQ (p.readings.measuredSamples, measured + 3.0 * rate);
}

TEST (AudioPath, SurroundLayoutChoosesTheChannelOrder)
{
    struct Case
    {
        int choice;
        int input;
        int meterChannel;
    };

    // Which meter channel a tone on one input reaches.
    for (const auto& c : {Case{0, 2, C}, Case{1, 1, C}, Case{1, 2, R}, Case{1, 5, LFE}, Case{1, 3, Ls},
                          Case{2, 2, Ls}, Case{2, 4, C}, Case{2, 5, LFE}})
    {
        OfflineProcessor p;
        setValue (p, "Surround layout", (float)c.choice);
        process (p, toneIn (c.input, -6.0f, 0.05));

        for (int j = 0; j < 6; ++j)
        {
            if (j == c.meterChannel)
                EXPECT_GT (p.readings.peakHold[j], -7.0f) << "choice " << c.choice << " input " << c.input;
            else
                EXPECT_EQ (p.readings.peakHold[j], -70.0f) << "choice " << c.choice << " input " << c.input;
        }
    }
}

TEST (AudioPath, StereoInputWithTheSecondOrderFeedsLeftAndCentre)
{
    OfflineProcessor p;
    p.setPlayConfigDetails (2, 2, rate, blockSize);
    setValue (p, "Surround layout", 1.0f);
    process (p, TestSignals::sine (rate, 997.0, -6.0f, 0.05, TestSignals::stereo()));

    EXPECT_GT (p.readings.peakHold[L], -7.0f);
    EXPECT_GT (p.readings.peakHold[C], -7.0f);
    EXPECT_EQ (p.readings.peakHold[R], -70.0f);
}

TEST (AudioPath, InputsBeyondTheMappedOnesAreIgnored)
{
    OfflineProcessor p;
    // Eight channels in the host's buffer; only six are the processor's inputs.
    juce::AudioSampleBuffer block (8, blockSize);
    block.clear();
    const auto tone = toneIn (0, -6.0f, 0.05);
    block.copyFrom (6, 0, tone, 0, 0, blockSize);
    block.copyFrom (7, 0, tone, 0, 0, blockSize);
    juce::MidiBuffer midi;
    p.processBlock (block, midi);

    for (int c = 0; c < 6; ++c)
        EXPECT_EQ (p.readings.peakHold[c], -70.0f);
}

TEST (AudioPath, AnInvalidLayoutChoiceKeepsThePreviousMap)
{
    OfflineProcessor p;
    processSilence (p, blockSize);
    p.parameters.setValue (indexOf (p, "Surround layout"), 1.0f);
    processSilence (p, blockSize);
    p.parameters.setValue (indexOf (p, "Surround layout"), 7.0f); // e.g. from a loaded state
    processSilence (p, blockSize);

    const int c24[] = {0, 2, 1, 5, 3, 4};
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ (p.channelMap[j], c24[j]);

    // A processor that never saw a valid choice hears nothing.
    OfflineProcessor q;
    q.parameters.setValue (indexOf (q, "Surround layout"), 3.0f);
    process (q, toneIn (L, -6.0f, 0.05));
    EXPECT_EQ (q.readings.peakHold[L], -70.0f);
}

TEST (AudioPath, MaximaKeepTheHostTimeOfTheirFirstOccurrence)
{
    OfflineProcessor p;
    FakePlayHead head;
    head.setPlaying (true);
    head.moveTo (0, rate);

    // The same level twice, separated by a quieter passage.
    const auto loud = toneIn (L, -20.0f, 1.0);
    const auto quiet = toneIn (L, -40.0f, 1.0);
    process (p, TestSignals::concatenate ({&quiet, &loud}), blockSize, &head);
    const double firstTime = p.readings.maxMomentaryTime;
    const double firstPeakTime = p.readings.maxTruePeakTime;
    EXPECT_EQ (p.readings.maxMomentary, -23.0f);
    EXPECT_GT (firstTime, 1.0);
    EXPECT_LT (firstTime, 1.5);
    // The loud part starts inside the block that begins at sample 47616.
    EXPECT_EQ (firstPeakTime, 47616.0 / rate);

    process (p, TestSignals::concatenate ({&quiet, &loud}), blockSize, &head);
    EXPECT_EQ (p.readings.maxMomentary, -23.0f);
    EXPECT_EQ (p.readings.maxMomentaryTime, firstTime);
    EXPECT_EQ (p.readings.maxTruePeakTime, firstPeakTime);

    // A louder value moves it.
    process (p, toneIn (L, -19.0f, 0.5), blockSize, &head);
    EXPECT_EQ (p.readings.maxMomentary, -22.0f);
    EXPECT_GT (p.readings.maxMomentaryTime, 4.0);
}

TEST (AudioPath, OverFlagsRiseStrictlyAboveTheAlarmLevelAndLatch)
{
    // A square wave's true peak (its interpolation overshoots) is hard to place exactly, so
    // the levels are fed to the bookkeeping directly, as processBlock hands them over.
    Tarn51AudioProcessor p;
    setValue (p, "TruePeak Max Level", -1.0f);

    p.updateChannelPeak (-1.0f, 2);
    EXPECT_EQ (p.readings.channelOver[2], 0);
    EXPECT_EQ (p.readings.truePeakOver, 0);
    EXPECT_EQ (p.readings.peakHold[2], -1.0f);

    p.updateChannelPeak (-0.9f, 2);
    EXPECT_EQ (p.readings.channelOver[2], 1);
    EXPECT_EQ (p.readings.truePeakOver, 1);
    EXPECT_EQ (p.readings.channelOver[1], 0);

    p.updateChannelPeak (-30.0f, 2);
    EXPECT_EQ (p.readings.channelOver[2], 1) << "latched until the editor clears it";
    EXPECT_EQ (p.readings.peakHold[2], -0.9f);
    EXPECT_NEAR (p.readings.peakPosition[2], p.truePeakScale.positionOf (-30.0), 1e-6);

    // Through processBlock: a tone whose rounded peak sits at the alarm level, and one above.
    OfflineProcessor q;
    process (q, toneIn (L, -6.0f, 0.1));
    const float peak = q.readings.peakHold[L];
    ASSERT_GT (peak, -7.0f);
    ASSERT_LT (peak, -5.0f);
    const int maxLevel = indexOf (q, "TruePeak Max Level");
    q.parameters.setValue (maxLevel, peak);
    q.resetMeasurement();
    process (q, toneIn (L, -6.0f, 0.1));
    EXPECT_EQ (q.readings.peakHold[L], peak);
    EXPECT_EQ (q.readings.truePeakOver, 0);
    EXPECT_EQ (q.readings.maxTruePeak, peak);

    q.parameters.setValue (maxLevel, peak - 0.1f);
    process (q, toneIn (L, -6.0f, 0.1));
    EXPECT_EQ (q.readings.truePeakOver, 1);
    EXPECT_EQ (q.readings.channelOver[L], 1);
    EXPECT_EQ (q.readings.channelOver[R], 0);
}

TEST (AudioPath, HitCountsAndOutputParametersFollowEveryNewValue)
{
    OfflineProcessor p;
    runManually (p);
    setValue (p, "ML Threshold", -25.0f);
    setValue (p, "STL Threshold", -20.0f);

    process (p, toneIn (L, -20.0f, 4.0));
    // Momentary windows of 400 ms every 100 ms: 37 in 4 s, all at -23.
    EXPECT_EQ (totalCount (p.loudnessModule.momentaryHistogram), 37.0f);
    EXPECT_EQ (p.readings.momentaryHits, 37);
    EXPECT_EQ (p.readings.shortTermHits, 0);
    EXPECT_EQ (p.readings.shortTerm, -23.0f);
    EXPECT_EQ (p.readings.loudnessRange, 0.0f);

    // -23 LUFS is reported through "Mom. Loudness Param" as 0.5727.
    EXPECT_NEAR (p.getParameter (indexOf (p, "Mom. Loudness Param")), 0.5727f, 1e-4);
    EXPECT_NEAR (p.getParameter (indexOf (p, "Sht. Loudness Param")), 0.5727f, 1e-4);
    EXPECT_NEAR (p.readings.momentaryPosition, p.loudnessScale.positionOf (-23.0), 1e-6);
    EXPECT_EQ (p.loudnessScale.type, 0);
    EXPECT_EQ (p.truePeakScale.type, 8);

    // A changed threshold shows at the next value, even with the measurement paused.
    p.manualRun = 0;
    setValue (p, "ML Threshold", -22.0f);
    process (p, toneIn (L, -20.0f, 0.5));
    EXPECT_EQ (p.readings.momentaryHits, 0);
    EXPECT_EQ (totalCount (p.loudnessModule.momentaryHistogram), 37.0f);

    // Silence reports the bottom of the output parameters.
    process (p, TestSignals::silence (rate, 3.5));
    EXPECT_EQ (p.getParameter (indexOf (p, "Mom. Loudness Param")), 0.0f);
    EXPECT_EQ (p.getParameter (indexOf (p, "Sht. Loudness Param")), 0.0f);
}

TEST (AudioPath, ScaleTypeFollowsStandardScaleAndUnit)
{
    OfflineProcessor p;
    setValue (p, "Measurement Standard", 2.0f);
    setValue (p, "Measurement Scale", 1.0f);
    setValue (p, "Measurement Unit", 1.0f);
    processSilence (p, 16);
    EXPECT_EQ (p.loudnessScale.type, 7);

    setValue (p, "Measurement Standard", 0.0f);
    processSilence (p, 16);
    EXPECT_EQ (p.loudnessScale.type, 3);

    // Values from a loaded state far outside the ranges make no valid type and keep the scale.
    p.parameters.setValue (indexOf (p, "Measurement Unit"), 3.0e9f);
    p.parameters.setValue (indexOf (p, "Measurement Scale"), 3.0e9f);
    processSilence (p, 16);
    EXPECT_EQ (p.loudnessScale.minimum, -59.0);
}

TEST (AudioPath, GatingFollowsTheMeasurementType)
{
    OfflineProcessor p;
    runManually (p);
    const auto loud = toneIn (L, -20.0f, 5.0);
    const auto soft = toneIn (L, -40.0f, 5.0);
    const auto programme = TestSignals::concatenate ({&loud, &soft});

    process (p, programme);
    EXPECT_TRUE (p.loudnessModule.momentaryHistogram.gated.load());
    const float gatedResult = p.readings.integrated;

    p.resetMeasurement();
    setValue (p, "Measurement Type", 1.0f);
    process (p, programme);
    EXPECT_FALSE (p.loudnessModule.shortTermHistogram.gated.load());
    const float ungatedResult = p.readings.integrated;

    EXPECT_NEAR (gatedResult, -23.0f, 0.2f); // the -43 LUFS half is gated out
    EXPECT_LT (ungatedResult, -25.0f);       // it pulls the mean down
}

TEST (AudioPath, AnyBlockLengthIsHandled)
{
    OfflineProcessor p;
    runManually (p);
    const auto tone = toneIn (L, -20.0f, 2.0);

    // Longer, shorter and empty blocks, against the 512 announced.
    int start = 0;
    for (const int n : {2048, 1, 0, 700, 4096, 13, 0, 30000})
    {
        juce::AudioSampleBuffer block (6, n);
        block.clear();
        if (n > 0)
            block.copyFrom (0, 0, tone, 0, start, n);
        juce::MidiBuffer midi;
        p.processBlock (block, midi);
        start += n;
        EXPECT_EQ (p.remapBuffer.getNumSamples(), n);
        if (n > 0)
        {
            EXPECT_EQ (p.loudnessModule.inputBuffer.getNumSamples(), n);
        }
    }

    EXPECT_EQ (p.readings.measuredSamples, (double)start);
    EXPECT_EQ (p.readings.momentary, -23.0f);
    EXPECT_GT (p.readings.peakHold[L], -21.0f);
}

TEST (AudioPath, TruePeakFollowsRateChangesInLongBlocks)
{
    // A quarter-rate sine with its crests halfway between the samples, which read 3 dB low: the
    // true peak is interpolated at 48 and 32 kHz, sample peak is measured at 384 kHz.
    OfflineProcessor p;
    runManually (p);

    for (const auto& [sampleRate, level, reading] :
         {std::tuple{48000.0, -12.0, -12.0f}, {32000.0, -9.0, -9.0f}, {384000.0, -3.0, -6.0f}})
    {
        SCOPED_TRACE (sampleRate);
        p.prepareToPlay (sampleRate, ProcessorDriver::blockSize);

        juce::AudioSampleBuffer programme (6, 9000);
        programme.clear();
        for (int j = 0; j < programme.getNumSamples(); ++j)
            programme.setSample (L, j,
                                 (float)(std::pow (10.0, level / 20.0) *
                                         std::sin ((j + 0.5) * juce::MathConstants<double>::pi / 2.0)));

        process (p, programme, 4000);
        EXPECT_GE (p.readings.peakHold[L], reading - 0.2f);
        EXPECT_LE (p.readings.peakHold[L], reading + 0.2f);
    }
}

TEST (AudioPath, NonFiniteSamplesDoNotPoisonTheMeasurement)
{
    const auto tone = toneIn (L, -20.0f, 4.0);
    auto faulty = tone;
    auto patched = tone;

    // Single bad samples and a whole bad stretch.
    const int bad[] = {100, 30000, 30001, 96000};
    for (const int i : bad)
    {
        faulty.setSample (L, i, std::numeric_limits<float>::quiet_NaN());
        patched.setSample (L, i, 0.0f);
    }
    for (int i = 120000; i < 120512; ++i)
    {
        faulty.setSample (L, i,
                          i % 2 == 0 ? std::numeric_limits<float>::infinity()
                                     : -std::numeric_limits<float>::infinity());
        patched.setSample (L, i, 0.0f);
    }

    OfflineProcessor withFaults, withZeros;
    for (auto* p :
         {static_cast<Tarn51AudioProcessor*> (&withFaults), static_cast<Tarn51AudioProcessor*> (&withZeros)})
        runManually (*p);

    process (withFaults, faulty);
    process (withZeros, patched);

    const auto& a = withFaults.readings;
    const auto& b = withZeros.readings;
    EXPECT_TRUE (std::isfinite (a.momentary));
    EXPECT_EQ (a.momentary, b.momentary);
    EXPECT_EQ (a.shortTerm, b.shortTerm);
    EXPECT_EQ (a.integrated, b.integrated);
    EXPECT_EQ (a.maxMomentary, b.maxMomentary);
    EXPECT_EQ (a.maxTruePeak, b.maxTruePeak);
    EXPECT_EQ (a.peakHold[L], b.peakHold[L]);
    EXPECT_EQ (a.truePeakOver, 0);
    EXPECT_EQ (a.integrated, -23.0f);
}

TEST (AudioPath, NonFiniteParameterValuesAreIgnored)
{
    Tarn51AudioProcessor p;
    const int maxLevel = indexOf (p, "TruePeak Max Level");
    p.setParameter (maxLevel, 0.5f);
    ASSERT_EQ (p.parameters.getValue (maxLevel), -6.0f);

    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()})
    {
        p.setParameter (maxLevel, bad);
        EXPECT_EQ (p.parameters.getValue (maxLevel), -6.0f);
    }

    // Finite values outside 0..1 are still limited to the range.
    p.setParameter (maxLevel, 7.0f);
    EXPECT_EQ (p.parameters.getValue (maxLevel), 0.0f);
}
