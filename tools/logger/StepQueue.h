#pragma once

#include "StepRecord.h"

#include <juce_core/juce_core.h>

#include <vector>

// Steps handed from the measuring side to the database writer: one producer, one consumer,
// fixed capacity, no locks and no allocation after construction, so the audio side never
// waits for the disk. A push into a full queue fails and is counted.
class StepQueue
{
public:
    explicit StepQueue (int capacity);

    bool push (const StepRecord& step) noexcept;
    // Moves up to maxSteps steps into out; returns how many.
    int pop (StepRecord* out, int maxSteps) noexcept;

    int size() const noexcept { return fifo.getNumReady(); }
    int freeSpace() const noexcept { return fifo.getFreeSpace(); }
    // Steps that found the queue full since the last call.
    int takeOverflows() noexcept { return overflows.exchange (0); }

private:
    juce::AbstractFifo fifo;
    std::vector<StepRecord> steps;
    std::atomic<int> overflows{0};
};
