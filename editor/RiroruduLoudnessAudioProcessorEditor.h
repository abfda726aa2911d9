#pragma once

#include "editor/MeterScale.h"
#include "editor/OSKAHistogramContainer.h"
#include "editor/OSKAHistoryPage.h"
#include "editor/RIRORuduArrowVU.h"
#include "editor/RIRORuduLRVU.h"
#include "editor/RIRORuduLoudnessHistogram.h"
#include "editor/RIRORuduVU.h"
#include "editor/TarnxLookAndFeel.h"
#include "processor/MeterReadings.h"
#include "processor/ParameterTable.h"
#include "processor/RefreshTimerControl.h"

#include <BinaryData.h>
#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <memory>

class Tarn51AudioProcessor;

// The meter's window, 729 x 472 pixels and never resized: the histogram panel on the left,
// the loudness meter panel, one of five pages (true-peak meters, statistics, settings, about,
// loudness history) and a column of tabs that selects the page.
//
// Everything runs on the message thread. Every 50 ms the timer copies the processor's
// readings, run state, parameter values and histogram bins and brings every widget and label
// up to date; it also copies the parameters back into the controls, so host automation and
// loaded states show. The controls write parameters through setParameterFromControl, which
// notifies the host so that its automation records the change.
//
// In the standalone program the settings page has no channel-order row (the device channel
// assignment replaces it), the follow-transport box is kept but not shown, and an Audio
// Settings button calls the hook the program's window installs.
class RiroruduLoudnessAudioProcessorEditor : public juce::AudioProcessorEditor,
                                             public juce::Button::Listener,
                                             public juce::ChangeListener,
                                             public juce::Timer,
                                             public juce::ComboBox::Listener,
                                             public juce::Slider::Listener,
                                             public RefreshTimerControl
{
public:
    static constexpr int editorWidth = 729;
    static constexpr int editorHeight = 472;
    static constexpr int refreshIntervalMilliseconds = 50;

    explicit RiroruduLoudnessAudioProcessorEditor (Tarn51AudioProcessor& processor);
    ~RiroruduLoudnessAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void buttonClicked (juce::Button* button) override;
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void timerCallback() override;
    void comboBoxChanged (juce::ComboBox* box) override;
    void sliderValueChanged (juce::Slider* slider) override;

    void startRefreshTimer (int intervalMilliseconds) override;
    void stopRefreshTimer() override;

    // Shows the page whose flag is set, hides the other three, places the fixed regions.
    void updatePanels();

    // Writes a value in the parameter's own units to the parameter with that display name,
    // normalised and limited to 0..1, and tells the host.
    void setParameterFromControl (const juce::String& parameterName, float value);

    // The save-report button: asks for a file, then writes the report into it.
    void writeReport();

    // Writes the report of what the statistics page shows now into file. A failure is shown
    // to the user with the file's name and the reason, and returned.
    juce::Result writeReportTo (const juce::File& file);

    // The report text of what the statistics page shows, dated `when`.
    juce::String reportText (const juce::Time& when) const;

    // Asks the user for a file and calls back with it (an empty file when cancelled). The
    // default is an asynchronous save dialog.
    using FileRequest = std::function<void (std::function<void (const juce::File&)> onChosen)>;
    void setReportFileRequest (FileRequest request);

    // Shows a failure to the user. The default is an asynchronous alert window.
    using AlertFunction = std::function<void (const juce::String& title, const juce::String& message)>;
    void setAlertFunction (AlertFunction alert);

    // Standalone program: what the Audio Settings button calls, with the context it was
    // installed with.
    using AudioSettingsCallback = void (*) (void* context);
    void setAudioSettingsCallback (AudioSettingsCallback callback, void* context);

    // Limits of the integrated readout's colours (LUFS): green from L2 to L1, yellow up to L0
    // and down to L3, red beyond.
    struct IntegratedLimits
    {
        float l0, l1, l2, l3;
    };

    static constexpr IntegratedLimits ebuLimits{-20.6f, -22.0f, -24.0f, -28.4f};
    static constexpr IntegratedLimits atscLimits{-20.6f, -22.0f, -26.0f, -28.4f};

    static inline const juce::Colour lightGrey{0xFFD8D8D8};
    static inline const juce::Colour midGrey{0xFF979797};
    static inline const juce::Colour accentBlue{0xFF3A93DD};
    static inline const juce::Colour okGreen{0xFF81CA2F};
    static inline const juce::Colour alarmRed{0xFFD70014};
    static inline const juce::Colour overThresholdRed{0xFFFF0000};
    static inline const juce::Colour cautionYellow{0xFFFFFF00};

private:
    friend struct EditorProbe; // the editor tests read the widgets' states

    enum Page
    {
        truePeakPage = 0,
        statisticsPage,
        settingsPage,
        aboutPage,
        historyPage,
        numPages
    };

    static constexpr int numChannels = MeterReadings::numChannels;

    void buildHistogramPanel();
    void buildMeterPanel();
    void buildSettingsPage();
    void buildTruePeakPage();
    void buildStatisticsPage();
    void buildAboutPage();
    void buildPageTabs();

    void initialiseLabel (juce::Label& label, juce::Component& parent, const juce::String& text, int x, int y,
                          int w, int h, float fontHeight,
                          juce::Justification justification = juce::Justification::centredLeft);
    void initialiseBox (juce::ComboBox& box, juce::Component& parent, int x, int y, int w, int h);
    void initialiseSlider (juce::Slider& slider, juce::Component& parent, double minimum, double maximum,
                           int x, int y, int w, int h);

    // Refresh steps.
    void syncControls (const std::array<float, ParameterTable::numParameters>& values);
    void reactToChanges (std::uint32_t changedBits);
    void updateCaption();
    void updateStatisticsUnits();
    void updateScaleImage();
    void updateStandardIndicator();
    void resetAlarmHold();
    void showLoudnessReadouts (const MeterReadings& r);
    void showHistogram (bool momentarySource);
    void showHistory();
    void showAlarm (const MeterReadings& r);
    void runAlarmHold (const MeterReadings& r);
    void clearOverFlags();

    bool isEbu() const { return standardBox.getSelectedId() == 1; }
    bool isRelative() const { return unitsBox.getSelectedId() == 2; }

    void showFailure (const juce::String& title, const juce::String& message);

    Tarn51AudioProcessor& tarnProcessor;
    const bool standalone;

    // Declared before the controls that use them, so that they outlive them. The boxes keep the
    // framework's classic look, for which their geometry and colours (the button colour among
    // them) are laid out: its text area leaves room for "-18" in the 39-pixel reference box.
    TarnxLookAndFeel sliderLook;
    juce::LookAndFeel_V2 boxLook;

    static juce::Image decode (const char* data, int size);

    // Decoded images, declared before the widgets built from them.
    juce::Image imageEbu9 = decode (BinaryData::Tarn_EBU_9_png, BinaryData::Tarn_EBU_9_pngSize);
    juce::Image imageEbu18 = decode (BinaryData::Tarn_EBU_18_png, BinaryData::Tarn_EBU_18_pngSize);
    juce::Image imageAtsc9 = decode (BinaryData::Tarn_ATSC_9_png, BinaryData::Tarn_ATSC_9_pngSize);
    juce::Image imageAtsc18 = decode (BinaryData::Tarn_ATSC_18_png, BinaryData::Tarn_ATSC_18_pngSize);
    juce::Image imageLu9 = decode (BinaryData::Tarn_LU_9_png, BinaryData::Tarn_LU_9_pngSize);
    juce::Image imageLu18 = decode (BinaryData::Tarn_LU_18_png, BinaryData::Tarn_LU_18_pngSize);
    juce::Image imagePeak18 =
        decode (BinaryData::Peak_Meter_IEC_60268_18_png, BinaryData::Peak_Meter_IEC_60268_18_pngSize);
    juce::Image imagePeak20 =
        decode (BinaryData::Peak_Meter_IEC_60268_20_png, BinaryData::Peak_Meter_IEC_60268_20_pngSize);
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
    juce::Image imageTruePeakBackground =
        decode (BinaryData::TP_VU_negru_png, BinaryData::TP_VU_negru_pngSize);
    juce::Image imageLedOff = decode (BinaryData::Led_Off_png, BinaryData::Led_Off_pngSize);
    juce::Image imageLedOn = decode (BinaryData::Led_On_png, BinaryData::Led_On_pngSize);
    juce::Image imageAlertOff = decode (BinaryData::TP_ALERT_OFF_png, BinaryData::TP_ALERT_OFF_pngSize);
    juce::Image imageAlertOn = decode (BinaryData::TP_ALERT_ON_png, BinaryData::TP_ALERT_ON_pngSize);
    juce::Image imageLogo = decode (BinaryData::Logo_png, BinaryData::Logo_pngSize);
    juce::Image imageSave = decode (BinaryData::butSaveLog_png, BinaryData::butSaveLog_pngSize);
    juce::Image imageSavePushed =
        decode (BinaryData::but_SaveLogPush_png, BinaryData::but_SaveLogPush_pngSize);
    juce::Image imagePlay = decode (BinaryData::butPlay_png, BinaryData::butPlay_pngSize);
    juce::Image imagePlayDisabled =
        decode (BinaryData::butPlayDisabled_png, BinaryData::butPlayDisabled_pngSize);
    juce::Image imagePause = decode (BinaryData::butPause_png, BinaryData::butPause_pngSize);
    juce::Image imagePauseDisabled =
        decode (BinaryData::butPauseDisabled_png, BinaryData::butPauseDisabled_pngSize);
    juce::Image imageReset = decode (BinaryData::butReset_png, BinaryData::butReset_pngSize);
    juce::Image imageResetPushed = decode (BinaryData::but_ResetPush_png, BinaryData::but_ResetPush_pngSize);
    juce::Image imageSwitchOff = decode (BinaryData::Switch_Off_png, BinaryData::Switch_Off_pngSize);
    juce::Image imageSwitchOffOver =
        decode (BinaryData::Switch_Off_Over_png, BinaryData::Switch_Off_Over_pngSize);
    juce::Image imageSwitchOn = decode (BinaryData::Switch_On_png, BinaryData::Switch_On_pngSize);
    juce::Image imageSwitchOnOver =
        decode (BinaryData::Switch_On_Over_png, BinaryData::Switch_On_Over_pngSize);
    juce::Image imageCheckOff = decode (BinaryData::CheckBox_Off_png, BinaryData::CheckBox_Off_pngSize);
    juce::Image imageCheckOn = decode (BinaryData::CheckBox_On_png, BinaryData::CheckBox_On_pngSize);
    juce::Image imageSettingsBackground =
        decode (BinaryData::Settings_bkg_png, BinaryData::Settings_bkg_pngSize);
    juce::Image imageStatisticsBackground =
        decode (BinaryData::Statistics_bkg_png, BinaryData::Statistics_bkg_pngSize);
    juce::Image imageAudioSettings =
        decode (BinaryData::butAudioSettings_png, BinaryData::butAudioSettings_pngSize);
    juce::Image imageAudioSettingsPushed =
        decode (BinaryData::butAudioSettingsPush_png, BinaryData::butAudioSettingsPush_pngSize);

    bool pageShown[numPages] = {true, false, false, false, false};

    // Histogram panel.
    OSKAHistogramContainer histogramPanel;
    juce::ImageComponent histogramLogo;
    RIRORuduLoudnessHistogram histogram{accentBlue, accentBlue, overThresholdRed};
    juce::DrawableButton histogramSwitch{"histogramSwitch", juce::DrawableButton::ImageStretched};
    juce::Label histogramMomentaryLabel, histogramMomentaryK, histogramShortTermLabel, histogramShortTermK;

    // Meter panel.
    juce::ImageComponent meterPanel;
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

    // True-peak page.
    juce::Component truePeakPageComponent;
    juce::ImageComponent truePeakScaleImage;
    RIRORuduVU truePeakBars[numChannels] = {{imageTruePeakBackground, okGreen, alarmRed, 0.5f},
                                            {imageTruePeakBackground, okGreen, alarmRed, 0.5f},
                                            {imageTruePeakBackground, okGreen, alarmRed, 0.5f},
                                            {imageTruePeakBackground, okGreen, alarmRed, 0.5f},
                                            {imageTruePeakBackground, okGreen, alarmRed, 0.5f},
                                            {imageTruePeakBackground, okGreen, alarmRed, 0.5f}};
    juce::DrawableButton overloadIndicators[numChannels] = {
        {"overloadL", juce::DrawableButton::ImageStretched},
        {"overloadR", juce::DrawableButton::ImageStretched},
        {"overloadC", juce::DrawableButton::ImageStretched},
        {"overloadLFE", juce::DrawableButton::ImageStretched},
        {"overloadLs", juce::DrawableButton::ImageStretched},
        {"overloadRs", juce::DrawableButton::ImageStretched}};
    juce::Label truePeakValues[numChannels];

    // Statistics page.
    juce::ImageComponent statisticsPageComponent;
    juce::Label statisticsTitle, valuesHeader, positionHeader;
    juce::Label integratedRowCaption, integratedUnit, integratedValue;
    juce::Label rangeRowCaption, rangeUnit, rangeValue;
    juce::Label maxShortTermCaption, maxShortTermUnit, maxShortTermValue, maxShortTermPosition;
    juce::Label maxMomentaryCaption, maxMomentaryUnit, maxMomentaryValue, maxMomentaryPosition;
    juce::Label maxTruePeakCaption, maxTruePeakUnit, maxTruePeakValue, maxTruePeakPosition;
    juce::Label hitsTitle, momentaryHitsCaption, momentaryHits, shortTermHitsCaption, shortTermHits;
    juce::DrawableButton saveReportButton{"saveReport", juce::DrawableButton::ImageStretched};

    // Settings page.
    juce::ImageComponent settingsPageComponent;
    juce::Label modeTitle, standardLabel, scaleLabel, unitsLabel, channelOrderLabel, momentaryThresholdLabel,
        shortTermThresholdLabel, gatingLabel, followLabel, truePeakTitle, referenceLabel, alarmLevelLabel,
        alarmLevelUnit, peakHoldLabel, peakHoldUnit, overloadHoldLabel, overloadHoldUnit;
    juce::ComboBox standardBox, scaleBox, unitsBox, channelOrderBox, referenceBox;
    juce::Slider momentaryThresholdSlider, shortTermThresholdSlider, alarmLevelSlider, peakHoldSlider,
        overloadHoldSlider;
    juce::DrawableButton gatingCheckBox{"gating", juce::DrawableButton::ImageStretched};
    juce::DrawableButton followCheckBox{"followTransport", juce::DrawableButton::ImageStretched};
    juce::DrawableButton audioSettingsButton{"audioSettings", juce::DrawableButton::ImageStretched};

    // About page.
    juce::Component aboutPageComponent;
    juce::ImageComponent aboutLogo;
    juce::Label versionLine;
    juce::HyperlinkButton contactLink, userGuideLink;

    // History page.
    OSKAHistoryPage historyPageComponent;

    juce::TabbedButtonBar pageTabs{juce::TabbedButtonBar::TabsAtRight};

    // Refresh state.
    MeterReadings shown;
    // The true-peak bars' scale, for the colour split at the alarm level.
    MeterScale truePeakScale;
    int lastScaleKey = -1;
    int lastTruePeakReference = -1;
    int lastCaptionKey = -1;
    int lastStandard = -1;
    juce::Array<float> cachedLevels, cachedCounts;
    juce::Array<float> freshLevels, freshCounts;
    bool alarmHoldEnabled = false;
    bool alarmHoldCounting = false;
    int alarmHoldCounter = 0;
    int alarmHoldLimit = 0;

    // Parameter indices, looked up once by display name.
    struct ParameterIndices
    {
        int standard, scale, unit, type, followTransport, surroundLayout, referenceLevel, maxLevel, holdTime,
            overTime, histogramLoudness, momentaryThreshold, shortTermThreshold;
    };
    ParameterIndices indices{};

    FileRequest fileRequest;
    AlertFunction alertFunction;
    std::unique_ptr<juce::FileChooser> fileChooser;
    AudioSettingsCallback audioSettingsCallback = nullptr;
    void* audioSettingsContext = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RiroruduLoudnessAudioProcessorEditor)
};
