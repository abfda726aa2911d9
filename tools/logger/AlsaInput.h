#pragma once

#include "LiveInput.h"

#include <thread>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;

// An ALSA capture device read as interleaved floats on a capture thread of its own, which
// measures what it reads. A read error that recovery cannot mend marks the input lost.
class AlsaInput : public LiveInput
{
public:
    AlsaInput (const juce::String& device, int channels, double sampleRate);
    ~AlsaInput() override;

    juce::Result open (LiveMeter& meter, const InputLayout& layout, const MeasureOptions& options,
                       std::int64_t anchorMs) override;
    void close() override;
    juce::String description() const override;
    int numChannels() const override { return channels; }
    double sampleRate() const override { return rate; }

private:
    void capture();

    juce::String device;
    int channels;
    double rate;
    snd_pcm_t* pcm = nullptr;
    LiveMeter* target = nullptr;
    std::atomic<bool> stopping{false};
    std::thread thread;
    std::vector<float> interleaved, planar;
    std::vector<const float*> pointers;
};
