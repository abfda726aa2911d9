#include <gtest/gtest.h>

#include "EngineDriver.h"
#include "support/TestSignals.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

// Counts the heap allocations made on the current thread while a check is armed, by
// replacing the global allocation functions of this test program.
namespace
{
thread_local bool armed = false;
thread_local long allocations = 0;

void* allocate (std::size_t size)
{
    if (armed)
        ++allocations;

    if (void* p = std::malloc (size == 0 ? 1 : size))
        return p;

    throw std::bad_alloc();
}

void* allocateAligned (std::size_t size, std::align_val_t alignment)
{
    if (armed)
        ++allocations;

    const auto align = static_cast<std::size_t> (alignment);
    if (void* p = std::aligned_alloc (align, (size + align - 1) / align * align))
        return p;

    throw std::bad_alloc();
}

class AllocationCheck
{
public:
    AllocationCheck()
    {
        allocations = 0;
        armed = true;
    }
    ~AllocationCheck() { armed = false; }

    long count() const { return allocations; }
};
} // namespace

void* operator new (std::size_t size)
{
    return allocate (size);
}
void* operator new[] (std::size_t size)
{
    return allocate (size);
}
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return allocate (size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new[] (std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new (size, tag);
}
void* operator new (std::size_t size, std::align_val_t alignment)
{
    return allocateAligned (size, alignment);
}
void* operator new[] (std::size_t size, std::align_val_t alignment)
{
    return allocateAligned (size, alignment);
}
void operator delete (void* p) noexcept
{
    std::free (p);
}
void operator delete[] (void* p) noexcept
{
    std::free (p);
}
void operator delete (void* p, std::size_t) noexcept
{
    std::free (p);
}
void operator delete[] (void* p, std::size_t) noexcept
{
    std::free (p);
}
void operator delete (void* p, std::align_val_t) noexcept
{
    std::free (p);
}
void operator delete[] (void* p, std::align_val_t) noexcept
{
    std::free (p);
}
void operator delete (void* p, std::size_t, std::align_val_t) noexcept
{
    std::free (p);
}
void operator delete[] (void* p, std::size_t, std::align_val_t) noexcept
{
    std::free (p);
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
