#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

// The texts of the meter's readouts, position labels and elapsed time. The editor's labels
// and the loudness report (and through it the command-line meter) take their texts from
// here, so the same reading always reads the same everywhere.
class ReadoutText
{
public:
    // Readings at or below this show as "-": nothing (meaningful) has been measured.
    static constexpr float noReadingLevel = -60.0f;

    // "-" alone for a value at or below -60 (or not a number); otherwise the value rounded
    // half away from zero to one decimal, a blank and the unit. With an empty unit the text
    // therefore ends in a blank.
    static juce::String value (float level, const juce::String& unit);

    // Unit of absolute loudness for the "Measurement Standard" choice: "LUFS" for EBU (0),
    // "LKFS" for ATSC and ARIB.
    static juce::String loudnessUnit (int standardChoice);
    static juce::String rangeUnit() { return "LU"; }
    static juce::String truePeakUnit() { return "dBTP"; }

    // Name of the standard for its choice: "EBU", "ATSC" or "ARIB" (choices outside 0..2
    // count as EBU, like everywhere else the choice is read).
    static juce::String standardName (int standardChoice);

    // Time in the programme of a maximum: "-" if negative, then hours, minutes and seconds in
    // two digits each followed by ":", then the frame in two digits at 24, 25 or 30 fps
    // (every 29.97 and 30 rate counts as 30), or the milliseconds in three digits for any
    // other rate, e.g. 00:01:05:12 (65.5 s at 25 fps) or 01:02:05:250.
    static juce::String position (double seconds, juce::AudioPlayHead::FrameRateType frameRate);

    // Elapsed measuring time as hh:mm:ss:ff, frames counted at 24 or 25 fps when the host
    // runs at that rate and at 30 fps otherwise; all zero when the sample rate is below 1.
    static juce::String elapsed (double samples, double sampleRate,
                                 juce::AudioPlayHead::FrameRateType frameRate);

    // A threshold or other setting in general notation: at most six significant digits and
    // no trailing zeros (-20 gives "-20", -15.5 gives "-15.5").
    static juce::String number (float value);

private:
    ReadoutText() = delete;
};
