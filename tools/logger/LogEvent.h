#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>

// Something that happened to a logged input, kept with its time (UTC, ms since 1970).
// kind is one of: start, stop, input-lost, input-back, silence, true-peak-over, loud,
// storage-full, storage-back, steps-dropped.
struct LogEvent
{
    std::int64_t timeMs = 0;
    juce::String kind;
    juce::String detail;
};
