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

// A time or duration in seconds, to the millisecond.
juce::var seconds (double value)
{
    return number (std::round (value * 1000.0) / 1000.0);
}

// The shortest decimal that reads back as the same double. juce::JSON writes up to 17 digits,
// so a reading of -8.8 came out as -8.800000000000001. Readings are rounded to 0.1 and times to
// the millisecond, so they come out with one and at most three decimals.
juce::String shortestDecimal (double value)
{
    // Fixed notation with at least one decimal, as the report writes readings: -70.0, not -7e+01.
    char text[64] = {};
    for (int decimals = 1; decimals <= 17; ++decimals)
    {
        std::snprintf (text, sizeof (text), "%.*f", decimals, value);
        if (std::strtod (text, nullptr) == value)
            return text;
    }

    std::snprintf (text, sizeof (text), "%.17g", value);
    return text;
}

// JSON on one line, laid out as juce::JSON lays it out, with numbers as shortestDecimal.
void writeJson (juce::String& out, const juce::var& value)
{
    if (value.isDouble())
    {
        const auto d = static_cast<double> (value);
        out << (std::isfinite (d) ? shortestDecimal (d) : juce::String ("null"));
    }
    else if (const auto* array = value.getArray())
    {
        out << "[";
        for (int i = 0; i < array->size(); ++i)
        {
            if (i > 0)
                out << ", ";
            writeJson (out, array->getReference (i));
        }
        out << "]";
    }
    else if (auto* object = value.getDynamicObject())
    {
        out << "{";
        bool first = true;
        for (const auto& property : object->getProperties())
        {
            if (!first)
                out << ", ";
            first = false;
            out << juce::JSON::toString (property.name.toString(), true) << ": ";
            writeJson (out, property.value);
        }
        out << "}";
    }
    else
    {
        out << juce::JSON::toString (value, true);
    }
}

// A value exactly as the JSON writes it.
juce::String jsonText (const juce::var& value)
{
    juce::String out;
    writeJson (out, value);
    return out;
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

    // Files measured in 5.1 keep the count and six peaks (L R C LFE Ls Rs), as scripts read
    // them; the bigger arrangements name their channels, one for each peak.
    const auto& layout = SpeakerLayout::get (r.layout);
    o->setProperty ("channels", channelsValue (layout.id, m.numChannels));

    o->setProperty ("durationSeconds", seconds (durationOf (m)));
    o->setProperty ("measuredSeconds", seconds (r.measuredSamples / m.sampleRate));
    o->setProperty ("standard", ReadoutText::standardName (m.standard));
    o->setProperty ("integrated", number (r.integrated));
    o->setProperty ("loudnessRange", number (r.loudnessRange));
    o->setProperty ("loudnessRangeStable", MeterReadings::isRangeStable (r.measuredSamples, m.sampleRate));
    o->setProperty ("rangeLow", number (m.results.rangeLow));
    o->setProperty ("rangeHigh", number (m.results.rangeHigh));
    o->setProperty ("maxMomentary", number (r.maxMomentary));
    o->setProperty ("maxMomentaryTime", seconds (r.maxMomentaryTime));
    o->setProperty ("maxShortTerm", number (r.maxShortTerm));
    o->setProperty ("maxShortTermTime", seconds (r.maxShortTermTime));
    o->setProperty ("maxTruePeak", number (r.maxTruePeak));
    o->setProperty ("maxTruePeakTime", seconds (r.maxTruePeakTime));

    juce::Array<juce::var> peaks;
    for (int c = 0; c < layout.numChannels; ++c)
        peaks.add (number (r.peakHold[c]));
    o->setProperty ("truePeak", peaks);

    o->setProperty ("momentaryHits", static_cast<int> (r.momentaryHits));
    o->setProperty ("shortTermHits", static_cast<int> (r.shortTermHits));
    o->setProperty ("momentaryThreshold", number (m.momentaryThreshold));
    o->setProperty ("shortTermThreshold", number (m.shortTermThreshold));
    o->setProperty ("decodeErrors", m.decodeErrors);

    if (m.target)
        o->setProperty ("target", m.target->toJson (m.verdict));

    return jsonText (juce::var (o.get()));
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
                             jsonText (seconds (durationOf (m))),
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

juce::var MeasurementOutput::channelsValue (int layoutId, int numChannels)
{
    const auto& layout = SpeakerLayout::get (layoutId);

    if (layout.id == SpeakerLayout::surround51)
        return numChannels;

    juce::Array<juce::var> names;
    for (int c = 0; c < layout.numChannels; ++c)
        names.add (juce::String (layout.speakers[c].label));
    return names;
}

juce::var MeasurementOutput::readingValue (float value)
{
    return number (value);
}

juce::var MeasurementOutput::secondsValue (double value)
{
    return seconds (value);
}

juce::String MeasurementOutput::jsonLine (const juce::var& value)
{
    return jsonText (value);
}

juce::String MeasurementOutput::csvRow (const juce::StringArray& fields)
{
    return csvLine (fields);
}
