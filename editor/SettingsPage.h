#pragma once

#include "editor/PageActions.h"
#include "editor/PageSnapshot.h"
#include "editor/TarnxLookAndFeel.h"
#include "editor/WidgetStyle.h"
#include "engine/SpeakerLayout.h"

#include <BinaryData.h>
#include <juce_gui_basics/juce_gui_basics.h>

// The settings page: metering mode (standard, scale, units, channel order, thresholds, gating,
// following the transport) and the true-peak meter's reference, alarm level and hold times.
//
// The controls follow their parameters on every refresh, so host automation and loaded states
// show, and write them back through PageActions when the user moves them. In the standalone
// program there is no channel-order row (the device channel assignment replaces it), the
// follow-transport box is kept but not shown, and an Audio Settings button takes its place.
class SettingsPage : public juce::Component,
                     private juce::Button::Listener,
                     private juce::ComboBox::Listener,
                     private juce::Slider::Listener
{
public:
    SettingsPage (PageActions& actions, bool standalone);
    ~SettingsPage() override;

    // Brings the controls to the snapshot's parameter values.
    void update (const PageSnapshot& snapshot);

    // The settings as the controls hold them now.
    PageSnapshot::Controls controls() const;
    bool followsTransport() const { return followCheckBox.getToggleState(); }
    juce::String standardText() const { return standardBox.getText(); }

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    friend struct EditorProbe; // the editor tests read the widgets' states

    void buttonClicked (juce::Button* button) override;
    void comboBoxChanged (juce::ComboBox* box) override;
    void sliderValueChanged (juce::Slider* slider) override;
    void nameAbsoluteUnit();
    // The channel-order row of an arrangement (a SpeakerLayout id): the three orders of 5.1,
    // which "Surround layout" chooses, or the one order of a bigger arrangement, which the
    // host's speaker arrangement gives and the box only shows.
    void showChannelOrders (int layoutId);
    // The display name of the parameter a control writes; null for none.
    const char* parameterOf (const juce::Component* control) const;

    PageActions& actions;
    const bool standalone;

    // Declared before the controls that use them, so that they outlive them. The boxes keep the
    // framework's classic look, for which their geometry and colours (the button colour among
    // them) are laid out: its text area leaves room for "-18" in the 39-pixel reference box.
    TarnxLookAndFeel sliderLook;
    juce::LookAndFeel_V2 boxLook;

    juce::Image background =
        WidgetStyle::decode (BinaryData::Settings_bkg_png, BinaryData::Settings_bkg_pngSize);
    juce::Image imageCheckOff =
        WidgetStyle::decode (BinaryData::CheckBox_Off_png, BinaryData::CheckBox_Off_pngSize);
    juce::Image imageCheckOn =
        WidgetStyle::decode (BinaryData::CheckBox_On_png, BinaryData::CheckBox_On_pngSize);
    juce::Image imageAudioSettings =
        WidgetStyle::decode (BinaryData::butAudioSettings_png, BinaryData::butAudioSettings_pngSize);
    juce::Image imageAudioSettingsPushed =
        WidgetStyle::decode (BinaryData::butAudioSettingsPush_png, BinaryData::butAudioSettingsPush_pngSize);

    juce::Label modeTitle, standardLabel, scaleLabel, unitsLabel, channelOrderLabel, momentaryThresholdLabel,
        shortTermThresholdLabel, gatingLabel, followLabel, truePeakTitle, referenceLabel, alarmLevelLabel,
        alarmLevelUnit, peakHoldLabel, peakHoldUnit, overloadHoldLabel, overloadHoldUnit;
    juce::ComboBox standardBox, scaleBox, unitsBox, channelOrderBox, referenceBox;
    juce::Slider momentaryThresholdSlider, shortTermThresholdSlider, alarmLevelSlider, peakHoldSlider,
        overloadHoldSlider;
    juce::DrawableButton gatingCheckBox{"gating", juce::DrawableButton::ImageStretched};
    juce::DrawableButton followCheckBox{"followTransport", juce::DrawableButton::ImageStretched};
    juce::DrawableButton audioSettingsButton{"audioSettings", juce::DrawableButton::ImageStretched};

    int lastUnitKey = -1;
    int shownLayout = -1;
    // Item id of a bigger arrangement's order in channelOrderBox: this plus its SpeakerLayout id.
    static constexpr int arrangementItemBase = 100;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SettingsPage)
};
