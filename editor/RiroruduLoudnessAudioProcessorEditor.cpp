#include "editor/RiroruduLoudnessAudioProcessorEditor.h"

#include "processor/Tarn51AudioProcessor.h"
#include "report/ReadoutText.h"

namespace
{
juce::String tabText (const char* text)
{
    // Tab texts are padded with a no-break blank at each end.
    const auto noBreakBlank = juce::String::charToString ((juce::juce_wchar)0x00A0);
    return noBreakBlank + text + noBreakBlank;
}
} // namespace

//==============================================================================
RiroruduLoudnessAudioProcessorEditor::RiroruduLoudnessAudioProcessorEditor (Tarn51AudioProcessor& p)
    : juce::AudioProcessorEditor (p), tarnProcessor (p), standalone (p.isStandalone()),
      statisticsPage (*this, p.getName()), settingsPage (*this, standalone), aboutPage (p.getName()),
      historyPage (p.loudnessHistory)
{
    snapshot.indices = PageSnapshot::Indices::of (tarnProcessor.parameters);

    setOpaque (true);
    setSize (editorWidth, editorHeight);

    buildHistogramPanel();
    buildMeterPanel();

    // Children in drawing order: the panels and the pages behind the tab column.
    addAndMakeVisible (histogramPanel);
    addAndMakeVisible (truePeakPage);
    addAndMakeVisible (meterPanel);
    addChildComponent (settingsPage);
    addChildComponent (aboutPage);
    addChildComponent (statisticsPage);
    addChildComponent (historyPage);

    buildPageTabs();

    startTimer (refreshIntervalMilliseconds);
    cachedLevels.insertMultiple (0, -100.0f, LoudnessHistogram::numBins);
    cachedCounts.insertMultiple (0, 0.0f, LoudnessHistogram::numBins);

    // The first refresh then brings every control and readout up to date.
    tarnProcessor.parameters.markAllChanged();

    updatePanels();
}

RiroruduLoudnessAudioProcessorEditor::~RiroruduLoudnessAudioProcessorEditor()
{
    stopTimer();
    fileChooser.reset();
    pageTabs.removeChangeListener (this);
}

//==============================================================================
void RiroruduLoudnessAudioProcessorEditor::buildHistogramPanel()
{
    histogramLogo.setImage (imageLogo, juce::RectanglePlacement::centred);
    histogramLogo.setBounds (12, 0, 60, 25);
    histogramPanel.addAndMakeVisible (histogramLogo);

    histogram.setBounds (10, 41, 110, 352);
    histogramPanel.addAndMakeVisible (histogram);

    WidgetStyle::label (histogramMomentaryLabel, histogramPanel, "ML", 9, 403, 84, 20, 15.0f);
    WidgetStyle::label (histogramMomentaryK, histogramPanel, "k", 28, 407, 84, 20, 12.0f);
    WidgetStyle::label (histogramShortTermLabel, histogramPanel, "SL", 82, 403, 84, 20, 15.0f);
    WidgetStyle::label (histogramShortTermK, histogramPanel, "k", 96, 407, 84, 20, 12.0f);

    WidgetStyle::buttonImages (
        histogramSwitch, {imageSwitchOff, imageSwitchOffOver, {}, {}, imageSwitchOn, imageSwitchOnOver});
    histogramSwitch.setClickingTogglesState (true);
    histogramSwitch.setBounds (49, 405, 32, 13);
    histogramSwitch.addListener (this);
    histogramPanel.addAndMakeVisible (histogramSwitch);
}

void RiroruduLoudnessAudioProcessorEditor::buildMeterPanel()
{
    meterPanel.setImage (imageEbu9, juce::RectanglePlacement::stretchToFit);

    meterPanel.addAndMakeVisible (momentaryBar);
    momentaryBar.setMeterBounds (58, 41, 25);

    rangeMeter.setBounds (110, 41, 16, 352);
    meterPanel.addAndMakeVisible (rangeMeter);

    targetArrow.setBounds (126, 41, 16, 352);
    meterPanel.addAndMakeVisible (targetArrow);

    WidgetStyle::label (peakLabel, meterPanel, "Peak", 167, 17, 90, 60, 17.0f);

    WidgetStyle::buttonImages (peakAlarmButton, {imageAlertOff, {}, {}, imageAlertOff, imageAlertOn});
    peakAlarmButton.setClickingTogglesState (true);
    peakAlarmButton.setBounds (210, 37, 20, 20);
    peakAlarmButton.setEnabled (false);
    peakAlarmButton.addListener (this);
    meterPanel.addAndMakeVisible (peakAlarmButton);

    const auto centred = juce::Justification::centred;
    WidgetStyle::label (integratedReadout, meterPanel, {}, 154, 75, 84, 60, 15.0f, centred);
    WidgetStyle::label (integratedCaption, meterPanel, "Integrated", 154, 92, 84, 60, 14.0f, centred);
    WidgetStyle::label (shortTermReadout, meterPanel, {}, 154, 135, 84, 60, 15.0f, centred);
    WidgetStyle::label (shortTermCaption, meterPanel, "Short Term", 154, 152, 84, 60, 14.0f, centred);
    WidgetStyle::label (rangeReadout, meterPanel, {}, 154, 195, 84, 60, 15.0f, centred);
    WidgetStyle::label (rangeCaption, meterPanel, "Range", 154, 212, 84, 60, 14.0f, centred);
    WidgetStyle::label (standardIndicator, meterPanel, {}, 154, 248, 84, 60, 15.0f, centred);
    WidgetStyle::label (elapsedTime, meterPanel, "00:00:00:00", 154, 285, 84, 60, 15.0f);

    WidgetStyle::buttonImages (
        playPauseButton, {imagePlay, {}, {}, imagePlayDisabled, imagePause, {}, {}, imagePauseDisabled});
    playPauseButton.setClickingTogglesState (true);
    playPauseButton.setBounds (154, 330, 84, 24);
    playPauseButton.addListener (this);
    meterPanel.addAndMakeVisible (playPauseButton);

    WidgetStyle::buttonImages (resetButton, {imageReset, {}, imageResetPushed});
    resetButton.setBounds (154, 369, 84, 24);
    resetButton.addListener (this);
    meterPanel.addAndMakeVisible (resetButton);

    WidgetStyle::label (unitCaption, meterPanel, "ML   LUFS", 32, 406, 84, 22, 16.0f);
    unitCaption.setColour (juce::Label::backgroundColourId, EditorPalette::black);
    WidgetStyle::label (unitCaptionK, meterPanel, "k", 53, 410, 84, 22, 12.0f);
}

void RiroruduLoudnessAudioProcessorEditor::buildPageTabs()
{
    const auto black = EditorPalette::black, lightGrey = EditorPalette::lightGrey;
    addAndMakeVisible (pageTabs);
    pageTabs.setOrientation (juce::TabbedButtonBar::TabsAtRight);
    pageTabs.setColour (juce::TabbedComponent::backgroundColourId, black);
    pageTabs.setColour (juce::TabbedComponent::outlineColourId, lightGrey);

    pageTabs.addTab (tabText (" TP Meter "), black, 0);
    pageTabs.addTab (tabText ("Statistics"), lightGrey, 1);
    pageTabs.addTab (tabText (" Settings "), lightGrey, 2);
    pageTabs.addTab (tabText (" About "), lightGrey, 3);
    pageTabs.addTab (tabText (" History "), lightGrey, 4);
    pageTabs.setCurrentTabIndex (0, false);
    pageTabs.addChangeListener (this);
}

//==============================================================================
void RiroruduLoudnessAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (EditorPalette::black);
}

void RiroruduLoudnessAudioProcessorEditor::updatePanels()
{
    histogramPanel.setBounds (0, 0, 130, 472);
    histogramPanel.setVisible (true);
    meterPanel.setBounds (130, 0, 249, 472);
    pageTabs.setBounds (699, 0, 30, 325);
    pageTabs.setVisible (true);

    juce::Component* pages[numPages] = {&truePeakPage, &statisticsPage, &settingsPage, &aboutPage,
                                        &historyPage};

    // Every page is laid out from the start, shown or not, so that its controls have their places.
    for (int i = 0; i < numPages; ++i)
    {
        pages[i]->setBounds (379, 0, 350, 472);
        pages[i]->setVisible (pageShown[i]);
    }
}

void RiroruduLoudnessAudioProcessorEditor::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (source != &pageTabs)
        return;

    const auto index = pageTabs.getCurrentTabIndex();

    if (index >= 0 && index < numPages)
    {
        for (int i = 0; i < numPages; ++i)
        {
            pageTabs.setTabBackgroundColour (i, i == index ? EditorPalette::black : EditorPalette::lightGrey);
            pageShown[i] = i == index;
        }

        repaint();
    }

    updatePanels();

    if (pageShown[historyPageIndex])
        historyPage.refresh();
}

void RiroruduLoudnessAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    if (button == &playPauseButton)
        tarnProcessor.manualRun = playPauseButton.getToggleState() ? 1 : 0;
    else if (button == &resetButton)
        tarnProcessor.resetMeasurement();
    else if (button == &peakAlarmButton)
        clearOverloads();
    else if (button == &histogramSwitch)
        setParameterFromControl ("Histogram Loudness", histogramSwitch.getToggleState() ? 1.0f : 0.0f);
}

void RiroruduLoudnessAudioProcessorEditor::setParameterFromControl (const juce::String& parameterName,
                                                                    float value)
{
    const auto& table = tarnProcessor.parameters;
    const auto index = table.indexOf (parameterName);

    if (!ParameterTable::isInRange (index))
        return;

    const auto range = table.ranges[(size_t)index];
    const auto normalised =
        juce::jlimit (0.0f, 1.0f, (value - range.minimum) / (range.maximum - range.minimum));
    tarnProcessor.setParameterAndNotifyHost (index, normalised);
}

void RiroruduLoudnessAudioProcessorEditor::clearOverloads()
{
    auto& readings = tarnProcessor.readings;
    readings.truePeakOver = 0;

    for (auto& flag : readings.channelOver)
        flag = 0;
}

void RiroruduLoudnessAudioProcessorEditor::openAudioSettings()
{
    if (audioSettingsCallback != nullptr)
        audioSettingsCallback (audioSettingsContext);
}

void RiroruduLoudnessAudioProcessorEditor::startRefreshTimer (int intervalMilliseconds)
{
    startTimer (intervalMilliseconds);
}

void RiroruduLoudnessAudioProcessorEditor::stopRefreshTimer()
{
    stopTimer();
}

void RiroruduLoudnessAudioProcessorEditor::setAudioSettingsCallback (AudioSettingsCallback callback,
                                                                     void* context)
{
    audioSettingsCallback = callback;
    audioSettingsContext = context;
}

//==============================================================================
void RiroruduLoudnessAudioProcessorEditor::takeSnapshot()
{
    snapshot.readings = tarnProcessor.readings;
    snapshot.frameRate = tarnProcessor.getHostFrameRate();
    snapshot.sampleRate = tarnProcessor.currentSampleRate;
    snapshot.measuring = tarnProcessor.measuring != 0;

    // The changed flags are taken before the values: a change that arrives in between is then
    // still flagged for the next tick instead of being cleared unseen.
    auto& table = tarnProcessor.parameters;
    snapshot.changedBits = 0;

    for (int i = 0; i < ParameterTable::numParameters; ++i)
        if (table.testAndClearChanged (i))
            snapshot.changedBits |= 1u << (unsigned)i;

    snapshot.values = table.getValues();
}

void RiroruduLoudnessAudioProcessorEditor::timerCallback()
{
    // The follow box as the user left it, before this tick's values reach it.
    const auto following = settingsPage.followsTransport();
    takeSnapshot();
    const auto& s = snapshot;
    const auto& r = s.readings;

    elapsedTime.setText (ReadoutText::elapsed (r.measuredSamples, s.sampleRate, s.frameRate),
                         juce::dontSendNotification);

    if (following)
        playPauseButton.setToggleState (s.measuring, juce::dontSendNotification);

    // The settings page first: the other parts read the settings as its controls hold them.
    settingsPage.update (s);
    snapshot.controls = settingsPage.controls();
    histogramSwitch.setToggleState ((int)s.valueOf (s.indices.histogramLoudness) == 1,
                                    juce::dontSendNotification);
    reactToChanges (s);

    momentaryBar.setLevel (r.momentaryPosition);
    targetArrow.setTarget (r.shortTermPosition);
    rangeMeter.setTargetRange (r.rangeLowPosition, r.rangeHighPosition);
    rangeReadout.setText (ReadoutText::value (r.loudnessRange, ReadoutText::rangeUnit()),
                          juce::dontSendNotification);
    showLoudnessReadouts (s);
    showHistogram (s.valueOf (s.indices.histogramLoudness) == 0.0f);

    truePeakPage.update (s);
    statisticsPage.update (s);
    showHistory (s);
    showAlarm (r);
    runAlarmHold (r);
}

void RiroruduLoudnessAudioProcessorEditor::reactToChanges (const PageSnapshot& s)
{
    const auto& i = s.indices;

    if (s.changed (i.standard) || s.changed (i.scale) || s.changed (i.unit) || s.changed (i.referenceLevel))
    {
        updateCaption (s);
        updateScaleImage (s);
    }

    if (s.changed (i.standard) || s.changed (i.type))
        updateStandardIndicator (s);

    if (s.changed (i.followTransport))
        playPauseButton.setEnabled (!settingsPage.followsTransport());

    if (s.changed (i.overTime))
        resetAlarmHold (s);

    if (s.changed (i.histogramLoudness))
        histogram.setLoudnessMode (histogramSwitch.getToggleState() ? 1 : 0);

    if (s.changed (i.momentaryThreshold))
    {
        histogram.setMomentaryThreshold ((float)s.controls.momentaryThreshold);
        histogram.repaint();
    }

    if (s.changed (i.shortTermThreshold))
    {
        histogram.setShortTermThreshold ((float)s.controls.shortTermThreshold);
        histogram.repaint();
    }
}

void RiroruduLoudnessAudioProcessorEditor::updateCaption (const PageSnapshot& s)
{
    const auto key = (s.controls.ebu ? 1 : 0) + (s.controls.relative ? 2 : 0);

    if (key == lastCaptionKey)
        return;

    lastCaptionKey = key;

    static const char* const texts[] = {"ML   LKFS", "ML   LUFS", "ML   LU", "ML   LU"};
    const auto relative = key >= 2;
    unitCaption.setText (texts[key], juce::dontSendNotification);
    unitCaption.setBounds (relative ? 41 : 33, 406, 84, 22);
    unitCaptionK.setBounds (relative ? 62 : 53, 410, 84, 22);
}

void RiroruduLoudnessAudioProcessorEditor::updateScaleImage (const PageSnapshot& s)
{
    const auto& c = s.controls;
    const auto type = (c.relative ? 1 : 0) + (c.scaleId == 2 ? 2 : 0) + (c.ebu ? 0 : 4);

    if (type == lastScaleKey)
        return;

    lastScaleKey = type;
    const juce::Image* images[] = {&imageEbu9,  &imageLu9, &imageEbu18,  &imageLu18,
                                   &imageAtsc9, &imageLu9, &imageAtsc18, &imageLu18};
    meterPanel.setImage (*images[type], juce::RectanglePlacement::stretchToFit);
    histogram.setScaleType (type);
    meterPanel.repaint();
}

void RiroruduLoudnessAudioProcessorEditor::updateStandardIndicator (const PageSnapshot& s)
{
    standardIndicator.setText (settingsPage.standardText(), juce::dontSendNotification);
    // Red while gating is switched off: the integrated value then follows no standard.
    standardIndicator.setColour (juce::Label::textColourId,
                                 s.controls.gatingOff ? EditorPalette::alarmRed : EditorPalette::okGreen);
}

void RiroruduLoudnessAudioProcessorEditor::resetAlarmHold (const PageSnapshot& s)
{
    alarmHoldCounting = false;
    alarmHoldCounter = 0;
    const auto seconds = s.controls.overloadHold;
    alarmHoldEnabled = seconds != 0.0;

    if (alarmHoldEnabled)
        alarmHoldLimit = (int)(seconds * 1000.0 / refreshIntervalMilliseconds);
}

void RiroruduLoudnessAudioProcessorEditor::showLoudnessReadouts (const PageSnapshot& s)
{
    const auto ebu = s.controls.ebu;
    const auto& limits = ebu ? ebuLimits : atscLimits;
    auto integrated = (float)s.readings.integrated;
    auto shortTerm = (float)s.readings.shortTerm;

    auto integratedColour = EditorPalette::alarmRed;

    if (limits.l2 <= integrated && integrated <= limits.l1)
        integratedColour = EditorPalette::okGreen;
    else if ((limits.l1 < integrated && integrated <= limits.l0) ||
             (limits.l3 <= integrated && integrated < limits.l2))
        integratedColour = EditorPalette::cautionYellow;

    const auto shortTermColour =
        s.controls.shortTermThreshold < (double)shortTerm ? EditorPalette::alarmRed : EditorPalette::okGreen;

    juce::String unit;

    if (s.controls.relative)
    {
        unit = "LU";
        const auto offset = ebu ? 23.0f : 24.0f;
        const auto relative = [offset] (float level) { return level > -70.0f ? level + offset : -70.0f; };
        integrated = relative (integrated);
        shortTerm = relative (shortTerm);
    }
    else
    {
        unit = ebu ? "LUFS" : "LKFS";
    }

    integratedReadout.setColour (juce::Label::textColourId, integratedColour);
    shortTermReadout.setColour (juce::Label::textColourId, shortTermColour);
    shortTermReadout.setText (ReadoutText::value (shortTerm, unit), juce::dontSendNotification);
    integratedReadout.setText (ReadoutText::value (integrated, unit), juce::dontSendNotification);

    // The range is dimmed until a minute has been measured: it is still settling.
    const auto stable = MeterReadings::isRangeStable (s.readings.measuredSamples, s.sampleRate);
    rangeReadout.setColour (juce::Label::textColourId,
                            stable ? EditorPalette::white : EditorPalette::midGrey);
}

void RiroruduLoudnessAudioProcessorEditor::showHistogram (bool momentarySource)
{
    const auto& source = momentarySource ? tarnProcessor.loudnessModule.momentaryHistogram
                                         : tarnProcessor.loudnessModule.shortTermHistogram;
    source.copyTo (freshLevels, freshCounts);

    if (freshLevels.size() != cachedLevels.size() || freshCounts.size() != cachedCounts.size())
        return;

    if (freshLevels == cachedLevels && freshCounts == cachedCounts)
        return;

    histogram.setData (freshLevels, freshCounts);
    histogram.repaint();
    cachedLevels.swapWith (freshLevels);
    cachedCounts.swapWith (freshCounts);
}

void RiroruduLoudnessAudioProcessorEditor::showHistory (const PageSnapshot& s)
{
    // The page follows the meter's scale and alarm level even while hidden, but takes the
    // history's new steps only while it is shown.
    historyPage.setDisplay (juce::jmax (0, lastScaleKey), (float)s.controls.alarmLevel, s.frameRate);

    if (pageShown[historyPageIndex])
        historyPage.refresh();
}

void RiroruduLoudnessAudioProcessorEditor::showAlarm (const MeterReadings& r)
{
    const auto over = r.truePeakOver == 1;

    if (over)
        peakAlarmButton.setEnabled (true);

    peakAlarmButton.setToggleState (over, juce::dontSendNotification);

    if (!over)
        peakAlarmButton.setEnabled (false);
}

void RiroruduLoudnessAudioProcessorEditor::runAlarmHold (const MeterReadings& r)
{
    if (!alarmHoldEnabled)
    {
        clearOverloads();
        return;
    }

    if (r.truePeakOver != 1)
        return;

    if (!alarmHoldCounting)
    {
        alarmHoldCounting = true;
        alarmHoldCounter = 0;
    }
    else if (alarmHoldCounter < alarmHoldLimit)
    {
        ++alarmHoldCounter;
    }
    else
    {
        alarmHoldCounting = false;
        alarmHoldCounter = 0;
        clearOverloads();
    }
}

//==============================================================================
void RiroruduLoudnessAudioProcessorEditor::setReportFileRequest (FileRequest request)
{
    fileRequest = std::move (request);
}

void RiroruduLoudnessAudioProcessorEditor::setAlertFunction (AlertFunction alert)
{
    alertFunction = std::move (alert);
}

void RiroruduLoudnessAudioProcessorEditor::saveReport()
{
    auto onChosen = [safeThis = juce::Component::SafePointer<RiroruduLoudnessAudioProcessorEditor> (this)] (
                        const juce::File& file)
    {
        // Cancelled (no file) or closed meanwhile: nothing to write, nothing to say.
        if (safeThis != nullptr && file != juce::File())
            safeThis->statisticsPage.writeReportTo (file);
    };

    if (fileRequest)
    {
        fileRequest (std::move (onChosen));
        return;
    }

    fileChooser = std::make_unique<juce::FileChooser> (
        "Save report file", juce::File::getSpecialLocation (juce::File::userDocumentsDirectory), "*.txt",
        true);
    fileChooser->launchAsync (
        juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles |
            juce::FileBrowserComponent::warnAboutOverwriting,
        [onChosen] (const juce::FileChooser& chooser) { onChosen (chooser.getResult()); });
}

void RiroruduLoudnessAudioProcessorEditor::showFailure (const juce::String& title,
                                                        const juce::String& message)
{
    if (alertFunction)
    {
        alertFunction (title, message);
        return;
    }

    juce::AlertWindow::showAsync (juce::MessageBoxOptions()
                                      .withIconType (juce::MessageBoxIconType::WarningIcon)
                                      .withTitle (title)
                                      .withMessage (message)
                                      .withButton ("OK")
                                      .withAssociatedComponent (this),
                                  nullptr);
}
