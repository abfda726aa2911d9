#pragma once

#include "MeasureOptions.h"
#include "OfflineMeter.h"

#include <functional>
#include <vector>

// The inputs of a run and the measuring of each one.
namespace MeasureJob
{
// An input as the user named it (a file found under a folder is named through that folder);
// a reason when it is known before measuring that it cannot be measured.
struct Input
{
    juce::String name;
    juce::String error;
    // Where its --timeline CSV goes, if asked for.
    juce::File timeline;
    // With --all-streams, the audio stream of the file this input measures (from 1); else 0.
    int stream = 0;

    // The name in text, report and summary: "NAME (stream N)" for one stream of several.
    juce::String label() const
    {
        return stream > 0 ? name + " (stream " + juce::String (stream) + ")" : name;
    }
};

// What became of one input: the measurement, or why there is none.
struct Outcome
{
    juce::Result result = juce::Result::ok();
    // The failure came from streams asked for that the input does not have.
    bool usageError = false;
    OfflineMeter::Measurement measurement;
    // Whether the --timeline CSV of a measured input was written.
    juce::Result timelineWritten = juce::Result::ok();
};

// The inputs the options name, in order: the built-in reference, or the files, each folder
// replaced with -r by the audio files under it (hidden files and folders left out; sorted by
// path, byte by byte), each file with --all-streams by one input per audio stream.
std::vector<Input> listInputs (const MeasureOptions& options);

// The length of an input in seconds, or 0 when it cannot be opened.
double durationOf (const Input& input, const MeasureOptions& options);

// Measures one input on the calling thread; progress and readAhead as OfflineMeter takes them.
Outcome measure (const Input& input, const MeasureOptions& options, const OfflineMeter::Progress& progress,
                 bool readAhead);

// Measures the inputs on up to `jobs` threads (a single input on two: one reads ahead) and hands each
// outcome, in input order, to `take` on the calling thread, as soon as it and every one before it are done.
// `idle` is called on the calling thread about every 200 ms while it waits; `progress` is called on the
// measuring threads with an input's index and the proportion of it measured.
void measureAll (const std::vector<Input>& inputs, const MeasureOptions& options, int jobs,
                 const std::function<void (int index, double proportion)>& progress,
                 const std::function<void()>& idle, const std::function<void (int index, Outcome&)>& take);
} // namespace MeasureJob
