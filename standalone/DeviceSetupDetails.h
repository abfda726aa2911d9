#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

// What the audio settings dialog needs to know about the device manager it works on, copied
// by value into the settings panel and into each channel selector.
struct DeviceSetupDetails
{
    juce::AudioDeviceManager* manager = nullptr; // not owned
    int minInputChannels = 0;
    int maxInputChannels = 0;
    int minOutputChannels = 0;
    int maxOutputChannels = 0;
};
