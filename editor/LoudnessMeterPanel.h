#pragma once

#include "editor/PageActions.h"
#include "editor/PageSnapshot.h"
#include "editor/RIRORuduArrowVU.h"
#include "editor/RIRORuduLRVU.h"
#include "editor/RIRORuduVU.h"
#include "editor/WidgetStyle.h"

#include <BinaryData.h>
#include <juce_gui_basics/juce_gui_basics.h>

class Tarn51AudioProcessor;

// The loudness meter panel beside the histogram: the momentary bar on the scale of the chosen
// standard, unit and range, the loudness range and short-term target, the peak alarm, the
// integrated, short-term and range readouts, the standard, the elapsed time and the run
// buttons.
class LoudnessMeterPanel : public juce::ImageComponent, private juce::Button::Listener
{
public:
    LoudnessMeterPanel (Tarn51AudioProcessor& processor, PageActions& actions);
    ~LoudnessMeterPanel() override;

    // The elapsed time and, while following the transport, whether the meter runs.
    void showRunState (const PageSnapshot& snapshot, bool followingTransport);

    // The rest, once the settings page has taken the snapshot's values.
    void update (const PageSnapshot& snapshot, const juce::String& standardText, bool followingTransport);

    // The scale type shown (MeterScale 0..7); -1 before the first refresh.
    int getScaleType() const noexcept { return scaleType; }

    // Limits of the integrated readout's colours (LUFS): green from L2 to L1, yellow up to L0
    // and down to L3, red beyond.
    struct IntegratedLimits
    {
        float l0, l1, l2, l3;
    };

    static constexpr IntegratedLimits ebuLimits{-20.6f, -22.0f, -24.0f, -28.4f};
    static constexpr IntegratedLimits atscLimits{-20.6f, -22.0f, -26.0f, -28.4f};

private:
    friend struct EditorProbe; // the editor tests read the widgets' states

    void buttonClicked (juce::Button* button) override;
    void updateCaption (const PageSnapshot& s);
    void updateScaleImage (const PageSnapshot& s);
    void showLoudnessReadouts (const PageSnapshot& s);
    void showAlarm (const MeterReadings& r);

    static juce::Image decode (const char* data, int size) { return WidgetStyle::decode (data, size); }

    Tarn51AudioProcessor& tarnProcessor;
    PageActions& actions;

    // Decoded images, declared before the widgets built from them.
    juce::Image imageEbu9 = decode (BinaryData::Tarn_EBU_9_png, BinaryData::Tarn_EBU_9_pngSize);
    juce::Image imageEbu18 = decode (BinaryData::Tarn_EBU_18_png, BinaryData::Tarn_EBU_18_pngSize);
    juce::Image imageAtsc9 = decode (BinaryData::Tarn_ATSC_9_png, BinaryData::Tarn_ATSC_9_pngSize);
    juce::Image imageAtsc18 = decode (BinaryData::Tarn_ATSC_18_png, BinaryData::Tarn_ATSC_18_pngSize);
    juce::Image imageLu9 = decode (BinaryData::Tarn_LU_9_png, BinaryData::Tarn_LU_9_pngSize);
    juce::Image imageLu18 = decode (BinaryData::Tarn_LU_18_png, BinaryData::Tarn_LU_18_pngSize);
    juce::Image imageVu = decode (BinaryData::VU_png, BinaryData::VU_pngSize);
    juce::Image imageVuBlack = decode (BinaryData::VUblack_png, BinaryData::VUblack_pngSize);
    juce::Image imageArrowBackground =
        decode (BinaryData::VST_Target_arrow_bkg_png, BinaryData::VST_Target_arrow_bkg_pngSize);
    juce::Image imageArrow =
        decode (BinaryData::VST_Target_arrow_blue_png, BinaryData::VST_Target_arrow_blue_pngSize);
    juce::Image imageRangeBackground =
        decode (BinaryData::VST_Targeting_alb_png, BinaryData::VST_Targeting_alb_pngSize);
    juce::Image imageRange =
        decode (BinaryData::VST_Targeting_blue_png, BinaryData::VST_Targeting_blue_pngSize);
    juce::Image imageAlertOff = decode (BinaryData::TP_ALERT_OFF_png, BinaryData::TP_ALERT_OFF_pngSize);
    juce::Image imageAlertOn = decode (BinaryData::TP_ALERT_ON_png, BinaryData::TP_ALERT_ON_pngSize);
    juce::Image imagePlay = decode (BinaryData::butPlay_png, BinaryData::butPlay_pngSize);
    juce::Image imagePlayDisabled =
        decode (BinaryData::butPlayDisabled_png, BinaryData::butPlayDisabled_pngSize);
    juce::Image imagePause = decode (BinaryData::butPause_png, BinaryData::butPause_pngSize);
    juce::Image imagePauseDisabled =
        decode (BinaryData::butPauseDisabled_png, BinaryData::butPauseDisabled_pngSize);
    juce::Image imageReset = decode (BinaryData::butReset_png, BinaryData::butReset_pngSize);
    juce::Image imageResetPushed = decode (BinaryData::but_ResetPush_png, BinaryData::but_ResetPush_pngSize);

    RIRORuduVU momentaryBar{imageVuBlack, imageVu};
    RIRORuduLRVU rangeMeter{imageRangeBackground, imageRange};
    RIRORuduArrowVU targetArrow{imageArrowBackground, imageArrow};
    juce::Label peakLabel;
    juce::DrawableButton peakAlarmButton{"peakAlarm", juce::DrawableButton::ImageStretched};
    juce::Label integratedReadout, integratedCaption, shortTermReadout, shortTermCaption, rangeReadout,
        rangeCaption, standardIndicator, elapsedTime;
    juce::DrawableButton playPauseButton{"playPause", juce::DrawableButton::ImageStretched};
    juce::DrawableButton resetButton{"reset", juce::DrawableButton::ImageStretched};
    juce::Label unitCaption, unitCaptionK;

    int scaleType = -1;
    int lastCaptionKey = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LoudnessMeterPanel)
};
