#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <cstdint>
#include <vector>

// Test programmes in the meter's internal channel order (L, R, C, LFE, Ls, Rs): tones,
// noise and speech-like bursts, built sample-exactly so that tests can reason about
// window boundaries. Every generator returns a six-channel buffer.
namespace TestSignals
{
enum Channel
{
    L = 0,
    R,
    C,
    LFE,
    Ls,
    Rs
};

constexpr int numChannels = 6;

// Linear gain of each of the six channels; 0 leaves a channel silent.
using ChannelGains = std::array<float, numChannels>;

ChannelGains stereo();
ChannelGains only (int channel);
// Five full-range channels at the given levels in dB, LFE silent.
ChannelGains fiveChannelDb (float l, float r, float c, float ls, float rs);

float gainForDb (float dB);

int samplesFor (double sampleRate, double seconds);

struct Segment
{
    float dBFS;     // peak level for tones, RMS level for noise
    double seconds; // rounded to whole samples
};

// A sine whose phase runs on across the segments, each segment at its own peak level.
juce::AudioSampleBuffer sineProgramme (double sampleRate, double frequency,
                                       const std::vector<Segment>& segments, const ChannelGains& gains);

juce::AudioSampleBuffer sine (double sampleRate, double frequency, float dBFS, double seconds,
                              const ChannelGains& gains);

// A square wave between -peak and +peak.
juce::AudioSampleBuffer square (double sampleRate, double frequency, float dBFS, double seconds,
                                const ChannelGains& gains);

juce::AudioSampleBuffer silence (double sampleRate, double seconds);

// White noise of the given RMS level, the same in every channel with a gain; reproducible
// from its seed on every platform.
juce::AudioSampleBuffer noise (double sampleRate, float dBFS, double seconds, std::uint32_t seed,
                               const ChannelGains& gains);

// Noise shaped into syllables of about 200 ms (an envelope at 2.5 Hz), scaled so that
// its RMS level over the whole segment is dBFS.
juce::AudioSampleBuffer speechLike (double sampleRate, float dBFS, double seconds, std::uint32_t seed,
                                    const ChannelGains& gains);

// A unit sample (times each channel's gain) followed by zeros.
juce::AudioSampleBuffer impulse (double sampleRate, double seconds, const ChannelGains& gains);

// Appends part (six channels) to the end of programme.
void append (juce::AudioSampleBuffer& programme, const juce::AudioSampleBuffer& part);

juce::AudioSampleBuffer concatenate (const std::vector<const juce::AudioSampleBuffer*>& parts);
} // namespace TestSignals
