#include "DeliveryTarget.h"

#include "processor/MeterReadings.h"
#include "report/ReadoutText.h"

#include <cmath>

namespace
{
struct NamedTarget
{
    const char* id;
    const char* name;
    double loudness, tolerance, maxTruePeak;
    std::optional<double> maxShortTerm;
};

const NamedTarget namedTargets[] = {
    {"ebu-r128", "EBU R128", -23.0, 1.0, -1.0, std::nullopt},
    {"ebu-r128-s1", "EBU R128 s1", -23.0, 1.0, -1.0, -18.0},
    {"atsc-a85", "ATSC A/85", -24.0, 2.0, -2.0, std::nullopt},
};

// Rounded values compared with limits typed in decimal: a hair of slack for the binary forms.
constexpr double slack = 1e-6;

// The value as the readouts show it.
double shown (float value)
{
    return std::round (static_cast<double> (value) * 10.0) / 10.0 + 0.0;
}

// One decimal, or as many as the limit was given with.
juce::String limitText (double limit)
{
    const auto tenths = limit * 10.0;
    if (std::abs (tenths - std::round (tenths)) < slack)
        return juce::String (std::round (tenths) / 10.0 + 0.0, 1);
    return juce::String (limit);
}

juce::String loosens (const char* option, double value, const DeliveryTarget& target,
                      const juce::String& limit)
{
    return juce::String (option) + " " + limitText (value) + " would loosen " + target.name + "'s " + limit;
}
} // namespace

juce::String DeliveryTarget::namesText()
{
    juce::StringArray ids;
    for (const auto& t : namedTargets)
        ids.add (t.id);
    return ids.joinIntoString ("|");
}

bool DeliveryTarget::isName (const juce::String& id)
{
    for (const auto& t : namedTargets)
        if (id == t.id)
            return true;
    return false;
}

juce::Result DeliveryTarget::fromRequest (const Request& request, DeliveryTarget& target)
{
    target = DeliveryTarget();
    target.id = "custom";
    target.name = "custom";

    for (const auto& t : namedTargets)
    {
        if (request.name != t.id)
            continue;

        target.id = t.id;
        target.name = t.name;
        target.loudness = t.loudness;
        target.tolerance = t.tolerance;
        target.maxTruePeak = t.maxTruePeak;
        target.maxShortTerm = t.maxShortTerm;

        // A named target's level is what makes it that target; its limits may only tighten.
        if (request.loudness && std::abs (*request.loudness - t.loudness) > slack)
            return juce::Result::fail ("--target-loudness cannot move " + target.name + " from " +
                                       limitText (t.loudness) + "; leave out --target for a custom target");

        if (request.tolerance && *request.tolerance > t.tolerance + slack)
            return juce::Result::fail (loosens ("--tolerance", *request.tolerance, target,
                                                "+/- " + limitText (t.tolerance) + " LU"));

        if (request.maxTruePeak && *request.maxTruePeak > t.maxTruePeak + slack)
            return juce::Result::fail (loosens ("--max-true-peak", *request.maxTruePeak, target,
                                                limitText (t.maxTruePeak) + " dBTP"));

        if (request.maxShortTerm && t.maxShortTerm && *request.maxShortTerm > *t.maxShortTerm + slack)
            return juce::Result::fail (loosens ("--max-short-term", *request.maxShortTerm, target,
                                                "max short-term " + limitText (*t.maxShortTerm) + " LUFS"));
    }

    if (request.tolerance && !target.loudness && !request.loudness)
        return juce::Result::fail ("--tolerance needs --target-loudness or a named --target");

    if (request.loudness)
        target.loudness = request.loudness;
    if (request.tolerance)
        target.tolerance = *request.tolerance;
    if (request.maxTruePeak)
        target.maxTruePeak = request.maxTruePeak;
    if (request.maxShortTerm)
        target.maxShortTerm = request.maxShortTerm;

    return juce::Result::ok();
}

DeliveryTarget::Verdict DeliveryTarget::judge (const MeterReadings& readings, int standardChoice) const
{
    const auto unit = ReadoutText::loudnessUnit (standardChoice);
    Verdict verdict;

    if (loudness)
    {
        const float integrated = readings.integrated;
        const auto value = shown (integrated);
        const auto range = limitText (*loudness) + " +/- " + limitText (tolerance);
        const auto text = "programme loudness " + ReadoutText::value (integrated, unit);

        if (value > *loudness + tolerance + slack)
            verdict.failures.push_back ({"integrated", value, text + ", above " + range});
        else if (value < *loudness - tolerance - slack)
            verdict.failures.push_back ({"integrated", value, text + ", below " + range});
    }

    const auto checkMaximum = [&verdict] (const char* measure, const char* caption, float reading,
                                          const juce::String& readingUnit, std::optional<double> limit)
    {
        if (limit && shown (reading) > *limit + slack)
            verdict.failures.push_back ({measure, shown (reading),
                                         juce::String (caption) + " " +
                                             ReadoutText::value (reading, readingUnit) + ", above " +
                                             limitText (*limit)});
    };

    checkMaximum ("maxTruePeak", "max true peak", readings.maxTruePeak, ReadoutText::truePeakUnit(),
                  maxTruePeak);
    checkMaximum ("maxShortTerm", "max short-term", readings.maxShortTerm, unit, maxShortTerm);
    return verdict;
}

juce::String DeliveryTarget::verdictLine (const Verdict& verdict) const
{
    if (verdict.passed())
        return "Target " + name + ": pass";

    juce::StringArray texts;
    for (const auto& f : verdict.failures)
        texts.add (f.text);
    return "Target " + name + ": fail (" + texts.joinIntoString ("; ") + ")";
}

juce::var DeliveryTarget::toJson (const Verdict& verdict) const
{
    juce::DynamicObject::Ptr limits (new juce::DynamicObject());
    if (loudness)
    {
        limits->setProperty ("loudness", *loudness);
        limits->setProperty ("tolerance", tolerance);
    }
    if (maxTruePeak)
        limits->setProperty ("maxTruePeak", *maxTruePeak);
    if (maxShortTerm)
        limits->setProperty ("maxShortTerm", *maxShortTerm);

    juce::Array<juce::var> failures;
    for (const auto& f : verdict.failures)
    {
        juce::DynamicObject::Ptr failure (new juce::DynamicObject());
        failure->setProperty ("measure", f.measure);
        failure->setProperty ("value", f.value);
        failure->setProperty ("text", f.text);
        failures.add (juce::var (failure.get()));
    }

    juce::DynamicObject::Ptr o (new juce::DynamicObject());
    o->setProperty ("name", id);
    o->setProperty ("limits", juce::var (limits.get()));
    o->setProperty ("pass", verdict.passed());
    o->setProperty ("failures", failures);
    return juce::var (o.get());
}
