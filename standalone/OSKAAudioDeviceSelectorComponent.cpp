#include "standalone/OSKAAudioDeviceSelectorComponent.h"

OSKAAudioDeviceSelectorComponent::OSKAAudioDeviceSelectorComponent (juce::AudioDeviceManager& deviceManager,
                                                                    int minInputs, int maxInputs,
                                                                    int minOutputs, int maxOutputs,
                                                                    Tarn51AudioProcessor* processorToUse)
    : manager (deviceManager), minOutputChannels (minOutputs), maxOutputChannels (maxOutputs),
      minInputChannels (minInputs), maxInputChannels (maxInputs)
{
    const auto& types = manager.getAvailableDeviceTypes();

    if (types.size() > 1)
    {
        deviceTypeBox = std::make_unique<juce::ComboBox>();

        for (int i = 0; i < types.size(); ++i)
            deviceTypeBox->addItem (types.getUnchecked (i)->getTypeName(), i + 1);

        addAndMakeVisible (*deviceTypeBox);
        deviceTypeBox->addListener (this);

        deviceTypeLabel = std::make_unique<juce::Label> (juce::String(), "Audio device type:");
        deviceTypeLabel->setFont (labelFont);
        deviceTypeLabel->setJustificationType (juce::Justification::centredRight);
        deviceTypeLabel->attachToComponent (deviceTypeBox.get(), true);
    }

    manager.addChangeListener (this);

    if (processorToUse != nullptr)
        processor = processorToUse;

    rebuildPanel();
}

OSKAAudioDeviceSelectorComponent::~OSKAAudioDeviceSelectorComponent()
{
    manager.removeChangeListener (this);
}

void OSKAAudioDeviceSelectorComponent::resized()
{
    const auto width = getWidth();
    auto y = 15;

    if (deviceTypeBox != nullptr)
    {
        deviceTypeBox->setBounds (juce::roundToInt (width * 0.35), 15, juce::roundToInt (width * 0.3), 24);
        y = 57;
    }

    if (settingsPanel != nullptr)
        settingsPanel->setBounds (0, y, width, settingsPanel->getHeight());
}

void OSKAAudioDeviceSelectorComponent::childBoundsChanged (juce::Component* child)
{
    if (child == settingsPanel.get())
        resized();
}

void OSKAAudioDeviceSelectorComponent::changeListenerCallback (juce::ChangeBroadcaster*)
{
    rebuildPanel();
}

void OSKAAudioDeviceSelectorComponent::comboBoxChanged (juce::ComboBox* box)
{
    if (box != deviceTypeBox.get() || box == nullptr)
        return;

    if (auto* type = manager.getAvailableDeviceTypes()[box->getSelectedId() - 1])
    {
        settingsPanel.reset();
        manager.setCurrentAudioDeviceType (type->getTypeName(), true);
        rebuildPanel();
    }
}

void OSKAAudioDeviceSelectorComponent::rebuildPanel()
{
    const auto currentType = manager.getCurrentAudioDeviceType();

    if (deviceTypeBox != nullptr)
        deviceTypeBox->setText (currentType, juce::dontSendNotification);

    if (settingsPanel == nullptr || settingsPanelType != currentType)
    {
        settingsPanelType = currentType;
        settingsPanel.reset();

        const auto index = deviceTypeBox != nullptr ? deviceTypeBox->getSelectedId() - 1 : 0;

        if (auto* type = manager.getAvailableDeviceTypes()[index])
        {
            const DeviceSetupDetails details{&manager, minInputChannels, maxInputChannels, minOutputChannels,
                                             maxOutputChannels};
            settingsPanel = std::make_unique<AudioDeviceSettingsPanel> (*type, details, processor, labelFont);
            addAndMakeVisible (*settingsPanel);
            settingsPanel->resized();
        }
    }

    resized();
}
