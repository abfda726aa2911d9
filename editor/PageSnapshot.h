#pragma once

#include "processor/MeterReadings.h"
#include "processor/ParameterTable.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <cstdint>

// What the editor hands its pages on each refresh: the processor's readings, run state and
// parameter values, copied once per tick, and the settings as the settings page's controls
// show them after this tick's parameter values reached them.
struct PageSnapshot
{
    // Parameter indices, looked up once by display name.
    struct Indices
    {
        int standard, scale, unit, type, followTransport, surroundLayout, referenceLevel, maxLevel, holdTime,
            overTime, histogramLoudness, momentaryThreshold, shortTermThreshold;

        static Indices of (const ParameterTable& table);
    };

    // The settings as their controls hold them (sliders in whole steps).
    struct Controls
    {
        bool ebu = true, relative = false, gatingOff = false;
        int scaleId = 1, referenceId = 1;
        double momentaryThreshold = 0.0, shortTermThreshold = 0.0, alarmLevel = 0.0, peakHold = 0.0,
               overloadHold = 0.0;
    };

    MeterReadings readings;
    juce::AudioPlayHead::FrameRateType frameRate = juce::AudioPlayHead::fps25;
    double sampleRate = 0.0;
    bool measuring = false;

    Indices indices{};
    std::array<float, ParameterTable::numParameters> values{};
    // Parameters changed since the last tick, one bit per index.
    std::uint32_t changedBits = 0;
    Controls controls;

    bool changed (int index) const noexcept
    {
        return index >= 0 && (changedBits & (1u << (unsigned)index)) != 0;
    }

    float valueOf (int index) const noexcept { return values[(size_t)index]; }
    int choiceOf (int index) const noexcept { return ParameterTable::roundHalfEven (values[(size_t)index]); }
};
