#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

struct MeterReadings;

// A loudness delivery target and the verdict on a measurement: programme loudness within a
// tolerance of a level, and maxima for true peak and short-term loudness. Every limit is
// optional; a value equal to a limit passes. Values are judged as the readouts show them,
// rounded to 0.1, so that a verdict never contradicts the printed figures.
struct DeliveryTarget
{
    // What the command line gives; the named target, if any, and the values that change it.
    struct Request
    {
        juce::String name;
        std::optional<double> loudness, tolerance, maxTruePeak, maxShortTerm;

        bool isEmpty() const
        {
            return name.isEmpty() && !loudness && !tolerance && !maxTruePeak && !maxShortTerm;
        }
    };

    struct Failure
    {
        juce::String measure; // the measure's JSON key: "integrated", "maxTruePeak", "maxShortTerm"
        double value = 0.0;
        juce::String text; // e.g. "max true peak -0.4 dBTP, above -1.0"
    };

    struct Verdict
    {
        std::vector<Failure> failures;
        bool passed() const { return failures.empty(); }
    };

    juce::String id;   // "ebu-r128", "ebu-r128-s1", "atsc-a85" or "custom"
    juce::String name; // "EBU R128", "EBU R128 s1", "ATSC A/85" or "custom"
    std::optional<double> loudness;
    double tolerance = 1.0;
    std::optional<double> maxTruePeak, maxShortTerm;

    static constexpr double defaultTolerance = 1.0;

    // The names --target takes, joined for the help text: "ebu-r128|ebu-r128-s1|atsc-a85".
    static juce::String namesText();
    static bool isName (const juce::String& id);

    // The target a request describes: a named one, tightened by any values given with it, or
    // a custom one from the values alone. A value that would loosen a named target, or a
    // tolerance without a level, is a usage error.
    static juce::Result fromRequest (const Request& request, DeliveryTarget& target);

    Verdict judge (const MeterReadings& readings, int standardChoice) const;

    // "Target EBU R128: pass" or "Target EBU R128: fail (programme loudness ...; max true peak ...)".
    juce::String verdictLine (const Verdict& verdict) const;

    // {"name", "limits", "pass", "failures": [{"measure", "value", "text"}]}.
    juce::var toJson (const Verdict& verdict) const;
};
