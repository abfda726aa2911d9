#pragma once

#include "editor/AboutPage.h"
#include "editor/LoudnessMeterPanel.h"
#include "editor/EditorPalette.h"
#include "editor/OSKAHistogramContainer.h"
#include "editor/OSKAHistoryPage.h"
#include "editor/PageActions.h"
#include "editor/PageSnapshot.h"
#include "editor/RIRORuduLoudnessHistogram.h"
#include "editor/SettingsPage.h"
#include "editor/StatisticsPage.h"
#include "editor/TruePeakMeterPage.h"
#include "editor/WidgetStyle.h"
#include "processor/RefreshTimerControl.h"

#include <BinaryData.h>
#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

class Tarn51AudioProcessor;

// The meter's window, 729 x 472 pixels and never resized: the histogram panel on the left,
// the loudness meter panel, one of five pages (true-peak meters, statistics, settings, about,
// loudness history) and a column of tabs that selects the page.
//
// Everything runs on the message thread. Every 50 ms the timer copies the processor's
// readings, run state and parameter values into one snapshot and hands it to the panels and
// the pages; the settings page brings its controls to the parameters first, so host automation
// and loaded states show. The pages write parameters through setParameterFromControl, which
// notifies the host so that its automation records the change.
//
// In the standalone program the settings page shows an Audio Settings button, which calls the
// hook the program's window installs.
class RiroruduLoudnessAudioProcessorEditor : public juce::AudioProcessorEditor,
                                             public juce::Button::Listener,
                                             public juce::ChangeListener,
                                             public juce::Timer,
                                             public RefreshTimerControl,
                                             public PageActions
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

    void startRefreshTimer (int intervalMilliseconds) override;
    void stopRefreshTimer() override;

    // Shows the page whose flag is set, hides the other four, places the fixed regions.
    void updatePanels();

    // PageActions.
    void setParameterFromControl (const juce::String& parameterName, float value) override;
    void clearOverloads() override;
    void saveReport() override;
    void showFailure (const juce::String& title, const juce::String& message) override;
    void openAudioSettings() override;

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

private:
    friend struct EditorProbe; // the editor tests read the widgets' states

    enum Page
    {
        truePeakPageIndex = 0,
        statisticsPageIndex,
        settingsPageIndex,
        aboutPageIndex,
        historyPageIndex,
        numPages
    };

    void buildHistogramPanel();
    void buildPageTabs();

    // Refresh steps.
    void takeSnapshot();
    void reactToChanges (const PageSnapshot& s);
    void resetAlarmHold (const PageSnapshot& s);
    void showHistogram (bool momentarySource);
    void showHistory (const PageSnapshot& s);
    void runAlarmHold (const MeterReadings& r);

    Tarn51AudioProcessor& tarnProcessor;
    const bool standalone;

    bool pageShown[numPages] = {true, false, false, false, false};

    // Histogram panel.
    OSKAHistogramContainer histogramPanel;
    juce::ImageComponent histogramLogo;
    RIRORuduLoudnessHistogram histogram{EditorPalette::accentBlue, EditorPalette::accentBlue,
                                        EditorPalette::overThresholdRed};
    juce::DrawableButton histogramSwitch{"histogramSwitch", juce::DrawableButton::ImageStretched};
    juce::Label histogramMomentaryLabel, histogramMomentaryK, histogramShortTermLabel, histogramShortTermK;

    LoudnessMeterPanel meterPanel{tarnProcessor, *this};

    // Pages.
    TruePeakMeterPage truePeakPage{*this};
    StatisticsPage statisticsPage;
    SettingsPage settingsPage;
    AboutPage aboutPage;
    OSKAHistoryPage historyPage;

    juce::TabbedButtonBar pageTabs{juce::TabbedButtonBar::TabsAtRight};

    // Refresh state.
    PageSnapshot snapshot;
    int lastScaleType = -1;
    juce::Array<float> cachedLevels, cachedCounts;
    juce::Array<float> freshLevels, freshCounts;
    bool alarmHoldEnabled = false;
    bool alarmHoldCounting = false;
    int alarmHoldCounter = 0;
    int alarmHoldLimit = 0;

    FileRequest fileRequest;
    AlertFunction alertFunction;
    std::unique_ptr<juce::FileChooser> fileChooser;
    AudioSettingsCallback audioSettingsCallback = nullptr;
    void* audioSettingsContext = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RiroruduLoudnessAudioProcessorEditor)
};
