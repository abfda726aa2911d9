#include <gtest/gtest.h>

#include "EngineDriver.h"
#include "support/TestSignals.h"

#include <cstdlib>
#include <memory>

// Counts the heap allocations made on the current thread while a check is armed. The
// C allocator is interposed (glibc), so operator new and JUCE's own heap blocks, which
// call malloc directly, are both seen.
namespace
{
thread_local bool armed = false;
thread_local long allocations = 0;

struct AllocationCheck
{
    AllocationCheck()
    {
        allocations = 0;
        armed = true;
    }
    ~AllocationCheck() { armed = false; }
    long count() const { return allocations; }
};
} // namespace

extern "C"
{
    void* __libc_malloc (std::size_t);
    void* __libc_calloc (std::size_t, std::size_t);
    void* __libc_realloc (void*, std::size_t);
    void* __libc_memalign (std::size_t, std::size_t);

    void* malloc (std::size_t size)
    {
        allocations += armed ? 1 : 0;
        return __libc_malloc (size);
    }

    void* calloc (std::size_t n, std::size_t size)
    {
        allocations += armed ? 1 : 0;
        return __libc_calloc (n, size);
    }

    void* realloc (void* p, std::size_t size)
    {
        allocations += armed ? 1 : 0;
        return __libc_realloc (p, size);
    }

    void* aligned_alloc (std::size_t alignment, std::size_t size)
    {
        allocations += armed ? 1 : 0;
        return __libc_memalign (alignment, size);
    }
}

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
