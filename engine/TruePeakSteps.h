#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <cstdint>

// The largest true peak of each 100 ms step of the audio that enters the window queues, for the
// loudness history: the audio thread adds the true-peak detector's per-sample magnitudes block by
// block, before the same samples go into the queues; the loudness thread reads the peak of a
// step when it records the step's loudness. Steps are counted from the last time the queues
// were emptied (restart).
//
// The last `capacity` steps are kept, far more than the queues ever hold, so a step's peak is
// there when its loudness is evaluated. One writer (the audio thread), readers on any thread;
// relaxed atomics, nothing allocates.
class TruePeakSteps
{
public:
    static constexpr int capacity = 512;

    TruePeakSteps();

    // Samples per step (the momentary hop), and a restart. Not while audio runs.
    void prepare (int samplesPerStep) noexcept;

    // Step 0 starts with the next sample added. Audio thread.
    void restart() noexcept;

    // Adds samples [start, start + numSamples) of the channels of magnitudes (linear) in
    // channelMask (bit c for channel c); the others are taken as silence and not read. Audio
    // thread.
    void add (const juce::AudioSampleBuffer& magnitudes, int start, int numSamples,
              juce::uint32 channelMask = ~0u) noexcept;

    // The peak of a completed step in dB rounded to 0.1 (-infinity for silence); NaN for a step
    // not completed or no longer held.
    float peakOfStep (std::int64_t index) const noexcept;

private:
    void completeStep() noexcept;

    int stepLength = 0;
    int filled = 0;
    float running = 0.0f;
    std::atomic<std::int64_t> completed{0};
    std::atomic<float> peaks[capacity];

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TruePeakSteps)
};
