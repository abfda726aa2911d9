#pragma once

#include <juce_core/juce_core.h>

#include "support/TemporaryFolder.h"

// Runs the built tarn51-measure with arguments and collects its exit status, standard output
// and standard error (kept apart, through files in a temporary folder).
struct MeasureRun
{
    int status = -1;
    juce::String out;
    juce::String err;

    juce::StringArray outLines() const;
    // The JSON object of each line of standard output.
    juce::Array<juce::var> jsonObjects() const;
};

MeasureRun runMeasure (const juce::StringArray& arguments, const juce::File& workingFolder = {});
