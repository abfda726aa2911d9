#include "standalone/AudioDeviceSettingsPanel.h"

#include "processor/Tarn51AudioProcessor.h"

namespace
{
constexpr int boxHeight = 24;
constexpr int rowSpacing = 30;
constexpr int channelSelectorHeight = 240; // six rows, and room below them
constexpr double fallbackSampleRate = 48000.0;

AudioDeviceSettingsPanel::WarningFunction& warningFunction()
{
    static AudioDeviceSettingsPanel::WarningFunction function;
    return function;
}

int proportionOf (int length, double proportion)
{
    return juce::roundToInt (length * proportion);
}
} // namespace

//==============================================================================
void AudioDeviceSettingsPanel::styleBox (juce::ComboBox& box, juce::LookAndFeel& lookAndFeel)
{
    box.setLookAndFeel (&lookAndFeel);
    box.setColour (juce::ComboBox::backgroundColourId, boxBackgroundColour);
    box.setColour (juce::ComboBox::outlineColourId, boxOutlineColour);
    box.setColour (juce::ComboBox::buttonColourId, boxButtonColour);
    box.setColour (juce::ComboBox::arrowColourId, boxArrowColour);
}

void AudioDeviceSettingsPanel::styleLabel (juce::Label& label, juce::Component& box)
{
    label.setColour (juce::Label::textColourId, juce::Colours::white);
    label.attachToComponent (&box, true);
}

void AudioDeviceSettingsPanel::setWarningFunction (WarningFunction function)
{
    warningFunction() = std::move (function);
}

void AudioDeviceSettingsPanel::showWarning (const juce::String& title, const juce::String& message)
{
    if (auto& function = warningFunction())
        function (title, message);
    else
        juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, title, message);
}

//==============================================================================
AudioDeviceSettingsPanel::AudioDeviceSettingsPanel (juce::AudioIODeviceType& type,
                                                    const DeviceSetupDetails& details,
                                                    Tarn51AudioProcessor* processorToUse,
                                                    const juce::Font& font)
    : deviceType (type), setup (details), processor (processorToUse), labelFont (font)
{
    deviceType.scanForDevices();
    setup.manager->addChangeListener (this);
    rebuildControls();
}

AudioDeviceSettingsPanel::~AudioDeviceSettingsPanel()
{
    setup.manager->removeChangeListener (this);
}

std::unique_ptr<juce::ComboBox> AudioDeviceSettingsPanel::createBox()
{
    auto box = std::make_unique<juce::ComboBox>();
    styleBox (*box, lookAndFeel);
    addAndMakeVisible (*box);
    return box;
}

void AudioDeviceSettingsPanel::changeListenerCallback (juce::ChangeBroadcaster*)
{
    rebuildControls();
}

void AudioDeviceSettingsPanel::rebuildControls()
{
    rebuildOutputDeviceBox();
    rebuildInputDeviceBox();
    rebuildLayoutBox();

    if (auto* device = setup.manager->getCurrentAudioDevice())
    {
        if (outputChannelSelector == nullptr)
        {
            outputChannelSelector = std::make_unique<OSKAChannelSelectorDropBox> (
                setup, OSKAChannelSelectorDropBox::output, processor, labelFont);
            addAndMakeVisible (*outputChannelSelector);
        }

        outputChannelSelector->refreshChannels();

        if (inputChannelSelector == nullptr)
        {
            inputChannelSelector = std::make_unique<OSKAChannelSelectorDropBox> (
                setup, OSKAChannelSelectorDropBox::input, processor, labelFont);
            addAndMakeVisible (*inputChannelSelector);
        }

        inputChannelSelector->refreshChannels();

        rebuildSampleRateBox (*device);
        rebuildBufferSizeBox (*device);
    }
    else
    {
        sampleRateLabel.reset();
        bufferSizeLabel.reset();
        sampleRateBox.reset();
        bufferSizeBox.reset();

        if (outputDeviceBox != nullptr)
            outputDeviceBox->setSelectedId (-1, juce::dontSendNotification);

        if (inputDeviceBox != nullptr)
            inputDeviceBox->setSelectedId (-1, juce::dontSendNotification);
    }

    resized();

    int bottom = 0;

    for (auto* child : getChildren())
        bottom = juce::jmax (bottom, child->getBottom());

    setSize (getWidth(), bottom + 4);
}

void AudioDeviceSettingsPanel::rebuildOutputDeviceBox()
{
    if (outputDeviceBox == nullptr)
    {
        outputDeviceBox = createBox();
        outputDeviceBox->addListener (this);

        outputDeviceLabel = std::make_unique<juce::Label> (
            juce::String(), deviceType.hasSeparateInputsAndOutputs() ? "Output:" : "Device:");
        outputDeviceLabel->setFont (juce::Font (14.0f));
        styleLabel (*outputDeviceLabel, *outputDeviceBox);
    }

    fillDeviceList (*outputDeviceBox, false);
    selectCurrentDevice (outputDeviceBox.get(), false);
}

void AudioDeviceSettingsPanel::rebuildInputDeviceBox()
{
    if (setup.maxInputChannels > 0 && deviceType.hasSeparateInputsAndOutputs())
    {
        if (inputDeviceBox == nullptr)
        {
            inputDeviceBox = createBox();
            inputDeviceBox->addListener (this);

            inputDeviceLabel = std::make_unique<juce::Label> (juce::String(), "Input:");
            styleLabel (*inputDeviceLabel, *inputDeviceBox);
        }

        fillDeviceList (*inputDeviceBox, true);
    }

    selectCurrentDevice (inputDeviceBox.get(), true);
}

void AudioDeviceSettingsPanel::rebuildLayoutBox()
{
    if (processor == nullptr)
        return;

    if (layoutBox == nullptr)
    {
        layoutBox = createBox();

        for (int id = 0; id < SpeakerLayout::numLayouts; ++id)
            layoutBox->addItem (SpeakerLayout::get (id).name, id + 1);

        layoutBox->addListener (this);
        layoutLabel = std::make_unique<juce::Label> (juce::String(), "Layout:");
        styleLabel (*layoutLabel, *layoutBox);
    }

    layoutBox->setSelectedId (processor->getMeterLayout() + 1, juce::dontSendNotification);
}

void AudioDeviceSettingsPanel::chooseLayout (int layoutId)
{
    const auto previousRows = SpeakerLayout::get (processor->getMeterLayout()).numChannels;
    processor->setMeterLayout (layoutId);
    const auto rows = SpeakerLayout::get (layoutId).numChannels;
    auto* device = setup.manager->getCurrentAudioDevice();

    // The rows that stay keep their channels, the rows that go name none, and each new row
    // takes the device channel of its own number when the device has it and no row uses it.
    for (auto direction : {OSKAChannelSelectorDropBox::input, OSKAChannelSelectorDropBox::output})
    {
        const bool isInput = direction == OSKAChannelSelectorDropBox::input;
        const auto& setting = isInput ? processor->inputLayoutSetting : processor->outputLayoutSetting;
        const auto available =
            device == nullptr
                ? 0
                : (isInput ? device->getInputChannelNames() : device->getOutputChannelNames()).size();
        int entries[SpeakerLayout::maxChannels];

        for (int i = 0; i < SpeakerLayout::maxChannels; ++i)
            entries[i] = i < juce::jmin (previousRows, rows) ? (int)setting[i] : -1;

        for (int i = previousRows; i < rows; ++i)
        {
            const bool used = std::find (std::begin (entries), std::end (entries), i) != std::end (entries);
            entries[i] = i < available && !used ? i : -1;
        }

        if (isInput)
            processor->applyInputLayout (entries);
        else
            processor->applyOutputLayout (entries);
    }

    rebuildControls();
}

void AudioDeviceSettingsPanel::fillDeviceList (juce::ComboBox& box, bool isInput)
{
    box.clear (juce::dontSendNotification);
    box.addItemList (deviceType.getDeviceNames (isInput), 1);
}

void AudioDeviceSettingsPanel::selectCurrentDevice (juce::ComboBox* box, bool isInput)
{
    if (box != nullptr)
        box->setSelectedId (deviceType.getIndexOfDevice (setup.manager->getCurrentAudioDevice(), isInput) + 1,
                            juce::dontSendNotification);
}

void AudioDeviceSettingsPanel::rebuildSampleRateBox (juce::AudioIODevice& device)
{
    if (sampleRateBox == nullptr)
    {
        sampleRateBox = createBox();
        sampleRateLabel = std::make_unique<juce::Label> (juce::String(), "Sample rate:");
        styleLabel (*sampleRateLabel, *sampleRateBox);
    }
    else
    {
        sampleRateBox->clear (juce::dontSendNotification);
        sampleRateBox->removeListener (this);
    }

    for (auto rate : device.getAvailableSampleRates())
    {
        const auto id = juce::roundToInt (rate);

        // A box item needs a non-zero ID; a device listing a rate of 0 gets no item for it.
        if (id != 0)
            sampleRateBox->addItem (juce::String (id) + " Hz", id);
    }

    sampleRateBox->setSelectedId (juce::roundToInt (device.getCurrentSampleRate()),
                                  juce::dontSendNotification);
    sampleRateBox->addListener (this);
}

void AudioDeviceSettingsPanel::rebuildBufferSizeBox (juce::AudioIODevice& device)
{
    if (bufferSizeBox == nullptr)
    {
        bufferSizeBox = createBox();
        bufferSizeLabel = std::make_unique<juce::Label> (juce::String(), "Audio buffer size:");
        styleLabel (*bufferSizeLabel, *bufferSizeBox);
    }
    else
    {
        bufferSizeBox->clear (juce::dontSendNotification);
        bufferSizeBox->removeListener (this);
    }

    auto rate = device.getCurrentSampleRate();

    if (rate == 0.0)
        rate = fallbackSampleRate;

    for (auto size : device.getAvailableBufferSizes())
        if (size != 0)
            bufferSizeBox->addItem (
                juce::String (size) + " samples (" + juce::String (size * 1000.0 / rate, 1) + " ms)", size);

    bufferSizeBox->setSelectedId (device.getCurrentBufferSizeSamples(), juce::dontSendNotification);
    bufferSizeBox->addListener (this);
}

void AudioDeviceSettingsPanel::resized()
{
    const auto width = getWidth();
    const auto lx = proportionOf (width, 0.17);
    const auto cw = proportionOf (width, 0.33);
    const auto rx = proportionOf (width, 0.6);
    const auto ix = proportionOf (width, 0.08);
    const auto ox = proportionOf (width, 0.51);

    if (inputDeviceBox != nullptr)
        inputDeviceBox->setBounds (lx, 0, cw, boxHeight);

    auto y = rowSpacing;

    if (outputDeviceBox != nullptr)
        outputDeviceBox->setBounds (rx, 0, cw, boxHeight);

    if (layoutBox != nullptr)
        layoutBox->setBounds (rx, rowSpacing, cw, boxHeight);

    if (sampleRateBox != nullptr)
    {
        sampleRateBox->setBounds (lx, y, cw, boxHeight);
        y += rowSpacing;
    }

    if (bufferSizeBox != nullptr)
    {
        bufferSizeBox->setBounds (lx, y, cw, boxHeight);
        y += rowSpacing;
    }

    if (inputChannelSelector != nullptr)
        inputChannelSelector->setBounds (
            ix, y, 2 * cw, OSKAChannelSelectorDropBox::heightFor (inputChannelSelector->getNumRows()));

    if (outputChannelSelector != nullptr)
        outputChannelSelector->setBounds (
            ox, y, 2 * cw, OSKAChannelSelectorDropBox::heightFor (outputChannelSelector->getNumRows()));
}

void AudioDeviceSettingsPanel::comboBoxChanged (juce::ComboBox* box)
{
    if (box == nullptr)
        return;

    if (box == layoutBox.get())
    {
        if (box->getSelectedId() > 0)
            chooseLayout (box->getSelectedId() - 1);

        return;
    }

    auto& manager = *setup.manager;
    auto config = manager.getAudioDeviceSetup();
    juce::String error;

    if (box == outputDeviceBox.get() || box == inputDeviceBox.get())
    {
        if (outputDeviceBox != nullptr)
            config.outputDeviceName =
                outputDeviceBox->getSelectedId() < 0 ? juce::String() : outputDeviceBox->getText();

        if (inputDeviceBox != nullptr)
            config.inputDeviceName =
                inputDeviceBox->getSelectedId() < 0 ? juce::String() : inputDeviceBox->getText();

        if (!deviceType.hasSeparateInputsAndOutputs())
            config.inputDeviceName = config.outputDeviceName;

        const auto inputChanged = box == inputDeviceBox.get();

        if (inputChanged)
            config.useDefaultInputChannels = true;
        else
            config.useDefaultOutputChannels = true;

        error = manager.setAudioDeviceSetup (config, true);

        selectCurrentDevice (inputDeviceBox.get(), true);
        selectCurrentDevice (outputDeviceBox.get(), false);

        // Another device: its channels start again as 0 to 5 for the meter's six channels (0
        // to 11 for twelve); the refresh that the device manager's change message brings
        // applies them to it.
        if (processor != nullptr)
        {
            const auto rows = SpeakerLayout::get (processor->getMeterLayout()).numChannels;
            int entries[SpeakerLayout::maxChannels];

            for (int i = 0; i < SpeakerLayout::maxChannels; ++i)
                entries[i] = i < rows ? i : -1;

            if (inputChanged)
                processor->applyInputLayout (entries);
            else
                processor->applyOutputLayout (entries);
        }

        resized();
    }

    if (box == sampleRateBox.get() && sampleRateBox->getSelectedId() > 0)
    {
        config.sampleRate = sampleRateBox->getSelectedId();
        error = manager.setAudioDeviceSetup (config, true);
    }

    if (box == bufferSizeBox.get() && bufferSizeBox->getSelectedId() > 0)
    {
        config.bufferSize = bufferSizeBox->getSelectedId();
        error = manager.setAudioDeviceSetup (config, true);
    }

    if (error.isNotEmpty())
        showWarning (deviceErrorTitle, error);
}

//==============================================================================
using ChannelSelector = AudioDeviceSettingsPanel::OSKAChannelSelectorDropBox;

ChannelSelector::OSKAChannelSelectorDropBox (const DeviceSetupDetails& details, int directionToUse,
                                             Tarn51AudioProcessor* processorToUse, const juce::Font& font)
    : setup (details), direction (directionToUse), labelFont (font)
{
    for (size_t i = 0; i < numMeterChannels; ++i)
    {
        channelBoxes[i] = std::make_unique<juce::ComboBox>();
        channelBoxes[i]->addListener (this);
        addAndMakeVisible (*channelBoxes[i]);

        channelLabels[i] = std::make_unique<juce::Label>();
        styleLabel (*channelLabels[i], *channelBoxes[i]);
        channelLabels[i]->setVisible (true);
    }

    for (auto& box : channelBoxes)
        styleBox (*box, lookAndFeel);

    if (processorToUse != nullptr)
        processor = processorToUse;

    refreshChannels();
    layoutRows();
}

ChannelSelector::~OSKAChannelSelectorDropBox() = default;

int ChannelSelector::heightFor (int rows)
{
    return juce::jmax (channelSelectorHeight, rows * rowSpacing);
}

void ChannelSelector::refreshChannels()
{
    channelNames.clear();

    for (auto& box : channelBoxes)
    {
        box->removeListener (this);
        box->clear (juce::dontSendNotification);
        box->addListener (this);
    }

    if (auto* device = setup.manager->getCurrentAudioDevice())
        channelNames = direction == input ? device->getInputChannelNames() : device->getOutputChannelNames();

    const auto& layout = SpeakerLayout::get (processor != nullptr ? processor->getMeterLayout() : 0);
    numRows = layout.numChannels;

    if (processor != nullptr)
    {
        const auto& setting =
            direction == input ? processor->inputLayoutSetting : processor->outputLayoutSetting;

        for (int i = 0; i < numMeterChannels; ++i)
            selectedChannels[i] = i < numRows ? (int)setting[i] : -1;
    }

    for (int i = 0; i < numMeterChannels; ++i)
    {
        auto& box = *channelBoxes[(size_t)i];
        auto& label = *channelLabels[(size_t)i];
        const bool shown = i < numRows;
        box.setVisible (shown);
        label.setVisible (shown);
        // The 5.1 rows keep their capitals ("LS").
        label.setText (shown ? juce::String (layout.speakers[i].label) : juce::String(),
                       juce::dontSendNotification);
        if (layout.id == SpeakerLayout::surround51)
            label.setText (label.getText().toUpperCase(), juce::dontSendNotification);

        box.addItemList (channelNames, 1);
        box.addItem (juce::String ("<< ") + "none" + " >>", noneItemId);

        // Asynchronous, so that every row reports once the message loop gets to it, after the
        // panel has given this selector its size. Hidden rows name no channel, at once.
        if (!shown)
        {
            box.setSelectedId (noneItemId, juce::dontSendNotification);
            continue;
        }

        box.setSelectedId (selectedChannels[i] == -1 ? noneItemId : selectedChannels[i] + 1,
                           juce::sendNotificationAsync);
    }

    layoutRows();
}

void ChannelSelector::comboBoxChanged (juce::ComboBox* box)
{
    const auto isRow = std::any_of (channelBoxes.begin(), channelBoxes.end(),
                                    [box] (const auto& row) { return row.get() == box; });

    if (isRow)
    {
        for (int i = 0; i < numMeterChannels; ++i)
        {
            const auto id = channelBoxes[(size_t)i]->getSelectedId();
            // An ID that names no item (a channel the device lacks) reads as 0: no channel.
            selectedChannels[i] = id == noneItemId ? -1 : id - 1;
        }

        for (auto& row : channelBoxes)
            for (int id = 1; id <= box->getNumItems(); ++id)
                row->setItemEnabled (id, true);
    }

    for (int i = 0; i < numMeterChannels; ++i)
    {
        if (selectedChannels[i] == -1)
            continue;

        for (int j = 0; j < numMeterChannels; ++j)
            if (j != i)
                channelBoxes[(size_t)j]->setItemEnabled (selectedChannels[i] + 1, false);
    }

    if (processor != nullptr)
    {
        if (direction == input)
            processor->applyInputLayout (selectedChannels);
        else
            processor->applyOutputLayout (selectedChannels);
    }

    applyChannelsToDevice();
    layoutRows();
}

void ChannelSelector::applyChannelsToDevice()
{
    auto deviceSetup = setup.manager->getAudioDeviceSetup();
    auto& channels = direction == input ? deviceSetup.inputChannels : deviceSetup.outputChannels;

    channels.clear();

    if (direction == input)
        deviceSetup.useDefaultInputChannels = false;
    else
        deviceSetup.useDefaultOutputChannels = false;

    for (auto channel : selectedChannels)
        if (channel != -1)
            channels.setBit (channel);

    const auto error = setup.manager->setAudioDeviceSetup (deviceSetup, true);

    if (error.isNotEmpty())
        juce::Logger::writeToLog ("Cannot set this channel layout!");
}

void ChannelSelector::layoutRows()
{
    const auto x = proportionOf (getWidth(), 0.135);
    const auto width = proportionOf (getWidth(), 0.5);

    for (int i = 0; i < numMeterChannels; ++i)
        channelBoxes[(size_t)i]->setBounds (x, i * rowSpacing, width, boxHeight);
}
