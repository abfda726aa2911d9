#pragma once

#include "standalone/CommandsListener.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class Tarn51AudioProcessor;

// The standalone program's main window. It owns the processor, the audio device manager
// that opens the audio device, the player that feeds the device's blocks to the processor,
// and the content component that shows the processor's editor.
//
// Construction restores the processor's state, opens the device with the saved device
// set-up, creates the editor and places the window where it was; the player is connected
// last, so that no block reaches the processor before all of that is done. Destruction
// disconnects the player, stores the window position, the device set-up and the processor's
// state in the settings, and deletes the settings last, which writes the file once per run.
//
// Settings keys: "filterState" (the processor's state, base64), "speakerLayout" (the meter's
// channel layout by name, "7.1.4"; absent in files from before the bigger layouts, which
// load as 5.1), "audioSetup" (the device manager's XML state, empty when it has none), "windowX", "windowY"
// (the client area's top-left corner on the screen), "windowFrameX", "windowFrameY" (the window manager's
// frame's, where the window system told it; absent otherwise).
class OSKAStandaloneFilterWindow : public juce::DocumentWindow,
                                   public juce::AsyncUpdater,
                                   public juce::Button::Listener
{
public:
    static constexpr int numChannels = 6; // the 5.1 layout
    static constexpr int noPosition = -100;
    static constexpr int dialogWidth = 615;
    static constexpr int dialogHeight = 610;

    // backgroundColour is not used: the window is always black. settings may be null; the
    // window owns it from here on.
    OSKAStandaloneFilterWindow (const juce::String& title, juce::Colour backgroundColour,
                                juce::PropertySet* settingsToUse);
    ~OSKAStandaloneFilterWindow() override;

    void resized() override;
    void closeButtonPressed() override;
    void handleAsyncUpdate() override;
    void buttonClicked (juce::Button*) override {}
    void buttonStateChanged (juce::Button*) override {}

    // Opens the "Audio Settings" dialog for the device manager and the processor's channel
    // assignment.
    virtual void openAudioSettings();

    // What the editor's Audio Settings button calls, with this window as its context.
    static void openAudioSettingsOf (void* window);

    Tarn51AudioProcessor* getProcessor() const noexcept { return processor.get(); }

    // The processor's layout and state from the settings, and back: what construction and
    // destruction do with them.
    static void restoreProcessor (Tarn51AudioProcessor& processor, const juce::PropertySet& settings);
    static void storeProcessor (Tarn51AudioProcessor& processor, juce::PropertySet& settings);
    juce::AudioDeviceManager* getDeviceManager() const noexcept { return deviceManager.get(); }
    CommandsListener* getCommandsListener() const noexcept { return content.get(); }

private:
    std::unique_ptr<juce::PropertySet> settings;
    std::unique_ptr<Tarn51AudioProcessor> processor;
    std::unique_ptr<juce::AudioDeviceManager> deviceManager;
    std::unique_ptr<CommandsListener> content;
    juce::AudioProcessorPlayer player;
    // The open Audio Settings dialog, which deletes itself when the user closes it; one still
    // open when the program ends goes before the device manager and the processor it uses.
    juce::Component::SafePointer<juce::DialogWindow> audioSettingsDialog;
    class PositionKeeper;
    std::unique_ptr<PositionKeeper> positionKeeper; // while the window manager frames the window

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OSKAStandaloneFilterWindow)
};
