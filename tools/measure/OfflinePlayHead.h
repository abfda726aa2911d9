#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

// A play head for measuring a file: always playing, positioned at the file's sample where
// the current block starts, so that the processor measures while "Follow Transport" is on
// and the maxima carry their time in the file.
class OfflinePlayHead : public juce::AudioPlayHead
{
public:
    explicit OfflinePlayHead (double sampleRate);

    void setPosition (juce::int64 samples) { position = samples; }

    juce::Optional<PositionInfo> getPosition() const override;

private:
    double sampleRate;
    juce::int64 position = 0;
};
