#pragma once

#include "editor/TarnxLookAndFeel.h"
#include "engine/SpeakerLayout.h"
#include "standalone/DeviceSetupDetails.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>

class Tarn51AudioProcessor;

// The settings of one audio device type in the audio settings dialog: output and input
// device, sample rate and buffer size, the meter's channel layout (5.1 to 7.1.4), and the two
// channel selectors that assign device channels to the meter channels of that layout (L, R, C,
// LFE, Ls, Rs in 5.1) for input and for output.
//
// Every change goes to the device manager at once; there is no OK or Cancel. The assignment
// itself is kept in the processor (its layout settings and channel maps), so that it is saved
// with the processor's state and shows again when the dialog is reopened. Message thread only.
class AudioDeviceSettingsPanel : public juce::Component,
                                 public juce::ChangeListener,
                                 public juce::ComboBox::Listener,
                                 public juce::Button::Listener
{
public:
    // One box per meter channel of the processor's layout (six without a processor), each
    // offering the device's channels of one direction and "<< none >>". A device channel
    // chosen in one row cannot be chosen in the others. The boxes of the other channels, up to
    // twelve, are hidden and name no channel.
    class OSKAChannelSelectorDropBox : public juce::Component, public juce::ComboBox::Listener
    {
    public:
        static constexpr int numMeterChannels = SpeakerLayout::maxChannels;
        static constexpr int noneItemId = -1;

        enum Direction
        {
            input = 0,
            output = 1
        };

        OSKAChannelSelectorDropBox (const DeviceSetupDetails& setup, int direction,
                                    Tarn51AudioProcessor* processor, const juce::Font& labelFont);
        ~OSKAChannelSelectorDropBox() override;

        void comboBoxChanged (juce::ComboBox* box) override;

        // Shows one row per channel of the processor's layout, fills the rows with the current
        // device's channels and selects the processor's assignment; each row then reports its selection
        // asynchronously, which applies the assignment to the processor and the device.
        void refreshChannels();

        // Rows shown: the channels of the layout.
        int getNumRows() const noexcept { return numRows; }

        // The height the rows take.
        static int heightFor (int rows);

        // Switches on exactly the device channels the rows name.
        void applyChannelsToDevice();

        // The device channel of each meter channel as the rows show it, -1 for none.
        const int (&getSelectedChannels() const noexcept)[numMeterChannels] { return selectedChannels; }

        juce::ComboBox& getChannelBox (int meterChannel) { return *channelBoxes[(size_t)meterChannel]; }
        juce::Label& getChannelLabel (int meterChannel) { return *channelLabels[(size_t)meterChannel]; }

    private:
        void layoutRows();

        DeviceSetupDetails setup;
        int direction;
        TarnxLookAndFeel lookAndFeel; // before the boxes, which use it until they go
        std::array<std::unique_ptr<juce::ComboBox>, numMeterChannels> channelBoxes;
        juce::StringArray channelNames;
        std::array<std::unique_ptr<juce::Label>, numMeterChannels> channelLabels;
        int selectedChannels[numMeterChannels] = {0, 1, 2, 3, 4, 5, -1, -1, -1, -1, -1, -1};
        int numRows = 6;
        Tarn51AudioProcessor* processor = nullptr;
        juce::Font labelFont;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OSKAChannelSelectorDropBox)
    };

    AudioDeviceSettingsPanel (juce::AudioIODeviceType& deviceType, const DeviceSetupDetails& setup,
                              Tarn51AudioProcessor* processor, const juce::Font& labelFont);
    ~AudioDeviceSettingsPanel() override;

    void resized() override;
    void comboBoxChanged (juce::ComboBox* box) override;
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void buttonClicked (juce::Button*) override {}
    void buttonStateChanged (juce::Button*) override {}

    void rebuildControls();
    void rebuildOutputDeviceBox();
    void rebuildInputDeviceBox();
    void rebuildSampleRateBox (juce::AudioIODevice& device);
    void rebuildBufferSizeBox (juce::AudioIODevice& device);
    void fillDeviceList (juce::ComboBox& box, bool isInput);
    void selectCurrentDevice (juce::ComboBox* box, bool isInput);

    // The look every box of the dialog's panel and channel selectors gets.
    static void styleBox (juce::ComboBox& box, juce::LookAndFeel& lookAndFeel);
    static void styleLabel (juce::Label& label, juce::Component& box);

    static inline const juce::Colour boxBackgroundColour{0xFFD8D8D8};
    static inline const juce::Colour boxOutlineColour{0xFF3E454D};
    static inline const juce::Colour boxButtonColour{0xFF3E454D};
    static inline const juce::Colour boxArrowColour{0xFF3A93DD};

    // How a rejected device set-up is shown to the user; the default is an asynchronous
    // warning box. Process-wide, so that tests can see the warning without a display.
    using WarningFunction = std::function<void (const juce::String& title, const juce::String& message)>;
    static void setWarningFunction (WarningFunction function);
    static void showWarning (const juce::String& title, const juce::String& message);

    static inline const juce::String deviceErrorTitle{"Error when trying to open audio device!"};

    // Components, for the dialog's owner and the tests; each may be null.
    juce::ComboBox* getOutputDeviceBox() const noexcept { return outputDeviceBox.get(); }
    juce::ComboBox* getInputDeviceBox() const noexcept { return inputDeviceBox.get(); }
    juce::ComboBox* getSampleRateBox() const noexcept { return sampleRateBox.get(); }
    juce::ComboBox* getBufferSizeBox() const noexcept { return bufferSizeBox.get(); }
    juce::Label* getOutputDeviceLabel() const noexcept { return outputDeviceLabel.get(); }
    // The layout choice: item id = SpeakerLayout id + 1. Only with a processor.
    juce::ComboBox* getLayoutBox() const noexcept { return layoutBox.get(); }
    OSKAChannelSelectorDropBox* getInputChannelSelector() const noexcept
    {
        return inputChannelSelector.get();
    }
    OSKAChannelSelectorDropBox* getOutputChannelSelector() const noexcept
    {
        return outputChannelSelector.get();
    }

private:
    std::unique_ptr<juce::ComboBox> createBox();
    void rebuildLayoutBox();
    // The processor's layout is now layoutId: the rows follow it on both sides.
    void chooseLayout (int layoutId);

    juce::AudioIODeviceType& deviceType;
    DeviceSetupDetails setup;
    Tarn51AudioProcessor* processor = nullptr;
    TarnxLookAndFeel lookAndFeel; // before the boxes, which use it until they go
    std::unique_ptr<juce::ComboBox> outputDeviceBox, inputDeviceBox, sampleRateBox, bufferSizeBox, layoutBox;
    std::unique_ptr<juce::Label> outputDeviceLabel, inputDeviceLabel, sampleRateLabel, bufferSizeLabel,
        layoutLabel;
    juce::Font labelFont;
    std::unique_ptr<OSKAChannelSelectorDropBox> inputChannelSelector;
    std::unique_ptr<OSKAChannelSelectorDropBox> outputChannelSelector;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioDeviceSettingsPanel)
};
