#pragma once

#include "FakeDeviceType.h"

#include "processor/Tarn51AudioProcessor.h"
#include "standalone/OSKAAudioDeviceSelectorComponent.h"

#include <juce_audio_utils/juce_audio_utils.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

// Lets the message loop deliver what is pending: change messages of the device manager and
// the boxes' asynchronous notifications, which in turn may post more.
void settle();

// Collects what goes to juce::Logger::writeToLog while it exists.
class LogCatcher : public juce::Logger
{
public:
    LogCatcher();
    ~LogCatcher() override;

    void logMessage (const juce::String& message) override { lines.add (message); }

    juce::StringArray lines;
};

// An interface with numbered inputs and outputs ("PREFIX In 1", "PREFIX Out 1", ...).
FakeDeviceSpec numberedInterface (const juce::String& name, const juce::String& prefix, int channels);
// Devices used throughout: an eight-channel interface and a stereo one.
FakeDeviceSpec studioInterface();
FakeDeviceSpec stereoInterface();

// The audio settings dialog as the standalone window opens it: a device manager with the
// tests' own device types, opened the way the window opens it on a first run, a processor
// of the standalone build, and the selector component at the dialog's size. Warnings go to
// `warnings` instead of a message box.
struct DialogFixture
{
    explicit DialogFixture (std::vector<FakeDeviceSpec> devices = {studioInterface(), stereoInterface()},
                            juce::StringArray typeNames = {"Test"});
    ~DialogFixture();

    void openDialog();
    void closeDialog() { selector.reset(); }

    // Also connects a player, so that FakeDevice::runBlock reaches the processor.
    void connectPlayer();

    // The parts of the dialog and the current device; a missing one fails the test.
    AudioDeviceSettingsPanel& panel() const { return existing (selector->getSettingsPanel()); }
    AudioDeviceSettingsPanel::OSKAChannelSelectorDropBox& inputs() const
    {
        return existing (panel().getInputChannelSelector());
    }
    AudioDeviceSettingsPanel::OSKAChannelSelectorDropBox& outputs() const
    {
        return existing (panel().getOutputChannelSelector());
    }
    FakeDevice& device() const
    {
        return existing (dynamic_cast<FakeDevice*> (manager.getCurrentAudioDevice()));
    }

    template <typename T> static T& existing (T* object)
    {
        if (object == nullptr)
            throw std::runtime_error ("a component or device the test needs is missing");

        return *object;
    }

    // A user's choice in a box: the selection with its synchronous notification, then the
    // messages it causes.
    static void choose (juce::ComboBox& box, int itemId);
    static void chooseText (juce::ComboBox& box, const juce::String& text);

    struct Warning
    {
        juce::String title, message;
    };

    juce::AudioDeviceManager manager;
    std::unique_ptr<Tarn51AudioProcessor> processor;
    juce::AudioProcessorPlayer player;
    std::unique_ptr<OSKAAudioDeviceSelectorComponent> selector;
    std::vector<Warning> warnings;
    bool playerConnected = false;
};

// The first count entries of a channel map or layout (the six of 5.1 by default), for
// comparisons with a list.
template <typename T, size_t n> std::vector<int> entries (const T (&values)[n], size_t count = 6)
{
    std::vector<int> result;

    for (size_t i = 0; i < std::min (count, n); ++i)
        result.push_back ((int)values[i]);

    return result;
}
