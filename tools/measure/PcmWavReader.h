#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>

// The samples of an uncompressed WAV file (16, 24 or 32-bit integers, 32-bit floats), read in
// large pieces straight from the file and converted to float as JUCE's reader converts them,
// bit for bit. JUCE's reader fetches a few kilobytes a call through a stream and converts them
// sample by sample; this one costs a fraction of that. The header, the length and the channel
// layout are those JUCE's reader parsed. Delivers floats; one thread at a time.
class PcmWavReader : public juce::AudioFormatReader
{
public:
    // A reader of `file` in place of `parsed`, JUCE's reader of it; `parsed` is returned as
    // it is for any other file.
    static std::unique_ptr<juce::AudioFormatReader>
    fasterReader (std::unique_ptr<juce::AudioFormatReader> parsed, const juce::File& file);

    bool readSamples (int* const* destSamples, int numDestChannels, int startOffsetInDestBuffer,
                      juce::int64 startSampleInFile, int numSamples) override;

    juce::AudioChannelSet getChannelLayout() override { return parsed->getChannelLayout(); }

private:
    PcmWavReader (std::unique_ptr<juce::AudioFormatReader> parsed,
                  std::unique_ptr<juce::FileInputStream> file, juce::int64 dataStart, int bytesPerFrame);

    void convert (const char* frames, float* const* destinations, int numDestinations, int numFrames) const;

    std::unique_ptr<juce::AudioFormatReader> parsed;
    std::unique_ptr<juce::FileInputStream> file;
    const juce::int64 dataStart;
    const int bytesPerFrame;
    const int sampleBits;
    const bool floatSamples;
    juce::HeapBlock<char> frames;
    int framesPerRead = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PcmWavReader)
};
