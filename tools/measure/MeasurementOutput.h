#pragma once

#include "OfflineMeter.h"

#include "report/LoudnessReport.h"

// What tarn51-measure prints and writes for a measured input.
class MeasurementOutput
{
public:
    // One line of JSON with the readings as the processor holds them.
    static juce::String json (const juce::String& inputName, const OfflineMeter::Measurement& m);

    // The statistics page's texts for the measurement; times in the file show milliseconds.
    static LoudnessReport::Statistics statistics (const OfflineMeter::Measurement& m);

    // The text printed without --json: a line naming the input, then the report's statistics
    // lines and the verdict line, each ended by "\n".
    static juce::String text (const juce::String& inputName, const OfflineMeter::Measurement& m);

    // The whole report file's text, dated now; the verdict line follows the statistics.
    static juce::String report (const OfflineMeter::Measurement& m);

    // The --summary table (CSV): the header line, and the row of an input that was measured
    // or of one that could not be (with the reason). Numbers read as in the JSON; the verdict
    // columns appear with a target only. Each line ends with "\n".
    static juce::String summaryHeader (bool withTarget);
    static juce::String summaryRow (const juce::String& inputName, const OfflineMeter::Measurement& m,
                                    bool withTarget);
    static juce::String summaryRow (const juce::String& inputName, const juce::String& error,
                                    bool withTarget);

    // "Target NAME: pass" or "...: fail (...)" and a line end; nothing without a target.
    static juce::String verdictLine (const OfflineMeter::Measurement& m);

    // The pieces the output is written with, for other programs that write the same keys:
    // a reading as its shortest decimal (null when not finite), seconds to the millisecond,
    // a value as one line of JSON and a CSV line ended by "\n".
    static juce::var readingValue (float value);
    // The "channels" value: the count for 5.1 (as scripts read it), else the arrangement's names.
    static juce::var channelsValue (int layout, int numChannels);
    static juce::var secondsValue (double value);
    static juce::String jsonLine (const juce::var& value);
    static juce::String csvRow (const juce::StringArray& fields);
};
