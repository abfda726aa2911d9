#pragma once

#include "RangeReport.h"

// What `tarn51-logger report` prints: one JSON object with tarn51-measure's keys (times as
// ISO 8601) plus from, to and events; a CSV table; or text lines. The daily table has a row
// per hour and one for the whole range. Ranges measured in 5.1 keep the six peaks of the first
// logs; the bigger arrangements (7.1 ... 7.1.4) name their channels, one for each peak, as
// tarn51-measure does.
class ReportOutput
{
public:
    static juce::var toJson (const RangeReport::Result& r, const RangeReport::Settings& s);
    static juce::String json (const RangeReport::Result& r, const RangeReport::Settings& s);
    static juce::String text (const RangeReport::Result& r, const RangeReport::Settings& s);

    // `layout` is the arrangement of the table (the whole range's): beyond 5.1 the table has a
    // true-peak column per channel.
    static juce::String csvHeader (bool withTarget, int layout = SpeakerLayout::surround51);
    static juce::String csvRow (const juce::String& label, const RangeReport::Result& r,
                                const RangeReport::Settings& s, int layout = SpeakerLayout::surround51);
};
