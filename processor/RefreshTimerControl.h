#pragma once

// Implemented by the meter's editor so that the processor can start its refresh timer when
// audio starts (prepareToPlay) and stop it when audio stops (releaseResources). The processor
// finds the open editor through juce::AudioProcessor::getActiveEditor.
class RefreshTimerControl
{
public:
    virtual ~RefreshTimerControl() = default;

    virtual void startRefreshTimer (int intervalMilliseconds) = 0;
    virtual void stopRefreshTimer() = 0;
};
