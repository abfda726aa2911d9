#pragma once

#include "engine/LoudnessHistory.h"

#include <juce_core/juce_core.h>

#include <memory>

// The --timeline file of one input: a header line, then one row per 100 ms step as it is
// measured: the end of the step in seconds from the start of the input, momentary, short-term
// and integrated loudness (LUFS) and the step's true peak (dBTP), each to 0.1 as the meter
// reads them, empty where there is none yet. Rows go to a temporary file beside the target,
// which takes its place only when finish finds everything written.
class TimelineCsv
{
public:
    explicit TimelineCsv (const juce::File& target);

    static juce::String header();
    static juce::String row (std::int64_t index, const LoudnessHistory::Step& step);

    // A failure to open or write is kept and reported by finish.
    void add (std::int64_t index, const LoudnessHistory::Step& step);

    // Moves the file into place; a failure names its reason.
    juce::Result finish();

private:
    juce::File target;
    juce::TemporaryFile temporary;
    juce::Result opened;
    std::unique_ptr<juce::FileOutputStream> stream;
};
