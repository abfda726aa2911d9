#pragma once

#include "editor/EditorPalette.h"
#include "editor/MeterScale.h"
#include "editor/PageActions.h"
#include "editor/PageSnapshot.h"
#include "editor/RIRORuduVU.h"
#include "editor/WidgetStyle.h"
#include "engine/SpeakerLayout.h"

#include <BinaryData.h>
#include <juce_gui_basics/juce_gui_basics.h>

// The true-peak page: one bar per channel of the processor's arrangement (up to twelve) on the
// IEC 60268 scale of the chosen reference, an overload light above each, the channel's name and
// its held peak below it. A click on a light acknowledges the overload.
//
// The 5.1 arrangement shows the scale image as drawn, with a scale on either side. Other
// arrangements get a scale image built from it: the left scale, one framed column per channel
// spread over the room the right scale had, the channel names under the columns and, from nine
// channels on, the held peaks in two staggered rows so that each keeps a readable width.
class TruePeakMeterPage : public juce::Component, private juce::Button::Listener
{
public:
    explicit TruePeakMeterPage (PageActions& actions);
    ~TruePeakMeterPage() override;

    void update (const PageSnapshot& snapshot);
    void resized() override;

private:
    friend struct EditorProbe; // the editor tests read the widgets' states

    static constexpr int maxChannels = SpeakerLayout::maxChannels;

    void buttonClicked (juce::Button* button) override;
    void showOverloads (const MeterReadings& r);
    // Shows the channels of a SpeakerLayout id: bars, lights and values in use, scale image.
    void showLayout (int layoutId);
    void showScaleImage();

    PageActions& actions;

    juce::Image imagePeak18 = WidgetStyle::decode (BinaryData::Peak_Meter_IEC_60268_18_png,
                                                   BinaryData::Peak_Meter_IEC_60268_18_pngSize);
    juce::Image imagePeak20 = WidgetStyle::decode (BinaryData::Peak_Meter_IEC_60268_20_png,
                                                   BinaryData::Peak_Meter_IEC_60268_20_pngSize);
    juce::Image imageBackground =
        WidgetStyle::decode (BinaryData::TP_VU_negru_png, BinaryData::TP_VU_negru_pngSize);
    juce::Image imageLedOff = WidgetStyle::decode (BinaryData::Led_Off_png, BinaryData::Led_Off_pngSize);
    juce::Image imageLedOn = WidgetStyle::decode (BinaryData::Led_On_png, BinaryData::Led_On_pngSize);

    juce::ImageComponent scaleImage;
    RIRORuduVU bars[maxChannels] = {{imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f}};
    // Named when the arrangement is shown ("overloadLFE").
    juce::DrawableButton overloadIndicators[maxChannels] = {
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched},
        {"overload", juce::DrawableButton::ImageStretched}};
    juce::Label values[maxChannels];

    // The arrangement shown and its channel count.
    int layoutId = SpeakerLayout::surround51;
    int numChannels = 6;

    // The bars' scale, for the colour split at the alarm level.
    MeterScale scale;
    int lastReference = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TruePeakMeterPage)
};
