#pragma once

#include "RangeReport.h"

// What `tarn51-logger report` prints: one JSON object with tarn51-measure's keys (times as
// ISO 8601) plus from, to and events; a CSV table; or text lines. The daily table has a row
// per hour and one for the whole range.
class ReportOutput
{
public:
    static juce::var toJson (const RangeReport::Result& r, const RangeReport::Settings& s);
    static juce::String json (const RangeReport::Result& r, const RangeReport::Settings& s);
    static juce::String text (const RangeReport::Result& r, const RangeReport::Settings& s);

    static juce::String csvHeader (bool withTarget);
    static juce::String csvRow (const juce::String& label, const RangeReport::Result& r,
                                const RangeReport::Settings& s);
};
