#include "DialogFixture.h"

#include <gtest/gtest.h>

void settle()
{
    for (int i = 0; i < 5; ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
}

LogCatcher::LogCatcher()
{
    juce::Logger::setCurrentLogger (this);
}

LogCatcher::~LogCatcher()
{
    juce::Logger::setCurrentLogger (nullptr);
}

FakeDeviceSpec numberedInterface (const juce::String& name, const juce::String& prefix, int channels)
{
    FakeDeviceSpec spec;
    spec.name = name;

    for (int i = 1; i <= channels; ++i)
    {
        spec.inputs.add (prefix + "In " + juce::String (i));
        spec.outputs.add (prefix + "Out " + juce::String (i));
    }

    return spec;
}

FakeDeviceSpec studioInterface()
{
    return numberedInterface ("Studio", "Analog ", 8);
}

FakeDeviceSpec stereoInterface()
{
    FakeDeviceSpec spec;
    spec.name = "USB Duo";
    spec.inputs = {"In 1", "In 2"};
    spec.outputs = {"Out 1", "Out 2"};
    return spec;
}

DialogFixture::DialogFixture (std::vector<FakeDeviceSpec> devices, juce::StringArray typeNames)
{
    for (auto& name : typeNames)
        manager.addAudioDeviceType (std::make_unique<FakeDeviceType> (name, devices));

    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Standalone);
    processor = std::make_unique<Tarn51AudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    processor->setPlayConfigDetails (6, 6, 44100.0, 512);

    // A settings file without a saved device set-up: the manager's default device.
    manager.initialise (6, 6, nullptr, false);

    AudioDeviceSettingsPanel::setWarningFunction (
        [this] (const juce::String& title, const juce::String& message) {
            warnings.push_back ({title, message});
        });
}

DialogFixture::~DialogFixture()
{
    selector.reset();
    AudioDeviceSettingsPanel::setWarningFunction (nullptr);

    if (playerConnected)
        manager.removeAudioCallback (&player);

    player.setProcessor (nullptr);
    manager.closeAudioDevice();
}

void DialogFixture::openDialog()
{
    selector = std::make_unique<OSKAAudioDeviceSelectorComponent> (manager, 6, 6, 6, 6, processor.get());
    selector->setSize (615, 610);
    settle();
}

void DialogFixture::connectPlayer()
{
    manager.addAudioCallback (&player);
    player.setProcessor (processor.get());
    playerConnected = true;
}

void DialogFixture::choose (juce::ComboBox& box, int itemId)
{
    box.setSelectedId (itemId, juce::sendNotificationSync);
    settle();
}

void DialogFixture::chooseText (juce::ComboBox& box, const juce::String& text)
{
    for (int i = 0; i < box.getNumItems(); ++i)
        if (box.getItemText (i) == text)
            return choose (box, box.getItemId (i));

    ADD_FAILURE() << "no item " << text;
}
