#include "StepQueue.h"

StepQueue::StepQueue (int capacity) : fifo (capacity + 1), steps ((size_t)capacity + 1) {}

bool StepQueue::push (const StepRecord& step) noexcept
{
    const auto scope = fifo.write (1);
    if (scope.blockSize1 + scope.blockSize2 < 1)
    {
        overflows.fetch_add (1);
        return false;
    }

    steps[(size_t)(scope.blockSize1 > 0 ? scope.startIndex1 : scope.startIndex2)] = step;
    return true;
}

int StepQueue::pop (StepRecord* out, int maxSteps) noexcept
{
    const auto scope = fifo.read (maxSteps);
    int n = 0;
    for (int i = 0; i < scope.blockSize1; ++i)
        out[n++] = steps[(size_t)(scope.startIndex1 + i)];
    for (int i = 0; i < scope.blockSize2; ++i)
        out[n++] = steps[(size_t)(scope.startIndex2 + i)];
    return n;
}
