#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <vector>

// Audio files for tests that read files: sine programmes written straight to disk, block by
// block, in any of the formats the meter reads.
namespace TestAudioFiles
{
enum class Format
{
    wav,
    aiff,
    flac,
    oggVorbis
};

struct Segment
{
    float dBFS;     // peak level of the sine
    double seconds; // rounded to whole samples
};

struct Spec
{
    Format format = Format::wav;
    double sampleRate = 48000.0;
    int numChannels = 2;
    // Gain in dB of each channel relative to the segment level; channels beyond the list play
    // at 0 dB. A gain at or below -200 dB leaves the channel silent.
    std::vector<float> channelGainsDb;
    // WAV only: the speakers of the channels, written as a WAVE_FORMAT_EXTENSIBLE mask. Left
    // empty, the file has no channel layout.
    juce::AudioChannelSet layout;
    int bitsPerSample = 24;    // 32 writes floating point (WAV)
    double frequency = 1000.0; // the sine's phase runs on across the segments
    std::vector<Segment> segments = {{-23.0f, 20.0}};
};

constexpr float silent = -1000.0f;

// Writes the programme; false when the file could not be written.
bool write (const juce::File& file, const Spec& spec);

// The EBU reference cases as stereo 48 kHz 1 kHz sine programmes.
std::vector<Segment> ebu3341Case1();
std::vector<Segment> ebu3342Case1();
} // namespace TestAudioFiles
