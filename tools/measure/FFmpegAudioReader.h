#pragma once

#include "FFmpegInput.h"
#include "FFmpegStreamDecoder.h"
#include "SequentialSource.h"
#include "TrackSelection.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>
#include <vector>

struct AVPacket;

// Reads a programme through FFmpeg: one audio stream, or several laid side by side (the mono
// tracks of an MXF file), as float samples. Reading goes front to back, in one pass over the
// file however many streams are read; streams not read are skipped by the demuxer.
class FFmpegAudioReader : public juce::AudioFormatReader, public SequentialSource
{
public:
    // nullptr, with the reason in error, when the input cannot be opened or the selection does
    // not fit it; usageError then tells whether the selection was at fault.
    static std::unique_ptr<FFmpegAudioReader> open (const juce::String& path, const TrackSelection& selection,
                                                    juce::String& error, bool& usageError,
                                                    bool networkUrl = false);

    ~FFmpegAudioReader() override;

    // The speaker of each channel (WAVE speaker bits, see FFmpegChannelLayout); empty when the
    // input does not say.
    const std::vector<juce::uint32>& speakers() const { return channelSpeakers; }

    // "ac3, 5.1(side)": what is read, for messages.
    juce::String description() const { return describedAs; }

    // Reads front to back only: a read that starts after the last one ended skips ahead, one
    // that starts before it fails.
    bool readSamples (int* const* destSamples, int numDestChannels, int startOffsetInDestBuffer,
                      juce::int64 startSampleInFile, int numSamples) override;

    int readNext (float* const* destinations, int numDestinations, int numSamples) override;
    bool lengthKnown() const override { return knownLength; }
    int decodeErrors() const override;

private:
    FFmpegAudioReader();

    // Reads packets until every stream has `wanted` samples waiting or the input ends.
    void fill (int wanted);
    int waiting() const;

    std::unique_ptr<FFmpegInput> input;
    std::vector<std::unique_ptr<FFmpegStreamDecoder>> decoders;
    std::vector<int> decoderOfStream; // by the file's stream index; -1 when not read
    AVPacket* packet = nullptr;
    std::vector<juce::uint32> channelSpeakers;
    juce::String describedAs;
    juce::int64 position = 0;
    bool ended = false;
    bool knownLength = false;
    int readErrors = 0;
};
