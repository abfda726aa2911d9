#include <gtest/gtest.h>

#include "EngineDriver.h"
#include "support/AllocationCounter.h"
#include "support/TestSignals.h"

#include <cstdlib>
#include <memory>

TEST (Allocation, FeedTimeSlicesAndHistogramsAllocateNothing)
{
    using namespace TestSignals;
    const auto programme = sineProgramme (48000, 997, {{-20, 3.5}, {-30, 1.0}}, stereo());

    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::prepare (*module, 48000, 512);
    module->setMeasuring (1);

    // The block of the processor is copied in before the check, as the processor does.
    juce::AudioSampleBuffer block (6, 512);
    long counted = 0;
    int hits = 0;

    for (int start = 0; start + 512 <= programme.getNumSamples(); start += 512)
    {
        for (int c = 0; c < 6; ++c)
            module->inputBuffer.copyFrom (c, 0, programme, c, start, 512);

        AllocationCheck check;
        module->feed();
        module->useTimeSlice();
        module->computeBlocks();
        hits += module->momentaryHistogram.countAtOrAbove (-30.0f);
        hits += module->shortTermHistogram.countAtOrAbove (-30.0f);
        counted += check.count();
    }

    {
        AllocationCheck check;
        module->momentaryHistogram.add (-23.0f);
        (void)module->shortTermHistogram.computeRange();
        module->setMeasuring (0);
        module->setMeasuring (1);
        module->resetFilters();
        module->resetMeasurement();
        (void)module->getResults();
        counted += check.count();
    }

    EXPECT_EQ (counted, 0);
    EXPECT_GT (hits, 0);

    // The check itself works.
    AllocationCheck check;
    auto probe = std::make_unique<int> (1);
    EXPECT_EQ (check.count(), 1);
}
