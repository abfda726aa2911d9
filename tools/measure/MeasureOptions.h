#pragma once

#include "DeliveryTarget.h"
#include "engine/SpeakerLayout.h"

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

// What the command line asks for. The options themselves, with their help texts and groups,
// are declared in one place: CommandLine::declare in MeasureOptions.cpp.
class MeasureOptions
{
public:
    enum class Layout
    {
        automatic, // the file's own channel layout, else by channel count
        itu,       // "Surround layout" orders for a 6-channel file
        c24,
        dts,
        named // a speaker arrangement by name ("7.1.4", "4+7+0"): namedLayout
    };

    bool reference = false;
    juce::StringArray inputs;
    int standard = 0; // the program: 0 EBU, 1 ATSC, 2 ARIB
    bool gating = true;
    std::optional<float> momentaryThreshold;
    std::optional<float> shortTermThreshold;
    Layout layout = Layout::automatic;
    SpeakerLayout::Named namedLayout{SpeakerLayout::surround51, 0x3Fu};
    int blockSize = 512;
    // The audio streams measured: the Nth (from 1; 0 leaves the first), every one on its own,
    // or several laid side by side into one programme.
    int stream = 0;
    bool allStreams = false;
    std::vector<int> tracks;
    bool json = false;
    juce::String reportPath;
    juce::String timelinePath;
    juce::String plotPath;
    int plotWidth = 1200;
    int plotHeight = 400;
    bool quiet = false;
    int jobs = 0; // inputs measured at once; 0: one per core
    bool recursive = false;
    juce::String summaryPath;
    // The delivery target each input is judged against, if any.
    std::optional<DeliveryTarget> target;
    bool help = false;

    static constexpr int maximumBlockSize = 1 << 20;
    static constexpr int maximumJobs = 256;
    static constexpr int maximumStream = 64;
    static constexpr int minimumPlotWidth = 300, maximumPlotWidth = 8000;
    static constexpr int minimumPlotHeight = 150, maximumPlotHeight = 4000;

    // Parses the arguments that follow the program name into options. A usage error leaves a
    // failed result with the message to show above the usage text.
    static juce::Result parse (const juce::StringArray& arguments, MeasureOptions& options);

    static juce::String usage();

    // The value of --layout (auto, itu, c24, dts or an arrangement's name or configuration) into
    // layout and namedLayout. A failed result holds the reason, to follow the option's name.
    static juce::Result parseLayout (const juce::String& text, MeasureOptions& options);
};
