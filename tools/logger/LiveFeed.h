#pragma once

#include "StepRecord.h"

#include <array>
#include <atomic>
#include <cstdint>

// The steps of the running logger as the web page's live view reads them: the measuring side
// publishes each step with a sequence number into a fixed ring, and any number of readers copy
// them out. Publishing never locks, allocates or waits for a reader; a reader that falls more
// than a ring behind finds its step overwritten and is told so (the server then drops it).
// Each slot is a sequence lock over atomic words, so a torn copy is detected, never used.
class LiveFeed
{
public:
    static constexpr int capacity = 512; // 51.2 s of steps

    enum class State
    {
        ok,
        lost
    };

    // Measuring side (one thread).
    void publish (const StepRecord& step) noexcept;
    // Any thread: the input went away or came back.
    void setState (State s) noexcept { inputState.store (s); }

    State state() const noexcept { return inputState.load(); }
    // The sequence number the next step will get; steps 0 .. next() - 1 were published.
    std::uint64_t next() const noexcept { return head.load (std::memory_order_acquire); }

    enum class Read
    {
        ok,
        notYet,
        overwritten
    };
    // Copies step number sequence.
    Read read (std::uint64_t sequence, StepRecord& out) const noexcept;

private:
    static constexpr int words = (int)((sizeof (StepRecord) + 7) / 8);

    struct Slot
    {
        // 2 s + 1 while step s is written into it, 2 s + 2 once it is complete.
        std::atomic<std::uint64_t> version{0};
        std::array<std::atomic<std::uint64_t>, words> data{};
    };

    std::array<Slot, capacity> slots;
    std::atomic<std::uint64_t> head{0};
    std::atomic<State> inputState{State::ok};
};
