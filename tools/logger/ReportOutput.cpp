#include "ReportOutput.h"

#include "LogTime.h"

#include "MeasurementOutput.h"
#include "processor/MeterReadings.h"
#include "report/ReadoutText.h"

#include <cmath>

namespace
{
// A reading as the readouts show it, rounded to 0.1; null when there is none.
juce::var reading (double value)
{
    if (!std::isfinite (value))
        return {};
    return MeasurementOutput::readingValue ((float)(std::round (value * 10.0) / 10.0));
}

juce::var timeOf (std::int64_t timeMs, double value)
{
    return std::isfinite (value) ? juce::var (LogTime::iso (timeMs)) : juce::var();
}

juce::String shown (const juce::var& value)
{
    return value.isVoid() ? juce::String() : MeasurementOutput::jsonLine (value);
}

// A channel's true peak as the JSON gives it: the meter's floor for silent and unfed channels.
juce::var channelPeak (const RangeReport::Result& r, int channel)
{
    return reading (std::fmax (r.channelPeaks[channel], -70.0f));
}

bool namesChannels (int layout)
{
    return layout != SpeakerLayout::surround51;
}
} // namespace

juce::var ReportOutput::toJson (const RangeReport::Result& r, const RangeReport::Settings& s)
{
    juce::DynamicObject::Ptr o (new juce::DynamicObject());
    o->setProperty ("from", LogTime::iso (r.fromMs));
    o->setProperty ("to", LogTime::iso (r.toMs));
    if (r.sampleRate == std::floor (r.sampleRate))
        o->setProperty ("sampleRate", (juce::int64)r.sampleRate);
    else
        o->setProperty ("sampleRate", r.sampleRate);
    const auto& layout = SpeakerLayout::get (r.layout);
    o->setProperty ("channels", MeasurementOutput::channelsValue (layout.id, r.numChannels));
    o->setProperty ("durationSeconds",
                    MeasurementOutput::secondsValue ((double)(r.toMs - r.fromMs) / 1000.0));
    const auto measured = (double)r.numSteps * 0.1;
    o->setProperty ("measuredSeconds", MeasurementOutput::secondsValue (measured));
    o->setProperty ("standard", ReadoutText::standardName (s.standard));
    o->setProperty ("integrated", reading (r.integrated));
    o->setProperty ("loudnessRange", reading (r.loudnessRange));
    o->setProperty ("loudnessRangeStable", measured >= MeterReadings::stableRangeSeconds);
    o->setProperty ("rangeLow", reading (r.rangeLow));
    o->setProperty ("rangeHigh", reading (r.rangeHigh));
    o->setProperty ("maxMomentary", reading (r.maxMomentary));
    o->setProperty ("maxMomentaryTime", timeOf (r.maxMomentaryTime, r.maxMomentary));
    o->setProperty ("maxShortTerm", reading (r.maxShortTerm));
    o->setProperty ("maxShortTermTime", timeOf (r.maxShortTermTime, r.maxShortTerm));
    o->setProperty ("maxTruePeak", reading (r.maxTruePeak));
    o->setProperty ("maxTruePeakTime", timeOf (r.maxTruePeakTime, r.maxTruePeak));

    // Every meter channel, in the arrangement's order (L R C LFE Ls Rs for 5.1), with the
    // meter's floor for silent and unfed ones, as tarn51-measure gives them.
    juce::Array<juce::var> peaks;
    for (int c = 0; c < layout.numChannels; ++c)
        peaks.add (channelPeak (r, c));
    o->setProperty ("truePeak", peaks);

    o->setProperty ("momentaryHits", r.momentaryHits);
    o->setProperty ("shortTermHits", r.shortTermHits);
    o->setProperty ("momentaryThreshold", MeasurementOutput::readingValue (s.momentaryThreshold));
    o->setProperty ("shortTermThreshold", MeasurementOutput::readingValue (s.shortTermThreshold));

    if (s.target)
        o->setProperty ("target", s.target->toJson (r.verdict));

    juce::Array<juce::var> events;
    for (const auto& e : r.events)
    {
        juce::DynamicObject::Ptr event (new juce::DynamicObject());
        event->setProperty ("time", LogTime::iso (e.timeMs));
        event->setProperty ("kind", e.kind);
        event->setProperty ("detail", e.detail);
        events.add (juce::var (event.get()));
    }
    o->setProperty ("events", events);
    return juce::var (o.get());
}

juce::String ReportOutput::json (const RangeReport::Result& r, const RangeReport::Settings& s)
{
    return MeasurementOutput::jsonLine (toJson (r, s)) + "\n";
}

juce::String ReportOutput::text (const RangeReport::Result& r, const RangeReport::Settings& s)
{
    const auto unit = ReadoutText::loudnessUnit (s.standard);
    const auto o = toJson (r, s);
    const auto line = [&o] (const char* caption, const char* key, const juce::String& u, const char* timeKey)
    {
        const auto value = o[key];
        juce::String text = juce::String (caption) + ": " + (value.isVoid() ? "-" : shown (value) + " " + u);
        if (timeKey != nullptr && !o[timeKey].isVoid())
            text << " at " << o[timeKey].toString();
        return text + "\n";
    };

    juce::String out;
    out << "From " << LogTime::iso (r.fromMs) << " to " << LogTime::iso (r.toMs) << ", "
        << juce::String ((double)r.numSteps * 0.1, 1) << " s logged\n";
    out << line ("Integrated", "integrated", unit, nullptr);
    out << line ("Loudness range", "loudnessRange", "LU", nullptr);
    out << line ("Max momentary", "maxMomentary", unit, "maxMomentaryTime");
    out << line ("Max short-term", "maxShortTerm", unit, "maxShortTermTime");
    out << line ("Max true peak", "maxTruePeak", "dBTP", "maxTruePeakTime");
    if (const auto& layout = SpeakerLayout::get (r.layout); namesChannels (layout.id))
    {
        out << "True peak:";
        for (int c = 0; c < layout.numChannels; ++c)
            out << " " << layout.speakers[c].label << " " << shown (channelPeak (r, c));
        out << " dBTP\n";
    }
    out << "Momentary hits: " << r.momentaryHits << ", short-term hits: " << r.shortTermHits << "\n";
    for (const auto& e : r.events)
        out << LogTime::iso (e.timeMs) << " " << e.kind << (e.detail.isNotEmpty() ? ": " + e.detail : "")
            << "\n";
    if (s.target)
        out << s.target->verdictLine (r.verdict) << "\n";
    return out;
}

juce::String ReportOutput::csvHeader (bool withTarget, int layout)
{
    juce::StringArray columns{"range",       "from",          "to",           "measuredSeconds",
                              "integrated",  "loudnessRange", "maxMomentary", "maxShortTerm",
                              "maxTruePeak", "events"};
    if (const auto& l = SpeakerLayout::get (layout); namesChannels (l.id))
        for (int c = 0; c < l.numChannels; ++c)
            columns.add ("truePeak " + juce::String (l.speakers[c].label));
    if (withTarget)
        columns.addArray ({"target", "verdict", "failures"});
    return MeasurementOutput::csvRow (columns);
}

juce::String ReportOutput::csvRow (const juce::String& label, const RangeReport::Result& r,
                                   const RangeReport::Settings& s, int layout)
{
    juce::StringArray fields{label,
                             LogTime::iso (r.fromMs),
                             LogTime::iso (r.toMs),
                             shown (MeasurementOutput::secondsValue ((double)r.numSteps * 0.1)),
                             shown (reading (r.integrated)),
                             shown (reading (r.loudnessRange)),
                             shown (reading (r.maxMomentary)),
                             shown (reading (r.maxShortTerm)),
                             shown (reading (r.maxTruePeak)),
                             juce::String ((int)r.events.size())};
    if (const auto& l = SpeakerLayout::get (layout); namesChannels (l.id))
        for (int c = 0; c < l.numChannels; ++c)
            fields.add (shown (channelPeak (r, c)));
    if (s.target)
    {
        juce::StringArray failures;
        for (const auto& f : r.verdict.failures)
            failures.add (f.text);
        fields.addArray (
            {s.target->id, r.verdict.passed() ? "pass" : "fail", failures.joinIntoString ("; ")});
    }
    return MeasurementOutput::csvRow (fields);
}
