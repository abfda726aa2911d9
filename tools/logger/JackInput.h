#pragma once

#include "LiveInput.h"

#include <jack/jack.h>

#include <vector>

// A JACK client "tarn51-logger" with one input port per channel, connected to the given
// ports. Measures in JACK's process callback; the server going away marks the input lost.
class JackInput : public LiveInput
{
public:
    JackInput (int channels, const juce::StringArray& connect);
    ~JackInput() override;

    juce::Result open (LiveMeter& meter, const InputLayout& layout, const MeasureOptions& options,
                       std::int64_t anchorMs) override;
    void close() override;
    juce::String description() const override;
    int numChannels() const override { return (int)ports.size(); }
    double sampleRate() const override { return rate; }

private:
    static int process (jack_nframes_t frames, void* self);
    static void shutdown (void* self);

    juce::StringArray sources;
    jack_client_t* client = nullptr;
    std::vector<jack_port_t*> ports;
    std::vector<const float*> buffers;
    LiveMeter* target = nullptr;
    double rate = 0.0;
};
