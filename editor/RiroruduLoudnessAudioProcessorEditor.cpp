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
    // The logo and the switch keep their own references to the images.
    using namespace BinaryData;
    const auto image = WidgetStyle::decode;

    histogramLogo.setImage (image (Logo_png, Logo_pngSize), juce::RectanglePlacement::centred);
    histogramLogo.setBounds (12, 0, 60, 25);
    histogramPanel.addAndMakeVisible (histogramLogo);

    histogram.setBounds (10, 41, 110, 352);
    histogramPanel.addAndMakeVisible (histogram);

    WidgetStyle::label (histogramMomentaryLabel, histogramPanel, "ML", 9, 403, 84, 20, 15.0f);
    WidgetStyle::label (histogramMomentaryK, histogramPanel, "k", 28, 407, 84, 20, 12.0f);
    WidgetStyle::label (histogramShortTermLabel, histogramPanel, "SL", 82, 403, 84, 20, 15.0f);
    WidgetStyle::label (histogramShortTermK, histogramPanel, "k", 96, 407, 84, 20, 12.0f);

    WidgetStyle::buttonImages (histogramSwitch, {image (Switch_Off_png, Switch_Off_pngSize),
                                                 image (Switch_Off_Over_png, Switch_Off_Over_pngSize),
                                                 {},
                                                 {},
                                                 image (Switch_On_png, Switch_On_pngSize),
                                                 image (Switch_On_Over_png, Switch_On_Over_pngSize)});
    histogramSwitch.setClickingTogglesState (true);
    histogramSwitch.setBounds (49, 405, 32, 13);
    histogramSwitch.addListener (this);
    histogramPanel.addAndMakeVisible (histogramSwitch);
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
    if (button == &histogramSwitch)
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
    meterPanel.showRunState (s, following);

    // The settings page first: the other parts read the settings as its controls hold them.
    settingsPage.update (s);
    snapshot.controls = settingsPage.controls();
    reactToChanges (s);

    meterPanel.update (s, settingsPage.standardText(), settingsPage.followsTransport());

    if (meterPanel.getScaleType() != lastScaleType)
    {
        lastScaleType = meterPanel.getScaleType();
        histogram.setScaleType (lastScaleType);
    }

    showHistogram (s.valueOf (s.indices.histogramLoudness) == 0.0f);
    truePeakPage.update (s);
    statisticsPage.update (s);
    showHistory (s);
    runAlarmHold (s.readings);
}

void RiroruduLoudnessAudioProcessorEditor::reactToChanges (const PageSnapshot& s)
{
    const auto& i = s.indices;
    histogramSwitch.setToggleState ((int)s.valueOf (i.histogramLoudness) == 1, juce::dontSendNotification);

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

void RiroruduLoudnessAudioProcessorEditor::resetAlarmHold (const PageSnapshot& s)
{
    alarmHoldCounting = false;
    alarmHoldCounter = 0;
    const auto seconds = s.controls.overloadHold;
    alarmHoldEnabled = seconds != 0.0;

    if (alarmHoldEnabled)
        alarmHoldLimit = (int)(seconds * 1000.0 / refreshIntervalMilliseconds);
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
    historyPage.setDisplay (juce::jmax (0, lastScaleType), (float)s.controls.alarmLevel, s.frameRate);

    if (pageShown[historyPageIndex])
        historyPage.refresh();
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
