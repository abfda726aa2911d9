#pragma once

#include "InputLayout.h"
#include "MeasureOptions.h"

class Tarn51AudioProcessor;

// Sets a Tarn51AudioProcessor up the way the command-line programs measure: a block of the
// layout's arrangement (six channels for 5.1, up to twelve), offline evaluation of every window, the
// standard's program with the options' gating and thresholds, and the input's channel layout. The meter and
// the logger share it, so both give the plug-in's numbers.
class MeterSetup
{
public:
    // The block of 5.1 (the logger's); a block has as many channels as its arrangement.
    static constexpr int blockChannels = 6;

    // Fails, with the reason, for rates the meter does not measure and layouts that do not
    // fit the input's channel count. The play head must outlive the processor's use.
    static juce::Result prepare (Tarn51AudioProcessor& processor, juce::AudioPlayHead& playHead,
                                 double sampleRate, int numInputChannels, const InputLayout& layout,
                                 const MeasureOptions& options);

    // The momentary and short-term hit thresholds the options measure with: the standard's
    // program, unless the options override them.
    static void hitThresholds (const MeasureOptions& options, float& momentary, float& shortTerm);

    static void setValue (Tarn51AudioProcessor& processor, const char* name, float value);
    static float valueOf (Tarn51AudioProcessor& processor, const char* name);
};
