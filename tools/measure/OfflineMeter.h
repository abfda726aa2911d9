#pragma once

#include "InputLayout.h"
#include "MeasureOptions.h"

#include "engine/LoudnessResults.h"
#include "processor/MeterReadings.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <functional>
#include <optional>

// Runs one input through a Tarn51AudioProcessor set offline, block by block, and keeps what
// the processor read. Only one block of audio is held at any time, so memory does not grow
// with the length of the input.
class OfflineMeter
{
public:
    struct Measurement
    {
        juce::String productName;
        double sampleRate = 0.0;
        int numChannels = 0;
        juce::int64 lengthInSamples = 0;
        int standard = 0;
        float momentaryThreshold = -10.0f;
        float shortTermThreshold = -10.0f;
        MeterReadings readings;
        LoudnessResults results;
        // With a delivery target: the target and its verdict on the readings.
        std::optional<DeliveryTarget> target;
        DeliveryTarget::Verdict verdict;

        bool failedTarget() const { return target && !verdict.passed(); }
    };

    // Called now and then with the proportion of the input measured so far.
    using Progress = std::function<void (double)>;

    // The rates the meter has K-weighting filters for; any other rate would be measured with
    // the 48 kHz filters and give wrong values.
    static bool isSupportedRate (double sampleRate);
    static juce::String supportedRatesText();

    static juce::Result measure (juce::AudioFormatReader& reader, const InputLayout& layout,
                                 const MeasureOptions& options, const Progress& progress,
                                 Measurement& result);
};
