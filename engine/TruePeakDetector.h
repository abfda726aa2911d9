#pragma once

#include "engine/SpeakerLayout.h"

#include <juce_audio_basics/juce_audio_basics.h>

// Per-block peak level of each meter channel (up to twelve, in the order of the arrangement).
//
// At 44.1 and 48 kHz each sample is interpolated 4x with the 48-tap polyphase FIR of the
// true-peak measurement, at 88.2 and 96 kHz 2x (two of the four phases). Any other rate from
// 8 kHz up is interpolated with a Kaiser-windowed sinc designed for it, by the factor that brings
// the interpolated rate to 240 kHz or more (2x at least below 352.8 kHz); from 352.8 kHz the
// samples themselves are measured, which reads a 20 kHz tone at most 0.13 dB low. A rate that is
// not a positive number keeps the previous choice; before any rate has been set the detector
// measures sample peak.
//
// Use, all on the audio thread:
//   setSampleRate (rate)          prepare step; designs the filter only when the rate changes
//   setActiveChannelMask (mask)   prepare step; the channels present
//   prepare (maximumBlockSize)    prepare step; sizes `buffer` so that process allocates nothing
//   copy up to maximumBlockSize samples of each channel into `buffer`, then process (numSamples)
//   read `blockPeak` (dB; a silent block gives -infinity)
//
// The delay lines are never cleared while a channel is active: the filter history runs on across
// blocks, prepare calls and rate changes.
class TruePeakDetector
{
public:
    static constexpr int numChannels = SpeakerLayout::maxChannels;
    static constexpr int numPhases = 4;     // of the 48-tap filter
    static constexpr int tapsPerPhase = 12; // of the 48-tap filter
    static constexpr int designedTaps = 16; // per phase of a designed filter
    static constexpr int maxPhases = 32;
    static constexpr int maxTaps = 16;

    TruePeakDetector();

    // Chooses mode, factor and filter for the rate; nothing happens when the rate equals the
    // current one.
    void setSampleRate (double rate);

    // Fills `coefficients` for the current mode.
    void loadCoefficients();

    // Only the channels in `mask` (bit c for meter channel c) are measured: the others read as
    // silence, with zero magnitudes and a cleared history, and cost nothing.
    void setActiveChannelMask (juce::uint32 mask) noexcept;

    // The same for the first `count` channels (0 to numChannels; mono 1, stereo 2).
    void setActiveChannels (int count) noexcept;

    // Gives `buffer` numChannels channels of maximumBlockSize samples (cleared). The only operation
    // that allocates.
    void prepare (int maximumBlockSize);

    // Measures the first numSamples samples of each channel of `buffer`, leaves the per-sample
    // peak magnitudes in their place and the peak of each channel in `blockPeak`. numSamples
    // is limited to the buffer's length; a block of no samples reads as silence.
    void process (int numSamples);

    // The same, reading channel c's samples from sources[c] (which may be `buffer`'s own)
    // instead of `buffer`; the magnitudes still go to `buffer`. Saves a copy of every block.
    // Inactive channels' sources are not read.
    void process (const float* const* sources, int numSamples);

    // The whole of `buffer`.
    void process() { process (buffer.getNumSamples()); }

    double sampleRate = 0.0;
    double delayLines[numChannels][maxTaps]{}; // newest sample first
    double coefficients[maxPhases][maxTaps]{}; // phase, tap: the first `taps` of each row are used
    juce::AudioSampleBuffer buffer;
    int mode = 0;       // 1: 48-tap filter, 2: two of its phases, 3: designed, 4: sample peak, 0: none yet
    int phaseCount = 0; // phases evaluated per sample (the interpolation factor), 0 for sample peak
    int taps = 0;       // taps per phase in use
    juce::uint32 activeMask = 0x3Fu; // until told otherwise the six channels of 5.1
    float blockPeak[numChannels];

private:
    void designFilter (int factor);

    // Inactive channels whose magnitudes in `buffer` are already all zero. Audio thread.
    juce::uint32 silentChannels = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TruePeakDetector)
};
