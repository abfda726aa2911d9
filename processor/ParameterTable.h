#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>

// The processor's fifteen host-visible parameters and its three programs.
//
// Values are held in each parameter's own units (choice index, LUFS, dBTP, seconds); hosts
// see them normalised linearly over the parameter's range. The operations named like those of
// juce::AudioProcessor behave as the processor's overrides must, so the processor forwards
// each in one line.
//
// Threads: hosts, the editor and the audio thread write values through setParameter while the
// audio thread and the editor read them; each value is one relaxed atomic float. A changed bit
// is set when a value is written and cleared by the editor through testAndClearChanged; each
// bit is set and cleared on its own, so no update is lost. setCurrentProgram replaces all
// values and is meant for the message thread.
class ParameterTable
{
public:
    // The standalone program does not follow a host transport: there "Follow Transport" starts
    // at 0 and every program sets it to 0.
    enum class Variant
    {
        plugin,
        standalone
    };

    static constexpr int numParameters = 15;
    static constexpr int numPrograms = 3;
    static constexpr int continuousSteps = 2147483647;

    struct Range
    {
        float minimum;
        float maximum;
    };

    explicit ParameterTable (Variant variant = Variant::plugin);

    // Display name to index; -1 for a name that is not in the table. Takes a StringRef so that
    // a literal is looked up without building a juce::String (no allocation on the audio thread).
    int indexOf (juce::StringRef name) const;

    // Current value in the parameter's own units; 0 out of range.
    float getValue (int index) const;
    // Stores a value in the parameter's own units as it is (no limiting: the state loader keeps
    // what it reads). Leaves the changed bits alone, so that a loader can set them all once
    // every value is in place. Out of range: nothing.
    void setValue (int index, float value);
    // Current value rounded to the nearest integer, halves to even: the value as a choice.
    int choiceOf (int index) const { return roundHalfEven (getValue (index)); }
    // All fifteen current values, for a reader that wants one consistent-enough copy.
    std::array<float, numParameters> getValues() const;

    // Nearest integer, halves to even (0.5 -> 0, 1.5 -> 2, -0.5 -> 0). NaN gives 0; values
    // beyond the int range give its ends.
    static int roundHalfEven (float value);

    // Parameter operations of juce::AudioProcessor.
    int getNumParameters() const { return count; }
    const juce::String getParameterName (int index) const;
    float getParameter (int index) const;
    const juce::String getParameterText (int index) const;
    int getParameterNumSteps (int index) const;
    float getParameterDefaultValue (int index) const;
    void setParameter (int index, float normalisedValue);
    bool isParameterAutomatable (int index) const;

    // Program operations of juce::AudioProcessor; the processor keeps currentProgram.
    int getNumPrograms() const { return programCount; }
    void setCurrentProgram (int index, int& currentProgram);
    const juce::String getProgramName (int index) const;
    void changeProgramName (int index, const juce::String& newName);

    // Changed bits.
    void markAllChanged();
    bool isChanged (int index) const;
    // Clears the bit and tells whether it was set.
    bool testAndClearChanged (int index);

    static bool isInRange (int index) { return index >= 0 && index < numParameters; }

    // A name comparison that also takes StringRef keys, for allocation-free lookups.
    struct NameOrder
    {
        using is_transparent = void;
        bool operator() (const juce::String& a, const juce::String& b) const
        {
            return a.getCharPointer().compare (b.getCharPointer()) < 0;
        }
        bool operator() (const juce::String& a, juce::StringRef b) const
        {
            return a.getCharPointer().compare (b.text) < 0;
        }
        bool operator() (juce::StringRef a, const juce::String& b) const
        {
            return a.text.compare (b.getCharPointer()) < 0;
        }
    };

    std::array<std::atomic<float>, numParameters> values;
    std::array<float, numParameters> defaults{};
    std::array<Range, numParameters> ranges{};
    std::array<int, numParameters> stepCounts{};
    juce::StringArray names;
    juce::StringArray identifiers;
    std::map<juce::String, int, NameOrder> indexByName;
    std::uint32_t automatable = 0;         // bit i: parameter i
    std::atomic<std::uint32_t> changed{0}; // bit i: parameter i
    int count = 0;
    juce::StringArray programNames;
    std::array<std::array<float, numParameters>, numPrograms> programValues{};
    int programCount = 0;

private:
    static constexpr std::uint32_t allBits = (1u << numParameters) - 1u;

    float normalise (int index, float value) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ParameterTable)
};
