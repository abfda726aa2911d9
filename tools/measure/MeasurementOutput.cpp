#include "MeasurementOutput.h"

#include "report/ReadoutText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{
// A float reading as the shortest decimal that reads back as the same float, so that -22.9f
// appears as -22.9 and not as the digits of its double widening.
juce::var number (float value)
{
    if (!std::isfinite (value))
        return {};

    char text[32] = {};
    for (int digits = 6; digits <= 9; ++digits)
    {
        std::snprintf (text, sizeof (text), "%.*g", digits, static_cast<double> (value));
        if (std::strtof (text, nullptr) == value)
            break;
    }

    return std::strtod (text, nullptr);
}

juce::var number (double value)
{
    if (!std::isfinite (value))
        return {};

    return value;
}

// A CSV field, quoted when it holds a separator, a quote or a line end.
juce::String csvField (const juce::String& text)
{
    if (!text.containsAnyOf (",\"\r\n"))
        return text;
    return "\"" + text.replace ("\"", "\"\"") + "\"";
}

juce::String csvLine (const juce::StringArray& fields)
{
    juce::StringArray quoted;
    for (const auto& f : fields)
        quoted.add (csvField (f));
    return quoted.joinIntoString (",") + "\n";
}

// A number exactly as the JSON writes it.
juce::String jsonText (const juce::var& value)
{
    return juce::JSON::toString (value, true);
}

double durationOf (const OfflineMeter::Measurement& m)
{
    return static_cast<double> (m.lengthInSamples) / m.sampleRate;
}
} // namespace

juce::String MeasurementOutput::json (const juce::String& inputName, const OfflineMeter::Measurement& m)
{
    const auto& r = m.readings;
    juce::DynamicObject::Ptr o (new juce::DynamicObject());

    o->setProperty ("file", inputName);

    if (m.stream > 0)
        o->setProperty ("stream", m.stream);

    if (m.sampleRate == std::floor (m.sampleRate))
        o->setProperty ("sampleRate", static_cast<juce::int64> (m.sampleRate));
    else
        o->setProperty ("sampleRate", m.sampleRate);

    o->setProperty ("channels", m.numChannels);
    o->setProperty ("durationSeconds", number (durationOf (m)));
    o->setProperty ("measuredSeconds", number (r.measuredSamples / m.sampleRate));
    o->setProperty ("standard", ReadoutText::standardName (m.standard));
    o->setProperty ("integrated", number (r.integrated));
    o->setProperty ("loudnessRange", number (r.loudnessRange));
    o->setProperty ("loudnessRangeStable", MeterReadings::isRangeStable (r.measuredSamples, m.sampleRate));
    o->setProperty ("rangeLow", number (m.results.rangeLow));
    o->setProperty ("rangeHigh", number (m.results.rangeHigh));
    o->setProperty ("maxMomentary", number (r.maxMomentary));
    o->setProperty ("maxMomentaryTime", number (r.maxMomentaryTime));
    o->setProperty ("maxShortTerm", number (r.maxShortTerm));
    o->setProperty ("maxShortTermTime", number (r.maxShortTermTime));
    o->setProperty ("maxTruePeak", number (r.maxTruePeak));
    o->setProperty ("maxTruePeakTime", number (r.maxTruePeakTime));

    juce::Array<juce::var> peaks;
    for (const auto& peak : r.peakHold)
        peaks.add (number (peak));
    o->setProperty ("truePeak", peaks);

    o->setProperty ("momentaryHits", static_cast<int> (r.momentaryHits));
    o->setProperty ("shortTermHits", static_cast<int> (r.shortTermHits));
    o->setProperty ("momentaryThreshold", number (m.momentaryThreshold));
    o->setProperty ("shortTermThreshold", number (m.shortTermThreshold));
    o->setProperty ("decodeErrors", m.decodeErrors);

    if (m.target)
        o->setProperty ("target", m.target->toJson (m.verdict));

    return juce::JSON::toString (juce::var (o.get()), true);
}

LoudnessReport::Statistics MeasurementOutput::statistics (const OfflineMeter::Measurement& m)
{
    return LoudnessReport::statisticsOf (m.readings, m.standard, m.momentaryThreshold, m.shortTermThreshold,
                                         juce::AudioPlayHead::fpsUnknown);
}

juce::String MeasurementOutput::text (const juce::String& inputName, const OfflineMeter::Measurement& m)
{
    juce::String result;
    result << inputName << "\n";

    for (const auto& line : LoudnessReport::statisticsLines (statistics (m)))
        result << line << "\n";

    return result + verdictLine (m);
}

juce::String MeasurementOutput::report (const OfflineMeter::Measurement& m)
{
    return LoudnessReport::text (m.productName, juce::Time::getCurrentTime(), statistics (m)) +
           verdictLine (m);
}

juce::String MeasurementOutput::verdictLine (const OfflineMeter::Measurement& m)
{
    return m.target ? m.target->verdictLine (m.verdict) + "\n" : juce::String();
}

juce::String MeasurementOutput::summaryHeader (bool withTarget)
{
    juce::StringArray columns{"file",         "durationSeconds", "integrated", "loudnessRange",
                              "maxMomentary", "maxShortTerm",    "maxTruePeak"};
    if (withTarget)
        columns.addArray ({"target", "verdict", "failures"});
    columns.add ("error");
    return csvLine (columns);
}

juce::String MeasurementOutput::summaryRow (const juce::String& inputName, const OfflineMeter::Measurement& m,
                                            bool withTarget)
{
    const auto& r = m.readings;
    juce::StringArray fields{inputName,
                             jsonText (number (durationOf (m))),
                             jsonText (number (r.integrated)),
                             jsonText (number (r.loudnessRange)),
                             jsonText (number (r.maxMomentary)),
                             jsonText (number (r.maxShortTerm)),
                             jsonText (number (r.maxTruePeak))};

    if (withTarget)
    {
        juce::StringArray failures;
        for (const auto& f : m.verdict.failures)
            failures.add (f.text);
        fields.addArray ({m.target ? m.target->id : juce::String(), m.verdict.passed() ? "pass" : "fail",
                          failures.joinIntoString ("; ")});
    }

    fields.add ({});
    return csvLine (fields);
}

juce::String MeasurementOutput::summaryRow (const juce::String& inputName, const juce::String& error,
                                            bool withTarget)
{
    juce::StringArray fields{inputName};
    for (int i = 0; i < 6 + (withTarget ? 3 : 0); ++i)
        fields.add ({});
    fields.add (error);
    return csvLine (fields);
}
