#include "ReferenceProgramme.h"

#include <cmath>

ReferenceProgramme::ReferenceProgramme() : juce::AudioFormatReader (nullptr, "Reference programme")
{
    sampleRate = rate;
    bitsPerSample = 32;
    lengthInSamples = static_cast<juce::int64> (rate * seconds);
    numChannels = 2;
    usesFloatingPointData = true;
}

bool ReferenceProgramme::readSamples (int* const* destChannels, int numDestChannels,
                                      int startOffsetInDestBuffer, juce::int64 startSampleInFile,
                                      int numSamples)
{
    const auto amplitude = std::pow (10.0, levelDb / 20.0);
    const auto step = 2.0 * juce::MathConstants<double>::pi * frequency / rate;

    for (int i = 0; i < numSamples; ++i)
    {
        const auto index = startSampleInFile + i;
        const auto inside = index >= 0 && index < lengthInSamples;
        // The phase from the index modulo the period keeps the argument small and exact.
        const auto period = static_cast<juce::int64> (rate / frequency);
        const auto value =
            inside ? static_cast<float> (amplitude * std::sin (step * static_cast<double> (index % period)))
                   : 0.0f;

        for (int c = 0; c < numDestChannels; ++c)
            if (auto* dest = reinterpret_cast<float*> (destChannels[c]))
                dest[startOffsetInDestBuffer + i] = value;
    }

    return true;
}
