#include "processor/ParameterTable.h"

#include <cmath>
#include <limits>

namespace
{
struct ParameterInfo
{
    const char* name;
    const char* identifier;
    float minimum;
    float maximum;
    float defaultValue;
    int steps;
    bool automatable;
};

constexpr int continuous = ParameterTable::continuousSteps;

constexpr ParameterInfo parameterInfos[ParameterTable::numParameters] = {
    {"Measurement Standard", "MeasurementStandard", 0.0f, 2.0f, 0.0f, 3, false},
    {"Measurement Scale", "MeasurementScale", 0.0f, 1.0f, 0.0f, 2, false},
    {"Measurement Unit", "MeasurementUnit", 0.0f, 1.0f, 0.0f, 2, false},
    {"Measurement Type", "MeasurementType", 0.0f, 1.0f, 0.0f, 2, false},
    {"Follow Transport", "FollowTransport", 0.0f, 1.0f, 1.0f, 2, false},
    {"Surround layout", "Surroundlayout", 0.0f, 2.0f, 0.0f, 3, false},
    {"TruePeak Ref Level", "TruePeakRefLevel", 0.0f, 1.0f, 0.0f, 2, false},
    {"TruePeak Max Level", "TruePeakMaxLevel", -12.0f, 0.0f, -1.0f, continuous, true},
    {"TruePeak Hold Time", "TruePeakHoldTime", 0.0f, 10.0f, 3.0f, continuous, false},
    {"TruePeak Over Time", "TruePeakOverTime", 0.0f, 10.0f, 3.0f, continuous, false},
    {"Histogram Loudness", "HistogramLoudness", 0.0f, 1.0f, 0.0f, 2, false},
    {"ML Threshold", "MLThreshold", -30.0f, -10.0f, -10.0f, continuous, false},
    {"STL Threshold", "STLThreshold", -30.0f, -10.0f, -10.0f, continuous, false},
    {"Mom. Loudness Param", "MomLoudnessParam", -60.0f, -6.0f, -60.0f, continuous, true},
    {"Sht. Loudness Param", "ShtLoudnessParam", -60.0f, -6.0f, -60.0f, continuous, true}};

constexpr int followTransportIndex = 4;

struct ProgramInfo
{
    const char* name;
    float values[ParameterTable::numParameters];
};

constexpr ProgramInfo programInfos[ParameterTable::numPrograms] = {
    {"EBU", {0, 0, 0, 0, 1, 0, 0, -1, 3, 3, 0, -15, -18, -60, -60}},
    {"ATSC", {1, 0, 0, 0, 1, 0, 0, -2, 3, 3, 0, -10, -10, -60, -60}},
    {"ARIB", {2, 0, 0, 0, 1, 0, 0, -2, 3, 3, 0, -10, -10, -60, -60}}};
} // namespace

ParameterTable::ParameterTable (Variant variant)
{
    const bool standalone = variant == Variant::standalone;

    for (int i = 0; i < numParameters; ++i)
    {
        const auto& info = parameterInfos[i];
        const float defaultValue = (standalone && i == followTransportIndex) ? 0.0f : info.defaultValue;

        names.add (info.name);
        identifiers.add (info.identifier);
        values[(size_t)i].store (defaultValue, std::memory_order_relaxed);
        defaults[(size_t)i] = defaultValue;
        ranges[(size_t)i] = {info.minimum, info.maximum};
        stepCounts[(size_t)i] = info.steps;
        indexByName.emplace (juce::String (info.name), i);
        changed.fetch_or (1u << i, std::memory_order_relaxed);

        if (info.automatable)
            automatable |= 1u << i;
    }

    count = numParameters;

    for (int p = 0; p < numPrograms; ++p)
    {
        programNames.add (programInfos[p].name);

        for (int i = 0; i < numParameters; ++i)
            programValues[(size_t)p][(size_t)i] = programInfos[p].values[i];

        if (standalone)
            programValues[(size_t)p][(size_t)followTransportIndex] = 0.0f;
    }

    programCount = numPrograms;
}

int ParameterTable::indexOf (juce::StringRef name) const
{
    const auto found = indexByName.find (name);
    return found != indexByName.end() ? found->second : -1;
}

float ParameterTable::getValue (int index) const
{
    return isInRange (index) ? values[(size_t)index].load (std::memory_order_relaxed) : 0.0f;
}

void ParameterTable::setValue (int index, float value)
{
    if (isInRange (index))
        values[(size_t)index].store (value, std::memory_order_relaxed);
}

std::array<float, ParameterTable::numParameters> ParameterTable::getValues() const
{
    std::array<float, numParameters> copy{};

    for (size_t i = 0; i < copy.size(); ++i)
        copy[i] = values[i].load (std::memory_order_relaxed);

    return copy;
}

int ParameterTable::roundHalfEven (float value)
{
    if (std::isnan (value))
        return 0;

    const double v = static_cast<double> (value);

    if (v >= static_cast<double> (std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();

    if (v <= static_cast<double> (std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();

    const double below = std::floor (v);
    const double fraction = v - below;
    auto result = static_cast<int> (below);

    if (fraction > 0.5 || (fraction == 0.5 && (result % 2) != 0))
        ++result;

    return result;
}

float ParameterTable::normalise (int index, float value) const
{
    const auto& range = ranges[(size_t)index];
    return juce::jlimit (0.0f, 1.0f, (value - range.minimum) / (range.maximum - range.minimum));
}

const juce::String ParameterTable::getParameterName (int index) const
{
    return isInRange (index) ? names[index] : juce::String();
}

float ParameterTable::getParameter (int index) const
{
    return isInRange (index) ? normalise (index, getValue (index)) : 0.0f;
}

const juce::String ParameterTable::getParameterText (int index) const
{
    return juce::String (getParameter (index), 2);
}

int ParameterTable::getParameterNumSteps (int index) const
{
    return isInRange (index) ? stepCounts[(size_t)index] : 0;
}

float ParameterTable::getParameterDefaultValue (int index) const
{
    if (!isInRange (index))
        return 0.0f;

    const auto& range = ranges[(size_t)index];
    return (defaults[(size_t)index] - range.minimum) / (range.maximum - range.minimum);
}

void ParameterTable::setParameter (int index, float normalisedValue)
{
    // A NaN from a host would pass through the limiting and poison every reader; ignore it.
    if (!isInRange (index) || std::isnan (normalisedValue))
        return;

    const auto& range = ranges[(size_t)index];
    const float value = range.minimum + normalisedValue * (range.maximum - range.minimum);

    values[(size_t)index].store (juce::jlimit (range.minimum, range.maximum, value),
                                 std::memory_order_relaxed);
    changed.fetch_or (1u << index, std::memory_order_relaxed);
}

bool ParameterTable::isParameterAutomatable (int index) const
{
    return isInRange (index) && (automatable & (1u << index)) != 0;
}

void ParameterTable::setCurrentProgram (int index, int& currentProgram)
{
    if (index < 0 || index >= programCount)
        return;

    currentProgram = index;

    for (size_t i = 0; i < (size_t)numParameters; ++i)
        values[i].store (programValues[(size_t)index][i], std::memory_order_relaxed);

    markAllChanged();
}

const juce::String ParameterTable::getProgramName (int index) const
{
    return (index >= 0 && index < programCount) ? programNames[index] : juce::String();
}

void ParameterTable::changeProgramName (int index, const juce::String& newName)
{
    if (index >= 0 && index < programCount)
        programNames.set (index, newName);
}

void ParameterTable::markAllChanged()
{
    changed.fetch_or (allBits, std::memory_order_relaxed);
}

bool ParameterTable::isChanged (int index) const
{
    return isInRange (index) && (changed.load (std::memory_order_relaxed) & (1u << index)) != 0;
}

bool ParameterTable::testAndClearChanged (int index)
{
    if (!isInRange (index))
        return false;

    const auto bit = 1u << index;
    return (changed.fetch_and (~bit, std::memory_order_relaxed) & bit) != 0;
}
