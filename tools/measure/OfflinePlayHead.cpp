#include "OfflinePlayHead.h"

OfflinePlayHead::OfflinePlayHead (double rate) : sampleRate (rate) {}

juce::Optional<juce::AudioPlayHead::PositionInfo> OfflinePlayHead::getPosition() const
{
    PositionInfo info;
    info.setIsPlaying (true);
    info.setTimeInSamples (position);
    info.setTimeInSeconds (static_cast<double> (position) / sampleRate);
    return info;
}
