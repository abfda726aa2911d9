#include <gtest/gtest.h>

#include "ProcessorDriver.h"
#include "support/AllocationCounter.h"
#include "support/TestSignals.h"

#include <cstdlib>
#include <new>

using namespace ProcessorDriver;

namespace
{
// A host that listens to parameter changes, so that the notifications take their full path.
struct ListeningHost : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override { ++notifications; }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    int notifications = 0;
};

// Runs the programme through processBlock in blocks of `size` samples and counts the
// allocations inside processBlock only.
long allocationsWhileProcessing (Tarn51AudioProcessor& p, const juce::AudioSampleBuffer& programme, int size,
                                 FakePlayHead& head)
{
    p.setPlayHead (&head);
    juce::AudioSampleBuffer block (6, size);
    juce::MidiBuffer midi;
    long counted = 0;

    for (int start = 0; start + size <= programme.getNumSamples(); start += size)
    {
        for (int c = 0; c < 6; ++c)
            block.copyFrom (c, 0, programme, c, start, size);

        {
            AllocationCheck check;
            p.processBlock (block, midi);
            counted += check.count();
        }

        head.advance (size, rate);

        // Let the loudness thread take its windows now and then, so that the real-time path
        // sees new values too.
        if (start % (size * 32) == 0 && p.isModuleOnLoudnessThread())
            p.loudnessThread.moveToFrontOfQueue (&p.loudnessModule);
    }

    return counted;
}

juce::AudioSampleBuffer testProgramme()
{
    using namespace TestSignals;
    const auto gains = fiveChannelDb (-1.0f, -1.0f, -3.0f, -6.0f, -6.0f);
    auto programme = speechLike (rate, -18.0f, 4.0, 5, gains);
    append (programme, sine (rate, 997.0, -0.5f, 0.5, {1, 1, 1, 1, 1, 1})); // overs
    append (programme, silence (rate, 0.5));
    return programme;
}
} // namespace

TEST (Allocation, ProcessBlockAllocatesNothingAfterPrepare)
{
    const auto programme = testProgramme();

    for (const bool offline : {false, true})
    {
        Tarn51AudioProcessor p;
        ListeningHost host;
        p.addListener (&host);
        p.setNonRealtime (offline);
        p.prepareToPlay (rate, blockSize);
        runManually (p);
        p.setParameter (p.parameters.indexOf ("Measurement Standard"), 0.5f); // another scale type

        FakePlayHead head;
        head.setPlaying (true);
        head.moveTo (0, rate);

        EXPECT_EQ (allocationsWhileProcessing (p, programme, blockSize, head), 0) << "offline " << offline;
        // Blocks shorter than announced reuse the storage too.
        EXPECT_EQ (allocationsWhileProcessing (p, programme, 100, head), 0) << "offline " << offline;

        EXPECT_GT (host.notifications, 0);
        EXPECT_EQ (p.readings.truePeakOver, 1);
        p.removeListener (&host);
    }
}

TEST (Allocation, TheStandaloneOutputRoutingAllocatesNothing)
{
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Standalone);
    Tarn51AudioProcessor p;
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);

    p.prepareToPlay (rate, blockSize);
    p.manualRun = 1;
    int layout[Tarn51AudioProcessor::numMeterChannels] = {5, 4, 3, 2, 1, 0};
    std::fill (std::begin (layout) + 6, std::end (layout), -1);
    p.applyInputLayout (layout);
    p.applyOutputLayout (layout);

    FakePlayHead head;
    EXPECT_EQ (allocationsWhileProcessing (p, testProgramme(), blockSize, head), 0);
}

TEST (Allocation, TheCountingWorks)
{
    static void* volatile escape = nullptr;
    AllocationCheck check;
    juce::ignoreUnused (escape);
    // Both blocks escape, so the compiler cannot leave the allocations out.
    auto probe = std::make_unique<int> (1);
    escape = probe.get();
    juce::HeapBlock<float> block (16);
    escape = block.get();
    EXPECT_EQ (check.count(), 2);
}
