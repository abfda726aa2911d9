#pragma once

#include "editor/EditorPalette.h"
#include "editor/MeterScale.h"
#include "editor/PageActions.h"
#include "editor/PageSnapshot.h"
#include "editor/RIRORuduVU.h"
#include "editor/WidgetStyle.h"

#include <BinaryData.h>
#include <juce_gui_basics/juce_gui_basics.h>

// The true-peak page: one bar per channel on the IEC 60268 scale of the chosen reference, an
// overload light above each and the held peak below it. A click on a light acknowledges the
// overload.
class TruePeakMeterPage : public juce::Component, private juce::Button::Listener
{
public:
    explicit TruePeakMeterPage (PageActions& actions);
    ~TruePeakMeterPage() override;

    void update (const PageSnapshot& snapshot);
    void resized() override;

private:
    friend struct EditorProbe; // the editor tests read the widgets' states

    static constexpr int numChannels = 6; // the 5.1 arrangement

    void buttonClicked (juce::Button* button) override;
    void showOverloads (const MeterReadings& r);

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
    RIRORuduVU bars[numChannels] = {{imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f},
                                    {imageBackground, EditorPalette::okGreen, EditorPalette::alarmRed, 0.5f}};
    juce::DrawableButton overloadIndicators[numChannels] = {
        {"overloadL", juce::DrawableButton::ImageStretched},
        {"overloadR", juce::DrawableButton::ImageStretched},
        {"overloadC", juce::DrawableButton::ImageStretched},
        {"overloadLFE", juce::DrawableButton::ImageStretched},
        {"overloadLs", juce::DrawableButton::ImageStretched},
        {"overloadRs", juce::DrawableButton::ImageStretched}};
    juce::Label values[numChannels];

    // The bars' scale, for the colour split at the alarm level.
    MeterScale scale;
    int lastReference = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TruePeakMeterPage)
};
