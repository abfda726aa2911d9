#pragma once

#include "standalone/AudioDeviceSettingsPanel.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class Tarn51AudioProcessor;

// The content of the standalone program's "Audio Settings" dialog: a box for the audio
// device type, shown only when the device manager offers more than one, and the settings
// panel of the current type, rebuilt whenever the type changes. Message thread only.
class OSKAAudioDeviceSelectorComponent : public juce::Component,
                                         public juce::ComboBox::Listener,
                                         public juce::ChangeListener
{
public:
    OSKAAudioDeviceSelectorComponent (juce::AudioDeviceManager& manager, int minInputChannels,
                                      int maxInputChannels, int minOutputChannels, int maxOutputChannels,
                                      Tarn51AudioProcessor* processor);
    ~OSKAAudioDeviceSelectorComponent() override;

    void resized() override;
    void childBoundsChanged (juce::Component* child) override;
    void comboBoxChanged (juce::ComboBox* box) override;
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

    // Builds the panel again when the manager's current type is not the one it shows.
    void rebuildPanel();

    juce::ComboBox* getDeviceTypeBox() const noexcept { return deviceTypeBox.get(); }
    juce::Label* getDeviceTypeLabel() const noexcept { return deviceTypeLabel.get(); }
    AudioDeviceSettingsPanel* getSettingsPanel() const noexcept { return settingsPanel.get(); }

private:
    juce::AudioDeviceManager& manager;
    std::unique_ptr<juce::ComboBox> deviceTypeBox;
    std::unique_ptr<juce::Label> deviceTypeLabel;
    std::unique_ptr<AudioDeviceSettingsPanel> settingsPanel;
    juce::String settingsPanelType;
    int minOutputChannels, maxOutputChannels, minInputChannels, maxInputChannels;
    Tarn51AudioProcessor* processor = nullptr;
    juce::Font labelFont;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OSKAAudioDeviceSelectorComponent)
};
