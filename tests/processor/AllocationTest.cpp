#include <gtest/gtest.h>

#include "ProcessorDriver.h"
#include "support/TestSignals.h"

#include <cstdlib>
#include <new>

// Counts the heap allocations made on the current thread while a check is armed. Global
// operator new and delete are replaced, and the C allocator is interposed (glibc) as well,
// because JUCE's heap blocks (the audio buffers among them) call malloc directly.
namespace
{
thread_local bool armed = false;
thread_local long allocations = 0;

void count()
{
    if (armed)
        ++allocations;
}

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
        count();
        return __libc_malloc (size);
    }

    void* calloc (std::size_t n, std::size_t size)
    {
        count();
        return __libc_calloc (n, size);
    }

    void* realloc (void* p, std::size_t size)
    {
        count();
        return __libc_realloc (p, size);
    }

    void* aligned_alloc (std::size_t alignment, std::size_t size)
    {
        count();
        return __libc_memalign (alignment, size);
    }
}

namespace
{
void* allocate (std::size_t size)
{
    count();

    if (void* p = __libc_malloc (size != 0 ? size : 1))
        return p;

    throw std::bad_alloc();
}

void* allocateAligned (std::size_t size, std::align_val_t alignment)
{
    count();

    if (void* p = __libc_memalign ((std::size_t)alignment, size != 0 ? size : 1))
        return p;

    throw std::bad_alloc();
}
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
    count();
    return __libc_malloc (size != 0 ? size : 1);
}

void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    count();
    return __libc_malloc (size != 0 ? size : 1);
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
    const int layout[6] = {5, 4, 3, 2, 1, 0};
    p.applyInputLayout (layout);
    p.applyOutputLayout (layout);

    FakePlayHead head;
    EXPECT_EQ (allocationsWhileProcessing (p, testProgramme(), blockSize, head), 0);
}

TEST (Allocation, TheCountingWorks)
{
    AllocationCheck check;
    auto probe = std::make_unique<int> (1);
    juce::HeapBlock<float> block (16);
    EXPECT_EQ (check.count(), 2);
}
