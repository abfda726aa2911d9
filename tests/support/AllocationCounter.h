#pragma once

// Counts the heap allocations made on the current thread while an AllocationCheck lives.
// Global operator new and delete are replaced and the C allocator is interposed (glibc),
// because JUCE's heap blocks (the audio buffers among them) call malloc directly. Only a
// test program that uses AllocationCheck links the counting allocator in.
class AllocationCheck
{
public:
    AllocationCheck();
    ~AllocationCheck();
    AllocationCheck (const AllocationCheck&) = delete;
    AllocationCheck& operator= (const AllocationCheck&) = delete;

    // Allocations on this thread since construction.
    long count() const;
};
