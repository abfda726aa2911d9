#include "editor/LoudnessMeterPanel.h"

#include "editor/EditorPalette.h"
#include "processor/Tarn51AudioProcessor.h"
#include "report/ReadoutText.h"

LoudnessMeterPanel::LoudnessMeterPanel (Tarn51AudioProcessor& p, PageActions& a)
    : tarnProcessor (p), actions (a)
{
    setImage (imageEbu9, juce::RectanglePlacement::stretchToFit);

    addAndMakeVisible (momentaryBar);
    momentaryBar.setMeterBounds (58, 41, 25);

    rangeMeter.setBounds (110, 41, 16, 352);
    addAndMakeVisible (rangeMeter);

    targetArrow.setBounds (126, 41, 16, 352);
    addAndMakeVisible (targetArrow);

    WidgetStyle::label (peakLabel, *this, "Peak", 167, 17, 90, 60, 17.0f);

    WidgetStyle::buttonImages (peakAlarmButton, {imageAlertOff, {}, {}, imageAlertOff, imageAlertOn});
    peakAlarmButton.setClickingTogglesState (true);
    peakAlarmButton.setBounds (210, 37, 20, 20);
    peakAlarmButton.setEnabled (false);
    peakAlarmButton.addListener (this);
    addAndMakeVisible (peakAlarmButton);

    const auto centred = juce::Justification::centred;
    WidgetStyle::label (integratedReadout, *this, {}, 154, 75, 84, 60, 15.0f, centred);
    WidgetStyle::label (integratedCaption, *this, "Integrated", 154, 92, 84, 60, 14.0f, centred);
    WidgetStyle::label (shortTermReadout, *this, {}, 154, 135, 84, 60, 15.0f, centred);
    WidgetStyle::label (shortTermCaption, *this, "Short Term", 154, 152, 84, 60, 14.0f, centred);
    WidgetStyle::label (rangeReadout, *this, {}, 154, 195, 84, 60, 15.0f, centred);
    WidgetStyle::label (rangeCaption, *this, "Range", 154, 212, 84, 60, 14.0f, centred);
    WidgetStyle::label (standardIndicator, *this, {}, 154, 248, 84, 60, 15.0f, centred);
    WidgetStyle::label (elapsedTime, *this, "00:00:00:00", 154, 285, 84, 60, 15.0f);

    WidgetStyle::buttonImages (
        playPauseButton, {imagePlay, {}, {}, imagePlayDisabled, imagePause, {}, {}, imagePauseDisabled});
    playPauseButton.setClickingTogglesState (true);
    playPauseButton.setBounds (154, 330, 84, 24);
    playPauseButton.addListener (this);
    addAndMakeVisible (playPauseButton);

    WidgetStyle::buttonImages (resetButton, {imageReset, {}, imageResetPushed});
    resetButton.setBounds (154, 369, 84, 24);
    resetButton.addListener (this);
    addAndMakeVisible (resetButton);

    WidgetStyle::label (unitCaption, *this, "ML   LUFS", 32, 406, 84, 22, 16.0f);
    unitCaption.setColour (juce::Label::backgroundColourId, EditorPalette::black);
    WidgetStyle::label (unitCaptionK, *this, "k", 53, 410, 84, 22, 12.0f);
}

LoudnessMeterPanel::~LoudnessMeterPanel()
{
    for (auto* button : {&peakAlarmButton, &playPauseButton, &resetButton})
        button->removeListener (this);
}

void LoudnessMeterPanel::buttonClicked (juce::Button* button)
{
    if (button == &playPauseButton)
        tarnProcessor.manualRun = playPauseButton.getToggleState() ? 1 : 0;
    else if (button == &resetButton)
        tarnProcessor.resetMeasurement();
    else if (button == &peakAlarmButton)
        actions.clearOverloads();
}

void LoudnessMeterPanel::showRunState (const PageSnapshot& s, bool followingTransport)
{
    elapsedTime.setText (ReadoutText::elapsed (s.readings.measuredSamples, s.sampleRate, s.frameRate),
                         juce::dontSendNotification);

    if (followingTransport)
        playPauseButton.setToggleState (s.measuring, juce::dontSendNotification);
}

void LoudnessMeterPanel::update (const PageSnapshot& s, const juce::String& standardText,
                                 bool followingTransport)
{
    const auto& i = s.indices;
    const auto& r = s.readings;

    if (s.changed (i.standard) || s.changed (i.scale) || s.changed (i.unit) || s.changed (i.referenceLevel))
    {
        updateCaption (s);
        updateScaleImage (s);
    }

    if (s.changed (i.standard) || s.changed (i.type))
    {
        standardIndicator.setText (standardText, juce::dontSendNotification);
        // Red while gating is switched off: the integrated value then follows no standard.
        standardIndicator.setColour (juce::Label::textColourId,
                                     s.controls.gatingOff ? EditorPalette::alarmRed : EditorPalette::okGreen);
    }

    if (s.changed (i.followTransport))
        playPauseButton.setEnabled (!followingTransport);

    momentaryBar.setLevel (r.momentaryPosition);
    targetArrow.setTarget (r.shortTermPosition);
    rangeMeter.setTargetRange (r.rangeLowPosition, r.rangeHighPosition);
    rangeReadout.setText (ReadoutText::value (r.loudnessRange, ReadoutText::rangeUnit()),
                          juce::dontSendNotification);
    showLoudnessReadouts (s);
    showAlarm (r);
}

void LoudnessMeterPanel::updateCaption (const PageSnapshot& s)
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

void LoudnessMeterPanel::updateScaleImage (const PageSnapshot& s)
{
    const auto& c = s.controls;
    const auto type = (c.relative ? 1 : 0) + (c.scaleId == 2 ? 2 : 0) + (c.ebu ? 0 : 4);

    if (type == scaleType)
        return;

    scaleType = type;
    const juce::Image* images[] = {&imageEbu9,  &imageLu9, &imageEbu18,  &imageLu18,
                                   &imageAtsc9, &imageLu9, &imageAtsc18, &imageLu18};
    setImage (*images[type], juce::RectanglePlacement::stretchToFit);
    repaint();
}

void LoudnessMeterPanel::showLoudnessReadouts (const PageSnapshot& s)
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

void LoudnessMeterPanel::showAlarm (const MeterReadings& r)
{
    const auto over = r.truePeakOver == 1;

    if (over)
        peakAlarmButton.setEnabled (true);

    peakAlarmButton.setToggleState (over, juce::dontSendNotification);

    if (!over)
        peakAlarmButton.setEnabled (false);
}
