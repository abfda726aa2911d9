#pragma once

#include "editor/MeterScale.h"
#include "engine/LoudnessHistory.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_graphics/juce_graphics.h>

// Draws loudness over time: the short-term loudness as the main curve, the momentary loudness
// fainter behind it, the integrated loudness as a line, the target band of the standard, the
// true-peak overs as marks along the time axis, a level axis on the meter's scale and a time
// axis. The editor's History page and the command-line meter's picture both draw with it, so
// the two look alike.
//
// Data comes as buckets of the loudness history (a step at full resolution is a bucket of one
// step); several buckets that fall on one pixel column are merged, so the cost of a drawing
// follows its width, not the programme's length.
class OSKAHistoryPlot
{
public:
    static constexpr int levelAxisWidth = 30;
    static constexpr int timeAxisHeight = 16;

    struct Settings
    {
        int scaleType = 0;           // a loudness scale type of MeterScale, 0..7
        float truePeakLimit = -1.0f; // a step whose true peak lies above it is an over (dBTP)
        juce::AudioPlayHead::FrameRateType frameRate = juce::AudioPlayHead::fpsUnknown;
        float fontHeight = 10.0f;
    };

    // Buckets of stepsPerBucket steps from step firstStep on, shown on a time axis from
    // axisStart to axisEnd seconds.
    struct Series
    {
        const LoudnessHistory::Bucket* buckets = nullptr;
        int numBuckets = 0;
        std::int64_t firstStep = 0;
        std::int64_t stepsPerBucket = 1;
        double axisStart = 0.0;
        double axisEnd = 30.0;
    };

    // Target loudness of a scale type: -23 LUFS for EBU, -24 LUFS for ATSC and ARIB.
    static float targetLoudness (int scaleType) noexcept { return scaleType >= 4 ? -24.0f : -23.0f; }

    // Draws into bounds: the level axis takes levelAxisWidth pixels on the left, the time axis
    // timeAxisHeight at the bottom, the curves the rest. Returns the curves' area.
    static juce::Rectangle<int> draw (juce::Graphics& g, juce::Rectangle<int> bounds, const Series& series,
                                      const Settings& settings);

    // The names of the curves and marks with a sample of each, in a row whose left end and
    // middle height are x and y.
    static void drawLegend (juce::Graphics& g, float x, float y, float fontHeight);

    // A time axis step of whole seconds or minutes that leaves labels at least minimumGap
    // pixels apart on an axis of `seconds` over `pixels`.
    static double timeTickInterval (double seconds, int pixels, int minimumGap) noexcept;
};
