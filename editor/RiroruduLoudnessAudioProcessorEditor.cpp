#include "editor/RiroruduLoudnessAudioProcessorEditor.h"

#include "processor/Tarn51AudioProcessor.h"
#include "report/LoudnessReport.h"
#include "report/ReadoutText.h"

#include <algorithm>
#include <tuple>

namespace
{
const juce::Colour white (0xFFFFFFFF);
const juce::Colour black (0xFF000000);

constexpr int buildNumber = 509;
const char* const contactAddress = "https://velnor.org/contact";
const char* const userGuideAddress = "https://velnor.org/tarn51/support";

constexpr int truePeakColumnX[] = {70, 99, 128, 157, 185, 215};
constexpr int truePeakLabelX[] = {66, 96, 125, 154, 183, 210};
const char* const truePeakLabelNames[] = {"TPLeftDisplay", "TPRightDisplay", "TPCenterDisplay",
                                          "TPLFEDisplay",  "TPLeftSDisplay", "TPRightSDisplay"};

juce::String tabText (const char* text)
{
    // Tab texts are padded with a no-break blank at each end.
    const auto noBreakBlank = juce::String::charToString ((juce::juce_wchar)0x00A0);
    return noBreakBlank + text + noBreakBlank;
}

// A drawable of one image for the image buttons; null for no image.
std::unique_ptr<juce::Drawable> drawableOf (const juce::Image& image)
{
    if (!image.isValid())
        return nullptr;

    auto drawable = std::make_unique<juce::DrawableImage>();
    drawable->setImage (image);
    return drawable;
}

struct ButtonImages
{
    juce::Image normal, over, down, disabled, normalOn, overOn, downOn, disabledOn;
};

void setButtonImages (juce::DrawableButton& button, const ButtonImages& images)
{
    const auto normal = drawableOf (images.normal);
    const auto over = drawableOf (images.over);
    const auto down = drawableOf (images.down);
    const auto disabled = drawableOf (images.disabled);
    const auto normalOn = drawableOf (images.normalOn);
    const auto overOn = drawableOf (images.overOn);
    const auto downOn = drawableOf (images.downOn);
    const auto disabledOn = drawableOf (images.disabledOn);
    button.setImages (normal.get(), over.get(), down.get(), disabled.get(), normalOn.get(), overOn.get(),
                      downOn.get(), disabledOn.get());

    // The images are the whole button: no fill behind them, on or off.
    button.setColour (juce::DrawableButton::backgroundColourId, juce::Colours::transparentBlack);
    button.setColour (juce::DrawableButton::backgroundOnColourId, juce::Colours::transparentBlack);
}

bool bitSet (std::uint32_t bits, int index)
{
    return index >= 0 && (bits & (1u << (unsigned)index)) != 0;
}
} // namespace

//==============================================================================
juce::Image RiroruduLoudnessAudioProcessorEditor::decode (const char* data, int size)
{
    // Decoded directly, not through juce::ImageCache: the cache's purge timer would still be
    // running when a plug-in host unloads the library, and JUCE then deletes it on the host's
    // thread while the plug-in's message thread may be calling it.
    return juce::ImageFileFormat::loadFrom (data, static_cast<size_t> (size));
}

RiroruduLoudnessAudioProcessorEditor::RiroruduLoudnessAudioProcessorEditor (Tarn51AudioProcessor& p)
    : juce::AudioProcessorEditor (p), tarnProcessor (p), standalone (p.isStandalone()),
      historyPageComponent (p.loudnessHistory)
{
    auto& table = tarnProcessor.parameters;
    indices.standard = table.indexOf ("Measurement Standard");
    indices.scale = table.indexOf ("Measurement Scale");
    indices.unit = table.indexOf ("Measurement Unit");
    indices.type = table.indexOf ("Measurement Type");
    indices.followTransport = table.indexOf ("Follow Transport");
    indices.surroundLayout = table.indexOf ("Surround layout");
    indices.referenceLevel = table.indexOf ("TruePeak Ref Level");
    indices.maxLevel = table.indexOf ("TruePeak Max Level");
    indices.holdTime = table.indexOf ("TruePeak Hold Time");
    indices.overTime = table.indexOf ("TruePeak Over Time");
    indices.histogramLoudness = table.indexOf ("Histogram Loudness");
    indices.momentaryThreshold = table.indexOf ("ML Threshold");
    indices.shortTermThreshold = table.indexOf ("STL Threshold");

    truePeakScale.setType (8);

    setOpaque (true);
    setSize (editorWidth, editorHeight);

    buildHistogramPanel();
    buildMeterPanel();
    buildSettingsPage();
    buildTruePeakPage();
    buildStatisticsPage();
    buildAboutPage();

    addAndMakeVisible (histogramPanel);
    addAndMakeVisible (truePeakPageComponent);
    addAndMakeVisible (meterPanel);
    addAndMakeVisible (settingsPageComponent);
    addAndMakeVisible (aboutPageComponent);
    addAndMakeVisible (statisticsPageComponent);
    addAndMakeVisible (historyPageComponent);
    settingsPageComponent.setVisible (false);
    aboutPageComponent.setVisible (false);
    statisticsPageComponent.setVisible (false);
    historyPageComponent.setVisible (false);

    buildPageTabs();

    startTimer (refreshIntervalMilliseconds);
    lastScaleKey = lastTruePeakReference = lastCaptionKey = lastStandard = -1;
    cachedLevels.insertMultiple (0, -100.0f, LoudnessHistogram::numBins);
    cachedCounts.insertMultiple (0, 0.0f, LoudnessHistogram::numBins);

    // The first refresh then brings every control and readout up to date.
    table.markAllChanged();

    updatePanels();
}

RiroruduLoudnessAudioProcessorEditor::~RiroruduLoudnessAudioProcessorEditor()
{
    stopTimer();
    fileChooser.reset();
    pageTabs.removeChangeListener (this);

    for (auto* slider : {&momentaryThresholdSlider, &shortTermThresholdSlider, &alarmLevelSlider,
                         &peakHoldSlider, &overloadHoldSlider})
        slider->setLookAndFeel (nullptr);

    for (auto* box : {&standardBox, &scaleBox, &unitsBox, &channelOrderBox, &referenceBox})
        box->setLookAndFeel (nullptr);
}

//==============================================================================
void RiroruduLoudnessAudioProcessorEditor::initialiseLabel (juce::Label& label, juce::Component& parent,
                                                            const juce::String& text, int x, int y, int w,
                                                            int h, float fontHeight,
                                                            juce::Justification justification)
{
    label.setText (text, juce::dontSendNotification);
    label.setFont (juce::Font (fontHeight));
    label.setColour (juce::Label::textColourId, white);
    label.setColour (juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    label.setJustificationType (justification);
    // Left-aligned texts need no margin on their right: the whole width then holds the text,
    // which the narrow caption boxes need with wider typefaces.
    if (justification == juce::Justification::centredLeft)
        label.setBorderSize ({1, 5, 1, 0});
    label.setEditable (false, false, false);
    // Display only: labels overlap the buttons and boxes next to them and must not take their clicks.
    label.setInterceptsMouseClicks (false, false);
    label.setBounds (x, y, w, h);
    parent.addAndMakeVisible (label);
}

void RiroruduLoudnessAudioProcessorEditor::initialiseBox (juce::ComboBox& box, juce::Component& parent, int x,
                                                          int y, int w, int h)
{
    box.setColour (juce::ComboBox::backgroundColourId, lightGrey);
    box.setColour (juce::ComboBox::outlineColourId, midGrey);
    box.setColour (juce::ComboBox::buttonColourId, midGrey);
    box.setColour (juce::ComboBox::arrowColourId, black);
    box.setLookAndFeel (&boxLook);
    box.setBounds (x, y, w, h);
    box.addListener (this);
    parent.addAndMakeVisible (box);
}

void RiroruduLoudnessAudioProcessorEditor::initialiseSlider (juce::Slider& slider, juce::Component& parent,
                                                             double minimum, double maximum, int x, int y,
                                                             int w, int h)
{
    slider.setLookAndFeel (&sliderLook);
    slider.setSliderStyle (juce::Slider::LinearBar);
    slider.setTextBoxIsEditable (false);
    slider.setRange (minimum, maximum, 1.0);
    slider.setColour (juce::Slider::backgroundColourId, lightGrey);
    slider.setColour (juce::Slider::thumbColourId, accentBlue);
    slider.setBounds (x, y, w, h);
    slider.addListener (this);
    parent.addAndMakeVisible (slider);
}

void RiroruduLoudnessAudioProcessorEditor::buildHistogramPanel()
{
    histogramLogo.setImage (imageLogo, juce::RectanglePlacement::centred);
    histogramLogo.setBounds (12, 0, 60, 25);
    histogramPanel.addAndMakeVisible (histogramLogo);

    histogram.setBounds (10, 41, 110, 352);
    histogramPanel.addAndMakeVisible (histogram);

    initialiseLabel (histogramMomentaryLabel, histogramPanel, "ML", 9, 403, 84, 20, 15.0f);
    initialiseLabel (histogramMomentaryK, histogramPanel, "k", 28, 407, 84, 20, 12.0f);
    initialiseLabel (histogramShortTermLabel, histogramPanel, "SL", 82, 403, 84, 20, 15.0f);
    initialiseLabel (histogramShortTermK, histogramPanel, "k", 96, 407, 84, 20, 12.0f);

    setButtonImages (histogramSwitch,
                     {imageSwitchOff, imageSwitchOffOver, {}, {}, imageSwitchOn, imageSwitchOnOver});
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

    initialiseLabel (peakLabel, meterPanel, "Peak", 167, 17, 90, 60, 17.0f);

    setButtonImages (peakAlarmButton, {imageAlertOff, {}, {}, imageAlertOff, imageAlertOn});
    peakAlarmButton.setClickingTogglesState (true);
    peakAlarmButton.setBounds (210, 37, 20, 20);
    peakAlarmButton.setEnabled (false);
    peakAlarmButton.addListener (this);
    meterPanel.addAndMakeVisible (peakAlarmButton);

    const auto centred = juce::Justification::centred;
    initialiseLabel (integratedReadout, meterPanel, {}, 154, 75, 84, 60, 15.0f, centred);
    initialiseLabel (integratedCaption, meterPanel, "Integrated", 154, 92, 84, 60, 14.0f, centred);
    initialiseLabel (shortTermReadout, meterPanel, {}, 154, 135, 84, 60, 15.0f, centred);
    initialiseLabel (shortTermCaption, meterPanel, "Short Term", 154, 152, 84, 60, 14.0f, centred);
    initialiseLabel (rangeReadout, meterPanel, {}, 154, 195, 84, 60, 15.0f, centred);
    initialiseLabel (rangeCaption, meterPanel, "Range", 154, 212, 84, 60, 14.0f, centred);
    initialiseLabel (standardIndicator, meterPanel, {}, 154, 248, 84, 60, 15.0f, centred);
    initialiseLabel (elapsedTime, meterPanel, "00:00:00:00", 154, 285, 84, 60, 15.0f);

    setButtonImages (playPauseButton,
                     {imagePlay, {}, {}, imagePlayDisabled, imagePause, {}, {}, imagePauseDisabled});
    playPauseButton.setClickingTogglesState (true);
    playPauseButton.setBounds (154, 330, 84, 24);
    playPauseButton.addListener (this);
    meterPanel.addAndMakeVisible (playPauseButton);

    setButtonImages (resetButton, {imageReset, {}, imageResetPushed});
    resetButton.setBounds (154, 369, 84, 24);
    resetButton.addListener (this);
    meterPanel.addAndMakeVisible (resetButton);

    initialiseLabel (unitCaption, meterPanel, "ML   LUFS", 32, 406, 84, 22, 16.0f);
    unitCaption.setColour (juce::Label::backgroundColourId, black);
    initialiseLabel (unitCaptionK, meterPanel, "k", 53, 410, 84, 22, 12.0f);
}

void RiroruduLoudnessAudioProcessorEditor::buildSettingsPage()
{
    auto& page = settingsPageComponent;
    page.setImage (imageSettingsBackground, juce::RectanglePlacement::stretchToFit);

    initialiseLabel (modeTitle, page, "Loudness Metering Mode", 13, 17, 400, 60, 17.0f);

    initialiseLabel (standardLabel, page, "Standard:", 13, 61, 60, 30, 14.0f);
    standardBox.addItem ("EBU", 1);
    standardBox.addItem ("ATSC", 2);
    standardBox.addItem ("ARIB", 3);
    initialiseBox (standardBox, page, 110, 69, 105, 13);

    initialiseLabel (scaleLabel, page, "Scale:", 13, 96, 45, 30, 14.0f);
    scaleBox.addItem ("+9", 1);
    scaleBox.addItem ("+18", 2);
    initialiseBox (scaleBox, page, 110, 104, 105, 13);

    initialiseLabel (unitsLabel, page, "Units:", 13, 131, 45, 30, 14.0f);
    unitsBox.addItem ("LUFS", 1);
    unitsBox.addItem ("LU", 2);
    initialiseBox (unitsBox, page, 110, 137, 105, 13);

    // The standalone program assigns device channels in its audio settings instead.
    channelOrderBox.addItem ("ITU - L R C LFE Ls Rs", 1);
    channelOrderBox.addItem ("C|24 - L C R Ls Rs LFE", 2);
    channelOrderBox.addItem ("DTS - L R Ls Rs C LFE", 3);

    if (!standalone)
    {
        initialiseLabel (channelOrderLabel, page, "Ch. order:", 13, 164, 70, 30, 14.0f);
        initialiseBox (channelOrderBox, page, 110, 170, 105, 13);
    }

    initialiseLabel (momentaryThresholdLabel, page, "ML threshold:", 13, 197, 100, 30, 14.0f);
    initialiseSlider (momentaryThresholdSlider, page, -30.0, -10.0, 110, 203, 105, 13);
    initialiseLabel (shortTermThresholdLabel, page, "SL threshold:", 13, 227, 100, 30, 14.0f);
    initialiseSlider (shortTermThresholdSlider, page, -30.0, -10.0, 110, 233, 105, 13);

    setButtonImages (gatingCheckBox, {imageCheckOff, {}, {}, {}, imageCheckOn});
    gatingCheckBox.setClickingTogglesState (true);
    gatingCheckBox.setBounds (17, 259, 12, 12);
    gatingCheckBox.addListener (this);
    page.addAndMakeVisible (gatingCheckBox);
    initialiseLabel (gatingLabel, page, "Integrated loudness gating off", 35, 235, 180, 60, 14.0f);

    // Built in the standalone program too, where it still follows its parameter, but only shown
    // in the plug-in: a standalone program has no host transport to follow.
    setButtonImages (followCheckBox, {imageCheckOff, {}, {}, {}, imageCheckOn});
    followCheckBox.setClickingTogglesState (true);
    followCheckBox.setBounds (17, 278, 12, 12);
    followCheckBox.addListener (this);

    if (standalone)
    {
        followLabel.setText ("Follow transport", juce::dontSendNotification);

        setButtonImages (audioSettingsButton, {imageAudioSettings, {}, imageAudioSettingsPushed});
        audioSettingsButton.setBounds (17, 281, 96, 22);
        audioSettingsButton.addListener (this);
        page.addAndMakeVisible (audioSettingsButton);
    }
    else
    {
        page.addAndMakeVisible (followCheckBox);
        initialiseLabel (followLabel, page, "Follow transport", 35, 254, 180, 60, 14.0f);
    }

    initialiseLabel (truePeakTitle, page, "True Peak Meter", 12, 300, 160, 60, 17.0f);
    initialiseLabel (referenceLabel, page, "True peak ref. level:", 12, 336, 180, 60, 14.0f);
    referenceBox.addItem ("-18", 1);
    referenceBox.addItem ("-20", 2);
    initialiseBox (referenceBox, page, 150, 357, 39, 14);

    initialiseLabel (alarmLevelLabel, page, "True peak max. level:", 12, 374, 150, 30, 14.0f);
    initialiseSlider (alarmLevelSlider, page, -12.0, 0.0, 150, 382, 40, 12);
    initialiseLabel (alarmLevelUnit, page, "dBTP", 195, 374, 150, 30, 14.0f);

    initialiseLabel (peakHoldLabel, page, "Peak hold:", 12, 399, 150, 30, 14.0f);
    initialiseSlider (peakHoldSlider, page, 0.0, 10.0, 150, 407, 40, 12);
    initialiseLabel (peakHoldUnit, page, "sec", 195, 399, 150, 30, 14.0f);

    initialiseLabel (overloadHoldLabel, page, "Overload hold:", 12, 424, 150, 30, 14.0f);
    initialiseSlider (overloadHoldSlider, page, 0.0, 10.0, 150, 432, 40, 12);
    initialiseLabel (overloadHoldUnit, page, "sec", 195, 424, 150, 30, 14.0f);
}

void RiroruduLoudnessAudioProcessorEditor::buildTruePeakPage()
{
    truePeakScaleImage.setImage (imagePeak18, juce::RectanglePlacement::stretchToFit);
    truePeakScaleImage.setBounds (0, 0, 301, 472);
    truePeakPageComponent.addAndMakeVisible (truePeakScaleImage);

    for (int c = 0; c < numChannels; ++c)
    {
        auto& bar = truePeakBars[c];
        truePeakPageComponent.addAndMakeVisible (bar);
        bar.setMeterBounds (truePeakColumnX[c], 39, 16);
        bar.setAttackTime (0.0001f);
        bar.setReleaseTime (0.0002f);
        bar.setBallisticsEnabled (true);

        auto& indicator = overloadIndicators[c];
        setButtonImages (indicator, {imageLedOff, {}, {}, imageLedOff, imageLedOn});
        indicator.setClickingTogglesState (true);
        indicator.setBounds (truePeakColumnX[c], 28, 17, 8);
        indicator.setEnabled (false);
        indicator.addListener (this);
        truePeakPageComponent.addAndMakeVisible (indicator);

        auto& value = truePeakValues[c];
        initialiseLabel (value, truePeakPageComponent, {}, truePeakLabelX[c], 407, 22, 19, 10.0f,
                         juce::Justification::centred);
        value.setName (truePeakLabelNames[c]);
        value.setBorderSize (juce::BorderSize<int> (1));
        value.setColour (juce::Label::outlineColourId, midGrey);
    }
}

void RiroruduLoudnessAudioProcessorEditor::buildStatisticsPage()
{
    auto& page = statisticsPageComponent;
    page.setImage (imageStatisticsBackground, juce::RectanglePlacement::stretchToFit);

    const auto centred = juce::Justification::centred;
    initialiseLabel (statisticsTitle, page, "Statistics", 13, 17, 90, 60, 17.0f);
    initialiseLabel (valuesHeader, page, "Values", 155, 60, 100, 20, 13.0f);
    initialiseLabel (positionHeader, page, "Position", 213, 60, 90, 20, 13.0f, centred);

    // Each value sits immediately left of its unit, as wide as its text.
    const auto attachValue = [this, &page] (juce::Label& value, juce::Label& unit)
    {
        initialiseLabel (value, page, {}, 0, 0, 0, 0, 13.0f);
        // No side margins: the value's trailing blank and the unit's own margin keep the two
        // apart, and the value keeps clear of the long row captions.
        value.setBorderSize ({1, 0, 1, 0});
        value.attachToComponent (&unit, true);
    };

    initialiseLabel (integratedRowCaption, page, "Program Loudness:", 12, 70, 400, 60, 13.0f);
    initialiseLabel (integratedUnit, page, "LUFS", 178, 70, 130, 60, 13.0f);
    attachValue (integratedValue, integratedUnit);

    initialiseLabel (rangeRowCaption, page, "Loudness Range:", 12, 100, 130, 60, 13.0f);
    initialiseLabel (rangeUnit, page, "LU", 178, 100, 130, 60, 13.0f);
    attachValue (rangeValue, rangeUnit);

    initialiseLabel (maxShortTermCaption, page, "Max. S.T. Loudness:", 12, 130, 220, 60, 13.0f);
    initialiseLabel (maxShortTermUnit, page, "LUFS", 178, 130, 130, 60, 13.0f);
    attachValue (maxShortTermValue, maxShortTermUnit);
    initialiseLabel (maxShortTermPosition, page, {}, 213, 130, 90, 60, 13.0f, centred);

    initialiseLabel (maxMomentaryCaption, page, "Max. Mom. Loudness:", 12, 160, 220, 60, 13.0f);
    initialiseLabel (maxMomentaryUnit, page, "LUFS", 178, 160, 130, 60, 13.0f);
    attachValue (maxMomentaryValue, maxMomentaryUnit);
    initialiseLabel (maxMomentaryPosition, page, {}, 213, 160, 90, 60, 13.0f, centred);

    initialiseLabel (maxTruePeakCaption, page, "Max. True Peak:", 12, 190, 180, 60, 13.0f);
    initialiseLabel (maxTruePeakUnit, page, "dBTP", 178, 190, 130, 60, 13.0f);
    attachValue (maxTruePeakValue, maxTruePeakUnit);
    initialiseLabel (maxTruePeakPosition, page, {}, 213, 190, 90, 60, 13.0f, centred);

    initialiseLabel (hitsTitle, page, "Number of hits over threshold", 12, 250, 200, 60, 15.0f);
    initialiseLabel (momentaryHitsCaption, page, "Mom. Loudness: ", 12, 280, 200, 60, 13.0f);
    initialiseLabel (momentaryHits, page, "0", 160, 280, 200, 60, 13.0f);
    initialiseLabel (shortTermHitsCaption, page, "S.T. Loudness: ", 12, 310, 200, 60, 13.0f);
    initialiseLabel (shortTermHits, page, "0", 160, 310, 200, 60, 13.0f);

    setButtonImages (saveReportButton, {imageSave, {}, imageSavePushed});
    saveReportButton.setBounds (17, 365, 80, 20);
    saveReportButton.addListener (this);
    page.addAndMakeVisible (saveReportButton);
}

void RiroruduLoudnessAudioProcessorEditor::buildAboutPage()
{
    auto& page = aboutPageComponent;

    aboutLogo.setImage (imageLogo, juce::RectanglePlacement::centred);
    aboutLogo.setBounds (78, 120, 194, 60);
    page.addAndMakeVisible (aboutLogo);

    juce::String version;
    version << tarnProcessor.getName() << " Version " << JucePlugin_VersionString
            << (sizeof (void*) == 8 ? " 64b" : " 32b") << " (" << buildNumber << ")";
    initialiseLabel (versionLine, page, version, 0, 200, 320, 20, 14.0f, juce::Justification::centred);

    for (auto [link, text, address, y] : {std::tuple<juce::HyperlinkButton*, const char*, const char*, int>{
                                              &contactLink, "Contact us", contactAddress, 252},
                                          std::tuple<juce::HyperlinkButton*, const char*, const char*, int>{
                                              &userGuideLink, "User Guide", userGuideAddress, 282}})
    {
        link->setButtonText (text);
        link->setURL (juce::URL (address));
        link->setFont (juce::Font (14.0f), false, juce::Justification::centred);
        link->setColour (juce::HyperlinkButton::textColourId, white);
        link->setBounds (0, y, 320, 20);
        page.addAndMakeVisible (*link);
    }
}

void RiroruduLoudnessAudioProcessorEditor::buildPageTabs()
{
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
    g.fillAll (black);
}

void RiroruduLoudnessAudioProcessorEditor::updatePanels()
{
    histogramPanel.setBounds (0, 0, 130, 472);
    histogramPanel.setVisible (true);
    meterPanel.setBounds (130, 0, 249, 472);
    pageTabs.setBounds (699, 0, 30, 325);
    pageTabs.setVisible (true);

    juce::Component* pages[numPages] = {&truePeakPageComponent, &statisticsPageComponent,
                                        &settingsPageComponent, &aboutPageComponent, &historyPageComponent};

    for (int i = 0; i < numPages; ++i)
    {
        if (pageShown[i])
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
            pageTabs.setTabBackgroundColour (i, i == index ? black : lightGrey);
            pageShown[i] = i == index;
        }

        repaint();
    }

    updatePanels();

    if (pageShown[historyPage])
        historyPageComponent.refresh();
}

void RiroruduLoudnessAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    if (button == &playPauseButton)
    {
        tarnProcessor.manualRun = playPauseButton.getToggleState() ? 1 : 0;
    }
    else if (button == &resetButton)
    {
        tarnProcessor.resetMeasurement();
    }
    else if (button == &peakAlarmButton ||
             std::any_of (std::begin (overloadIndicators), std::end (overloadIndicators),
                          [button] (const juce::DrawableButton& b) { return &b == button; }))
    {
        clearOverFlags();
    }
    else if (button == &histogramSwitch)
    {
        setParameterFromControl ("Histogram Loudness", histogramSwitch.getToggleState() ? 1.0f : 0.0f);
    }
    else if (button == &saveReportButton)
    {
        writeReport();
    }
    else if (button == &gatingCheckBox)
    {
        setParameterFromControl ("Measurement Type", gatingCheckBox.getToggleState() ? 1.0f : 0.0f);
    }
    else if (button == &followCheckBox)
    {
        setParameterFromControl ("Follow Transport", followCheckBox.getToggleState() ? 1.0f : 0.0f);
    }
    else if (button == &audioSettingsButton)
    {
        if (audioSettingsCallback != nullptr)
            audioSettingsCallback (audioSettingsContext);
    }
}

void RiroruduLoudnessAudioProcessorEditor::comboBoxChanged (juce::ComboBox* box)
{
    const auto id = box->getSelectedId();

    // Nothing selected (id 0) is no choice to write.
    if (id == 0)
        return;

    const auto value = (float)(id - 1);

    if (box == &standardBox)
        setParameterFromControl ("Measurement Standard", value);
    else if (box == &scaleBox)
        setParameterFromControl ("Measurement Scale", value);
    else if (box == &unitsBox)
        setParameterFromControl ("Measurement Unit", value);
    else if (box == &channelOrderBox)
        setParameterFromControl ("Surround layout", value);
    else if (box == &referenceBox)
        setParameterFromControl ("TruePeak Ref Level", value);
}

void RiroruduLoudnessAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    const auto value = (float)slider->getValue();

    if (slider == &momentaryThresholdSlider)
        setParameterFromControl ("ML Threshold", value);
    else if (slider == &shortTermThresholdSlider)
        setParameterFromControl ("STL Threshold", value);
    else if (slider == &alarmLevelSlider)
        setParameterFromControl ("TruePeak Max Level", value);
    else if (slider == &peakHoldSlider)
        setParameterFromControl ("TruePeak Hold Time", value);
    else if (slider == &overloadHoldSlider)
        setParameterFromControl ("TruePeak Over Time", value);
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
void RiroruduLoudnessAudioProcessorEditor::timerCallback()
{
    shown = tarnProcessor.readings;
    const auto frameRate = tarnProcessor.getHostFrameRate();
    const double sampleRate = tarnProcessor.currentSampleRate;

    elapsedTime.setText (ReadoutText::elapsed (shown.measuredSamples, sampleRate, frameRate),
                         juce::dontSendNotification);

    if (followCheckBox.getToggleState())
        playPauseButton.setToggleState (tarnProcessor.measuring != 0, juce::dontSendNotification);

    for (auto& bar : truePeakBars)
        bar.setSampleRate (sampleRate);

    // The changed flags are taken before the values: a change that arrives in between is then
    // still flagged for the next tick instead of being cleared unseen.
    auto& table = tarnProcessor.parameters;
    std::uint32_t changedBits = 0;

    for (int i = 0; i < ParameterTable::numParameters; ++i)
        if (table.testAndClearChanged (i))
            changedBits |= 1u << (unsigned)i;

    const auto values = table.getValues();
    syncControls (values);
    reactToChanges (changedBits);

    momentaryBar.setLevel (shown.momentaryPosition);
    targetArrow.setTarget (shown.shortTermPosition);
    rangeMeter.setTargetRange (shown.rangeLowPosition, shown.rangeHighPosition);

    for (int c = 0; c < numChannels; ++c)
        truePeakBars[c].setLevel (shown.peakPosition[c]);

    rangeReadout.setText (ReadoutText::value (shown.loudnessRange, ReadoutText::rangeUnit()),
                          juce::dontSendNotification);
    showLoudnessReadouts (shown);

    for (int c = 0; c < numChannels; ++c)
        truePeakValues[c].setText (ReadoutText::value (shown.peakHold[c], {}), juce::dontSendNotification);

    showHistogram (values[(size_t)indices.histogramLoudness] == 0.0f);
    showHistory();

    momentaryHits.setText (juce::String ((int)shown.momentaryHits), juce::dontSendNotification);
    shortTermHits.setText (juce::String ((int)shown.shortTermHits), juce::dontSendNotification);

    showAlarm (shown);

    integratedValue.setText (ReadoutText::value (shown.integrated, {}), juce::dontSendNotification);
    rangeValue.setText (ReadoutText::value (shown.loudnessRange, {}), juce::dontSendNotification);

    // The range is dimmed until a minute has been measured: it is still settling.
    const auto rangeColour =
        MeterReadings::isRangeStable (shown.measuredSamples, sampleRate) ? white : midGrey;
    rangeReadout.setColour (juce::Label::textColourId, rangeColour);
    rangeValue.setColour (juce::Label::textColourId, rangeColour);
    maxShortTermValue.setText (ReadoutText::value (shown.maxShortTerm, {}), juce::dontSendNotification);
    maxMomentaryValue.setText (ReadoutText::value (shown.maxMomentary, {}), juce::dontSendNotification);
    maxTruePeakValue.setText (ReadoutText::value (shown.maxTruePeak, {}), juce::dontSendNotification);
    maxMomentaryPosition.setText (ReadoutText::position (shown.maxMomentaryTime, frameRate),
                                  juce::dontSendNotification);
    maxShortTermPosition.setText (ReadoutText::position (shown.maxShortTermTime, frameRate),
                                  juce::dontSendNotification);
    maxTruePeakPosition.setText (ReadoutText::position (shown.maxTruePeakTime, frameRate),
                                 juce::dontSendNotification);

    runAlarmHold (shown);
}

void RiroruduLoudnessAudioProcessorEditor::syncControls (
    const std::array<float, ParameterTable::numParameters>& values)
{
    const auto valueOf = [&values] (int index) { return values[(size_t)index]; };
    const auto choiceOf = [&values] (int index)
    { return ParameterTable::roundHalfEven (values[(size_t)index]); };
    const auto none = juce::dontSendNotification;

    // Three-way boxes take only the documented choices; anything else leaves them as they are.
    for (auto [box, index] : {std::pair<juce::ComboBox*, int>{&standardBox, indices.standard},
                              std::pair<juce::ComboBox*, int>{&channelOrderBox, indices.surroundLayout}})
    {
        const auto choice = choiceOf (index);

        if (choice >= 0 && choice <= 2)
            box->setSelectedId (choice + 1, none);
    }

    scaleBox.setSelectedId (choiceOf (indices.scale) != 0 ? 2 : 1, none);
    unitsBox.setSelectedId (choiceOf (indices.unit) != 0 ? 2 : 1, none);
    referenceBox.setSelectedId (choiceOf (indices.referenceLevel) != 0 ? 2 : 1, none);

    gatingCheckBox.setToggleState (choiceOf (indices.type) != 0, none);
    followCheckBox.setToggleState (choiceOf (indices.followTransport) != 0, none);

    alarmLevelSlider.setValue ((double)valueOf (indices.maxLevel), none);
    peakHoldSlider.setValue ((double)valueOf (indices.holdTime), none);
    overloadHoldSlider.setValue ((double)valueOf (indices.overTime), none);

    histogramSwitch.setToggleState ((int)valueOf (indices.histogramLoudness) == 1, none);

    // A threshold between the slider's steps lands on a step; the asynchronous notification
    // then writes that step back, so host and slider agree.
    momentaryThresholdSlider.setValue ((double)valueOf (indices.momentaryThreshold),
                                       juce::sendNotificationAsync);
    shortTermThresholdSlider.setValue ((double)valueOf (indices.shortTermThreshold),
                                       juce::sendNotificationAsync);
}

void RiroruduLoudnessAudioProcessorEditor::reactToChanges (std::uint32_t changedBits)
{
    const auto changed = [changedBits] (int index) { return bitSet (changedBits, index); };

    if (changed (indices.standard) || changed (indices.scale) || changed (indices.unit) ||
        changed (indices.referenceLevel))
    {
        updateCaption();
        updateStatisticsUnits();
        updateScaleImage();
    }

    if (changed (indices.standard) || changed (indices.type))
        updateStandardIndicator();

    if (changed (indices.followTransport))
        playPauseButton.setEnabled (!followCheckBox.getToggleState());

    if (changed (indices.maxLevel))
    {
        const auto split = (float)truePeakScale.positionOf (alarmLevelSlider.getValue());

        for (auto& bar : truePeakBars)
            bar.setSplitPosition (split);
    }

    if (changed (indices.overTime))
        resetAlarmHold();

    if (changed (indices.holdTime))
    {
        const auto milliseconds = (int)((float)peakHoldSlider.getValue() * 1000.0f);

        for (auto& bar : truePeakBars)
            bar.setHoldTime (milliseconds);
    }

    if (changed (indices.histogramLoudness))
        histogram.setLoudnessMode (histogramSwitch.getToggleState() ? 1 : 0);

    if (changed (indices.momentaryThreshold))
    {
        histogram.setMomentaryThreshold ((float)momentaryThresholdSlider.getValue());
        histogram.repaint();
    }

    if (changed (indices.shortTermThreshold))
    {
        histogram.setShortTermThreshold ((float)shortTermThresholdSlider.getValue());
        histogram.repaint();
    }
}

void RiroruduLoudnessAudioProcessorEditor::updateCaption()
{
    const auto key = (isEbu() ? 1 : 0) + (isRelative() ? 2 : 0);

    if (key == lastCaptionKey)
        return;

    lastCaptionKey = key;

    static const char* const texts[] = {"ML   LKFS", "ML   LUFS", "ML   LU", "ML   LU"};
    const auto relative = key >= 2;
    unitCaption.setText (texts[key], juce::dontSendNotification);
    unitCaption.setBounds (relative ? 41 : 33, 406, 84, 22);
    unitCaptionK.setBounds (relative ? 62 : 53, 410, 84, 22);

    // Item 1 is named after the standard's absolute unit; re-selecting the current item makes
    // the shown text follow, and the notification writes the unit back to the host. The id is
    // taken first: once the item is renamed the box no longer reports it as selected.
    const auto selected = unitsBox.getSelectedId();
    unitsBox.changeItemText (1, (key & 1) != 0 ? "LUFS" : "LKFS");

    if (selected != 0)
        unitsBox.setSelectedId (selected, juce::sendNotificationAsync);
}

void RiroruduLoudnessAudioProcessorEditor::updateStatisticsUnits()
{
    const auto standard = standardBox.getSelectedId();

    if (standard == lastStandard)
        return;

    lastStandard = standard;
    const auto unit = isEbu() ? "LUFS" : "LKFS";
    integratedUnit.setText (unit, juce::dontSendNotification);
    maxShortTermUnit.setText (unit, juce::dontSendNotification);
    maxMomentaryUnit.setText (unit, juce::dontSendNotification);
}

void RiroruduLoudnessAudioProcessorEditor::updateScaleImage()
{
    const auto type = (isRelative() ? 1 : 0) + (scaleBox.getSelectedId() == 2 ? 2 : 0) + (isEbu() ? 0 : 4);

    if (type != lastScaleKey)
    {
        lastScaleKey = type;
        const juce::Image* images[] = {&imageEbu9,  &imageLu9, &imageEbu18,  &imageLu18,
                                       &imageAtsc9, &imageLu9, &imageAtsc18, &imageLu18};
        meterPanel.setImage (*images[type], juce::RectanglePlacement::stretchToFit);
        histogram.setScaleType (type);
        meterPanel.repaint();
    }

    const auto reference = referenceBox.getSelectedId();

    if (reference != lastTruePeakReference)
    {
        lastTruePeakReference = reference;
        truePeakScaleImage.setImage (reference == 1 ? imagePeak18 : imagePeak20,
                                     juce::RectanglePlacement::stretchToFit);
    }
}

void RiroruduLoudnessAudioProcessorEditor::updateStandardIndicator()
{
    standardIndicator.setText (standardBox.getText(), juce::dontSendNotification);
    // Red while gating is switched off: the integrated value then follows no standard.
    standardIndicator.setColour (juce::Label::textColourId,
                                 gatingCheckBox.getToggleState() ? alarmRed : okGreen);
}

void RiroruduLoudnessAudioProcessorEditor::resetAlarmHold()
{
    alarmHoldCounting = false;
    alarmHoldCounter = 0;
    const auto seconds = overloadHoldSlider.getValue();

    if (seconds != 0.0)
    {
        alarmHoldLimit = (int)(seconds * 1000.0 / refreshIntervalMilliseconds);
        alarmHoldEnabled = true;
    }
    else
    {
        alarmHoldEnabled = false;
    }
}

void RiroruduLoudnessAudioProcessorEditor::showLoudnessReadouts (const MeterReadings& r)
{
    const auto ebu = isEbu();
    const auto& limits = ebu ? ebuLimits : atscLimits;
    auto integrated = (float)r.integrated;
    auto shortTerm = (float)r.shortTerm;

    juce::Colour integratedColour = alarmRed;

    if (limits.l2 <= integrated && integrated <= limits.l1)
        integratedColour = okGreen;
    else if ((limits.l1 < integrated && integrated <= limits.l0) ||
             (limits.l3 <= integrated && integrated < limits.l2))
        integratedColour = cautionYellow;

    const auto shortTermColour = shortTermThresholdSlider.getValue() < (double)shortTerm ? alarmRed : okGreen;

    juce::String unit;

    if (isRelative())
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

void RiroruduLoudnessAudioProcessorEditor::showHistory()
{
    // The page follows the meter's scale and alarm level even while hidden, but takes the
    // history's new steps only while it is shown.
    historyPageComponent.setDisplay (juce::jmax (0, lastScaleKey), (float)alarmLevelSlider.getValue(),
                                     tarnProcessor.getHostFrameRate());

    if (pageShown[historyPage])
        historyPageComponent.refresh();
}

void RiroruduLoudnessAudioProcessorEditor::showAlarm (const MeterReadings& r)
{
    const auto none = juce::dontSendNotification;

    if (r.truePeakOver == 1)
    {
        peakAlarmButton.setEnabled (true);
        peakAlarmButton.setToggleState (true, none);

        for (int c = 0; c < numChannels; ++c)
        {
            if (r.channelOver[c] == 1)
            {
                overloadIndicators[c].setEnabled (true);
                overloadIndicators[c].setToggleState (true, none);
            }
        }
    }
    else
    {
        peakAlarmButton.setToggleState (false, none);
        peakAlarmButton.setEnabled (false);

        for (auto& indicator : overloadIndicators)
        {
            indicator.setToggleState (false, none);
            indicator.setEnabled (false);
        }
    }
}

void RiroruduLoudnessAudioProcessorEditor::runAlarmHold (const MeterReadings& r)
{
    if (!alarmHoldEnabled)
    {
        clearOverFlags();
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
        clearOverFlags();
    }
}

void RiroruduLoudnessAudioProcessorEditor::clearOverFlags()
{
    auto& readings = tarnProcessor.readings;
    readings.truePeakOver = 0;

    for (auto& flag : readings.channelOver)
        flag = 0;
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

void RiroruduLoudnessAudioProcessorEditor::writeReport()
{
    auto onChosen = [safeThis = juce::Component::SafePointer<RiroruduLoudnessAudioProcessorEditor> (this)] (
                        const juce::File& file)
    {
        // Cancelled (no file) or closed meanwhile: nothing to write, nothing to say.
        if (safeThis != nullptr && file != juce::File())
            safeThis->writeReportTo (file);
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

juce::Result RiroruduLoudnessAudioProcessorEditor::writeReportTo (const juce::File& file)
{
    const auto result = LoudnessReport::writeFile (file, reportText (juce::Time::getCurrentTime()));

    // Said out loud: a user who believes the report was saved would otherwise lose it.
    if (result.failed())
        showFailure ("Report not saved", "The loudness report could not be saved as\n" +
                                             file.getFullPathName() + "\n\n" + result.getErrorMessage());

    return result;
}

juce::String RiroruduLoudnessAudioProcessorEditor::reportText (const juce::Time& when) const
{
    LoudnessReport::Statistics s;
    s.integratedValue = integratedValue.getText();
    s.integratedUnit = integratedUnit.getText();
    s.rangeValue = rangeValue.getText();
    s.rangeUnit = rangeUnit.getText();
    s.maxShortTermValue = maxShortTermValue.getText();
    s.maxShortTermUnit = maxShortTermUnit.getText();
    s.maxShortTermPosition = maxShortTermPosition.getText();
    s.maxMomentaryValue = maxMomentaryValue.getText();
    s.maxMomentaryUnit = maxMomentaryUnit.getText();
    s.maxMomentaryPosition = maxMomentaryPosition.getText();
    s.maxTruePeakValue = maxTruePeakValue.getText();
    s.maxTruePeakUnit = maxTruePeakUnit.getText();
    s.maxTruePeakPosition = maxTruePeakPosition.getText();
    s.momentaryThreshold = (float)momentaryThresholdSlider.getValue();
    s.shortTermThreshold = (float)shortTermThresholdSlider.getValue();
    s.momentaryHits = momentaryHits.getText();
    s.shortTermHits = shortTermHits.getText();
    return LoudnessReport::text (tarnProcessor.getName(), when, s);
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
