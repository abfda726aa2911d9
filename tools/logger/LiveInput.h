#pragma once

#include "LiveMeter.h"

#include <juce_core/juce_core.h>

#include <atomic>

// A device input the logger measures in its own audio callback or capture thread: JACK or
// ALSA. open() connects and starts feeding the meter, which it prepares; isLost() turns true
// when the server or the device goes away; close() stops the feed.
class LiveInput
{
public:
    virtual ~LiveInput() = default;

    // Prepares the meter for the input's rate and channels and starts measuring into it.
    virtual juce::Result open (LiveMeter& meter, const InputLayout& layout, const MeasureOptions& options,
                               std::int64_t anchorMs) = 0;
    virtual void close() = 0;
    bool isLost() const noexcept { return lost.load(); }
    virtual juce::String description() const = 0;
    virtual int numChannels() const = 0;
    virtual double sampleRate() const = 0;

protected:
    std::atomic<bool> lost{false};
};
