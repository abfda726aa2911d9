#pragma once

#include "processor/Tarn51AudioProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>

// Helpers for driving a Tarn51AudioProcessor the way a host does: a play head the test
// moves, and a loop that hands a programme to processBlock in blocks.
namespace ProcessorDriver
{
constexpr double rate = 48000.0;
constexpr int blockSize = 512;

// A host transport: playing or not, its position advanced by the driver after every block.
class FakePlayHead : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override
    {
        if (!available)
            return {};

        return info;
    }

    void setPlaying (bool playing) { info.setIsPlaying (playing); }

    void moveTo (juce::int64 sample, double sampleRate)
    {
        info.setTimeInSamples (sample);
        info.setTimeInSeconds ((double)sample / sampleRate);
    }

    // A playing host moves on by the block; a stopped one stays where it is.
    void advance (int numSamples, double sampleRate)
    {
        if (info.getIsPlaying())
            moveTo (info.getTimeInSamples().orFallback (0) + numSamples, sampleRate);
    }

    PositionInfo info;
    bool available = true;
};

// Sets a parameter in its own units (through the host's normalised interface).
void setValue (Tarn51AudioProcessor& processor, const char* name, float value);

// Follow Transport off and the play button pressed: every block is measured.
void runManually (Tarn51AudioProcessor& processor);

// Hands `programme` (six channels in the meter order, or as many as the processor has inputs)
// to processBlock in blocks of blockSize samples; the play head, if any, advances after each
// block. afterBlock, if given, runs after every block with the index of its first sample.
void process (Tarn51AudioProcessor& processor, const juce::AudioSampleBuffer& programme,
              int blockSize = blockSize, FakePlayHead* head = nullptr,
              const std::function<void (int)>& afterBlock = {});

// One block of silence of the given length with the processor's channel count.
void processSilence (Tarn51AudioProcessor& processor, int numSamples, FakePlayHead* head = nullptr);

// The real-time path with the loudness thread, made deterministic: whenever a block
// completes a window, the thread is asked to evaluate it at once, the driver waits until it
// has, and the next block is processed before the thread may run again (so that it sees the
// new-value flags, as it would in real time, where the next time slice is 50 ms away).
void processWithLoudnessThread (Tarn51AudioProcessor& processor, const juce::AudioSampleBuffer& programme,
                                int blockSize = blockSize, FakePlayHead* head = nullptr);

// Sum of all counts of a histogram.
float totalCount (const LoudnessHistogram& histogram);
} // namespace ProcessorDriver
