#pragma once

#include "InputLayout.h"
#include "MeasureOptions.h"

#include "engine/LoudnessHistory.h"
#include "engine/LoudnessResults.h"
#include "processor/MeterReadings.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <functional>
#include <optional>
#include <vector>

// Runs one input through a Tarn51AudioProcessor set offline, block by block, and keeps what
// the processor read. Only a few chunks of audio are held at any time, so memory does not
// grow with the length of the input.
class OfflineMeter
{
public:
    struct Measurement
    {
        juce::String productName;
        double sampleRate = 0.0;
        int numChannels = 0;
        juce::int64 lengthInSamples = 0;
        // The audio stream measured when each stream is measured on its own (from 1); else 0.
        int stream = 0;
        // Packets or frames that could not be decoded; the rest was measured. Any fails a target.
        int decodeErrors = 0;
        int standard = 0;
        float momentaryThreshold = -10.0f;
        float shortTermThreshold = -10.0f;
        MeterReadings readings;
        LoudnessResults results;
        // With a delivery target: the target and its verdict on the readings.
        std::optional<DeliveryTarget> target;
        DeliveryTarget::Verdict verdict;

        bool failedTarget() const { return target && !verdict.passed(); }

        // With a plot asked for: the whole programme's loudness history, and the alarm level
        // of the true peak (dBTP).
        std::vector<LoudnessHistory::Bucket> overview;
        LoudnessHistory::OverviewShape overviewShape;
        float truePeakLimit = -1.0f;
    };

    // Called now and then with the proportion of the input measured so far; -1 when the
    // input's length is not known (a pipe).
    using Progress = std::function<void (double)>;

    // Called with every 100 ms step of the loudness history as soon as it is measured, in
    // order; index 0 is the step that ends 0.1 s into the input.
    using StepSink = std::function<void (std::int64_t index, const LoudnessHistory::Step&)>;

    // The rates the meter has K-weighting filters for; any other rate would be measured with
    // the 48 kHz filters and give wrong values.
    static bool isSupportedRate (double sampleRate);
    static juce::String supportedRatesText();

    // With readAhead, a second thread reads the input while it is measured: quicker when a
    // core is free, at a little more processor time.
    static juce::Result measure (juce::AudioFormatReader& reader, const InputLayout& layout,
                                 const MeasureOptions& options, const Progress& progress, Measurement& result,
                                 bool readAhead = false, const StepSink& steps = nullptr);
};
