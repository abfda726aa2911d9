#pragma once

#include <juce_core/juce_core.h>

#include "support/TemporaryFolder.h"
#include "support/TestAudioFiles.h"

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

// Standard input is empty unless a shell command is given whose output is piped in.
MeasureRun runMeasure (const juce::StringArray& arguments, const juce::File& workingFolder = {},
                       const juce::String& pipedFrom = {});

// Writes a test programme into the folder and returns the file (a failure is a test failure).
juce::File writeAudio (const TemporaryFolder& folder, const juce::String& name,
                       const TestAudioFiles::Spec& spec);
