#pragma once

#include "LiveFeed.h"
#include "StepQueue.h"

#include "InputLayout.h"
#include "MeasureOptions.h"
#include "MeterSetup.h"
#include "OfflinePlayHead.h"

#include "processor/Tarn51AudioProcessor.h"

#include <memory>
#include <vector>

// Measures a live input with the plug-in's processor and hands every completed 100 ms step,
// with its per-channel true peaks, to a StepQueue. process() is called on the audio side
// (a device callback, a stream reader): after prepare it neither allocates nor locks.
//
// The processor evaluates every window in process() itself (offline evaluation), so the steps
// are those of a file measurement of the same audio. A step's time is the anchor given to
// prepare plus its end in the input.
class LiveMeter
{
public:
    explicit LiveMeter (StepQueue& queue);
    ~LiveMeter();

    juce::Result prepare (double sampleRate, int numInputChannels, const InputLayout& layout,
                          const MeasureOptions& options, std::int64_t anchorMs);

    // Measures numSamples samples of each input channel. Audio side.
    void process (const float* const* channels, int numChannels, int numSamples) noexcept;

    // Steps also go to the feed (the web page's live view); null for none. Set before process.
    void setFeed (LiveFeed* liveFeed) noexcept { feed = liveFeed; }

    // Input samples measured since prepare.
    std::int64_t samplesMeasured() const noexcept { return position; }
    double sampleRate() const noexcept { return rate; }

private:
    void takeSteps() noexcept;

    StepQueue& steps;
    LiveFeed* feed = nullptr;
    std::unique_ptr<Tarn51AudioProcessor> processor;
    std::unique_ptr<OfflinePlayHead> playHead;
    juce::AudioBuffer<float> block;
    juce::MidiBuffer midi;
    std::vector<int> blockChannels;
    std::vector<LoudnessHistory::Step> newSteps;
    std::int64_t stepsTaken = 0;
    std::int64_t position = 0;
    std::int64_t anchor = 0;
    double rate = 0.0;
    int blockSize = 512;
    int hop = 4800;
    int peakChannels = 0;
    int width = MeterSetup::blockChannels; // the block's channels: the arrangement's
    int meterLayout = SpeakerLayout::surround51;

    // Per-channel peaks (linear) of the last steps, by step index; the history's steps lag
    // the audio by up to a window.
    static constexpr int peakRing = 64;
    float peaks[peakRing][StepRecord::maxChannels]{};
};
