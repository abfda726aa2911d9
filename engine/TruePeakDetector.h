#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

// Per-block peak level of the six meter channels (L, R, C, LFE, Ls, Rs).
//
// At 44.1 and 48 kHz each sample is interpolated 4x with the 48-tap polyphase FIR of the
// true-peak measurement, at 88.2 and 96 kHz 2x (two of the four phases), and at 176.4 and
// 192 kHz the samples themselves are measured. Any other rate keeps the previous choice;
// before any listed rate has been set the detector measures sample peak.
//
// Use, all on the audio thread:
//   setSampleRate (rate)          prepare step; reloads the filter only when the rate changes
//   prepare (maximumBlockSize)    prepare step; sizes `buffer` so that process allocates nothing
//   copy up to maximumBlockSize samples of each channel into `buffer`, then process (numSamples)
//   read `blockPeak` (dB; a silent block gives -infinity)
//
// The delay lines are never cleared: the filter history runs on across blocks, prepare calls
// and rate changes.
class TruePeakDetector
{
public:
    static constexpr int numChannels = 6;
    static constexpr int numPhases = 4;
    static constexpr int tapsPerPhase = 12;

    TruePeakDetector();

    // Chooses mode and phase count for the rate and loads the coefficients; nothing happens
    // when the rate equals the current one.
    void setSampleRate (double rate);

    // Fills `coefficients` for the current mode.
    void loadCoefficients();

    // Gives `buffer` six channels of maximumBlockSize samples (cleared). The only operation
    // that allocates.
    void prepare (int maximumBlockSize);

    // Measures the first numSamples samples of each channel of `buffer`, leaves the per-sample
    // peak magnitudes in their place and the peak of each channel in `blockPeak`. numSamples
    // is limited to the buffer's length; a block of no samples reads as silence.
    void process (int numSamples);

    // The whole of `buffer`.
    void process() { process (buffer.getNumSamples()); }

    double sampleRate = 0.0;
    double delayLines[numChannels][tapsPerPhase]{}; // newest sample first
    double coefficients[numPhases][tapsPerPhase]{};
    juce::AudioSampleBuffer buffer;
    int mode = 0;       // 1: four phases, 2: two phases, 4: sample peak, 0: nothing chosen yet
    int phaseCount = 0; // phases evaluated per sample: 4, 2 or 0 (sample peak)
    float blockPeak[numChannels];

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TruePeakDetector)
};
