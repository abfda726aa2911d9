#pragma once

#include <juce_core/juce_core.h>

// Exponential mapping from a level (LUFS, LU shifted into LUFS, or dB) to a proportion of a
// meter's height, 0 at the bottom of the scale and 1 at its top, with the tick marks of the
// scale. The upper part of the range gets more room than the lower part.
//
// Types: unit + 2 x scale + 4 x (standard is not EBU) for the loudness scales 0..7 (unit 0 LUFS,
// 1 LU; scale 0 "+9", 1 "+18"), and 8 for the true-peak scale.
//
// A new scale has type -1, no ticks and the range 0..1, so positions are defined even before
// the first setType. The tick arrays keep room for every type's ticks from construction on:
// setType never allocates, and does nothing at all when the type is unchanged, so the audio
// thread may call it on every block.
class MeterScale
{
public:
    static constexpr int numTypes = 9;
    static constexpr int maximumTicks = 32;

    MeterScale();
    MeterScale (const MeterScale& other);
    MeterScale& operator= (const MeterScale& other);
    ~MeterScale() = default;

    // Requires maximum > minimum.
    void setRange (double newMinimum, double newMaximum);

    // Selects one of the nine scales; nothing happens when `type` already equals newType. A
    // type outside 0..8 is stored without touching the range or the ticks.
    void setType (int newType);

    // Proportion of the height for a level; not clamped (below the minimum it is negative,
    // above the maximum larger than 1).
    double positionOf (double value) const;

    // Public constants: callers compute positions from range, expLow and expSpan themselves.
    // expLow and expHigh carry a factor exp (range) that cancels in every position.
    double minimum = 0.0;
    double maximum = 1.0;
    double range = 1.0;
    double expLow = 0.0;
    double expHigh = 0.0;
    double expSpan = 0.0;
    juce::Array<double> tickValues;
    juce::Array<double> tickPositions;
    double displayOffset = 0.0;
    int type = -1;

private:
    JUCE_LEAK_DETECTOR (MeterScale)
};
