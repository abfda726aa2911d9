#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

// The built-in reference programme as a reader, so that it goes through exactly the path a
// file takes: a 1 kHz sine at -23 dBFS (peak) in both channels of a stereo programme, 20 s
// at 48 kHz. Samples are computed from their index, so any block size reads the same signal.
class ReferenceProgramme : public juce::AudioFormatReader
{
public:
    static constexpr double rate = 48000.0;
    static constexpr double frequency = 1000.0;
    static constexpr double seconds = 20.0;
    static constexpr double levelDb = -23.0;

    ReferenceProgramme();

    bool readSamples (int* const* destChannels, int numDestChannels, int startOffsetInDestBuffer,
                      juce::int64 startSampleInFile, int numSamples) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReferenceProgramme)
};
