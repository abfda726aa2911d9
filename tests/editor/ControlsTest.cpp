#include "EditorFixture.h"

#include "support/TestSignals.h"

#include <gtest/gtest.h>

using namespace EditorTest;

namespace
{
// Records what reaches the host through the processor's parameter notifications.
struct HostRecorder : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        changes.push_back ({index, value});
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    std::vector<std::pair<int, float>> changes;
};

void choose (juce::ComboBox& box, int id)
{
    box.setSelectedId (id, juce::sendNotificationSync);
}

void move (juce::Slider& slider, double value)
{
    slider.setValue (value, juce::sendNotificationSync);
}
} // namespace

TEST (EditorControls, EverySettingsControlWritesItsParameterAndTellsTheHost)
{
    Fixture f;
    auto& p = *f.probe;
    f.tick();
    HostRecorder host;
    f.processor->addListener (&host);
    auto& table = f.processor->parameters;

    choose (p.standardBox(), 3);
    EXPECT_EQ (f.parameter ("Measurement Standard"), 2.0f);
    ASSERT_FALSE (host.changes.empty());
    EXPECT_EQ (host.changes.back(), std::make_pair (table.indexOf ("Measurement Standard"), 1.0f));

    choose (p.scaleBox(), 2);
    EXPECT_EQ (f.parameter ("Measurement Scale"), 1.0f);
    choose (p.unitsBox(), 2);
    EXPECT_EQ (f.parameter ("Measurement Unit"), 1.0f);
    choose (p.channelOrderBox(), 3);
    EXPECT_EQ (f.parameter ("Surround layout"), 2.0f);
    choose (p.referenceBox(), 2);
    EXPECT_EQ (f.parameter ("TruePeak Ref Level"), 1.0f);

    host.changes.clear();
    move (p.alarmLevel(), -3.0);
    EXPECT_EQ (f.parameter ("TruePeak Max Level"), -3.0f);
    ASSERT_EQ (host.changes.size(), 1u); // one control, one parameter
    EXPECT_EQ (host.changes[0], std::make_pair (table.indexOf ("TruePeak Max Level"), 0.75f));

    move (p.peakHold(), 0.0);
    EXPECT_EQ (f.parameter ("TruePeak Hold Time"), 0.0f);
    move (p.overloadHold(), 7.0);
    EXPECT_EQ (f.parameter ("TruePeak Over Time"), 7.0f);
    move (p.momentaryThreshold(), -20.0);
    EXPECT_EQ (f.parameter ("ML Threshold"), -20.0f);
    move (p.shortTermThreshold(), -27.0);
    EXPECT_EQ (f.parameter ("STL Threshold"), -27.0f);

    Fixture::click (p.gatingCheckBox());
    EXPECT_EQ (f.parameter ("Measurement Type"), 1.0f);
    Fixture::click (p.gatingCheckBox());
    EXPECT_EQ (f.parameter ("Measurement Type"), 0.0f);

    ASSERT_TRUE (p.followCheckBox().getToggleState()); // the plug-in follows the host by default
    Fixture::click (p.followCheckBox());
    EXPECT_EQ (f.parameter ("Follow Transport"), 0.0f);
    f.tick();
    EXPECT_TRUE (p.playPause().isEnabled());
    Fixture::click (p.followCheckBox());
    EXPECT_EQ (f.parameter ("Follow Transport"), 1.0f);
    f.tick();
    EXPECT_FALSE (p.playPause().isEnabled());

    // setParameterFromControl limits what it sends to the host's 0..1.
    f.editor->setParameterFromControl ("ML Threshold", -45.0f);
    EXPECT_EQ (f.parameter ("ML Threshold"), -30.0f);
    f.editor->setParameterFromControl ("No Such Parameter", 1.0f); // ignored

    f.processor->removeListener (&host);
}

TEST (EditorControls, PanelButtonsDriveTheRunStateTheResetAndTheHistogramSource)
{
    Fixture f;
    auto& p = *f.probe;
    f.setParameter ("Follow Transport", 0.0f);
    f.tick();

    Fixture::click (p.playPause());
    EXPECT_EQ (f.processor->manualRun, 1);
    EXPECT_TRUE (sameImage (shownImage (p.playPause()), p.imagePause()));
    Fixture::click (p.playPause());
    EXPECT_EQ (f.processor->manualRun, 0);
    EXPECT_TRUE (sameImage (shownImage (p.playPause()), p.imagePlay()));

    Fixture::click (p.histogramSwitch());
    EXPECT_EQ (f.parameter ("Histogram Loudness"), 1.0f);
    Fixture::click (p.histogramSwitch());
    EXPECT_EQ (f.parameter ("Histogram Loudness"), 0.0f);

    // Reset: readings, maxima and histograms start again.
    Fixture::click (p.playPause());
    f.process (TestSignals::sine (rate, 1000.0, -20.0f, 4.0, TestSignals::stereo()));
    f.tick();
    ASSERT_NE (p.maxMomentaryValue().getText(), "-");
    Fixture::click (p.reset());
    EXPECT_EQ ((float)f.processor->readings.maxMomentary, -70.0f);
    EXPECT_EQ (f.processor->loudnessModule.momentaryHistogram.countAtOrAbove (-70.0f), 0);
    f.tick();
    EXPECT_EQ (p.maxMomentaryValue().getText(), "-");
    EXPECT_EQ (p.elapsedTime().getText(), "00:00:00:00");
}

TEST (EditorControls, OnlyALitAlarmCanBeClickedAndClickingItClearsEveryOverFlag)
{
    Fixture f;
    auto& r = f.processor->readings;
    f.tick();

    // Unlit: disabled, so a click does nothing.
    r.truePeakOver = 1;
    r.channelOver[2] = 1;
    Fixture::click (f.probe->peakAlarm());
    Fixture::click (f.probe->overloadIndicator (2));
    EXPECT_EQ (r.truePeakOver, 1);
    EXPECT_EQ (r.channelOver[2], 1);

    // Lit after a refresh: the alarm button clears the processor's flags.
    f.tick();
    ASSERT_TRUE (f.probe->peakAlarm().isEnabled());
    EXPECT_TRUE (f.probe->overloadIndicator (2).getToggleState());
    EXPECT_FALSE (f.probe->overloadIndicator (1).isEnabled());
    Fixture::click (f.probe->peakAlarm());
    EXPECT_EQ (r.truePeakOver, 0);
    EXPECT_EQ (r.channelOver[2], 0);
    f.tick();
    EXPECT_FALSE (f.probe->peakAlarm().isEnabled());
    EXPECT_FALSE (f.probe->overloadIndicator (2).getToggleState());

    // So does a lit channel lamp, for all six channels at once.
    r.truePeakOver = 1;
    r.channelOver[0] = 1;
    r.channelOver[5] = 1;
    f.tick();
    Fixture::click (f.probe->overloadIndicator (5));
    EXPECT_EQ (r.truePeakOver, 0);
    EXPECT_EQ (r.channelOver[0], 0);
    EXPECT_EQ (r.channelOver[5], 0);
}

TEST (EditorControls, TheRefreshCopiesParameterValuesIntoTheControls)
{
    Fixture f;
    auto& p = *f.probe;
    auto& table = f.processor->parameters;

    f.setParameter ("Measurement Standard", 1.0f);
    f.setParameter ("Measurement Scale", 1.0f);
    f.setParameter ("Surround layout", 1.0f);
    f.setParameter ("TruePeak Max Level", -6.0f);
    f.setParameter ("TruePeak Hold Time", 2.0f);
    f.setParameter ("Histogram Loudness", 1.0f);
    f.setParameter ("Measurement Type", 0.5f); // a host between the steps: halves round to even
    f.tick();

    EXPECT_EQ (p.standardBox().getSelectedId(), 2);
    EXPECT_EQ (p.scaleBox().getSelectedId(), 2);
    EXPECT_EQ (p.channelOrderBox().getSelectedId(), 2);
    EXPECT_EQ (p.alarmLevel().getValue(), -6.0);
    EXPECT_EQ (p.peakHold().getValue(), 2.0);
    EXPECT_TRUE (p.histogramSwitch().getToggleState());
    EXPECT_FALSE (p.gatingCheckBox().getToggleState());
    EXPECT_EQ (p.standardIndicator().getText(), "ATSC");

    // A stored choice outside the box's items leaves the box as it was.
    table.setValue (table.indexOf ("Measurement Standard"), 7.0f);
    table.markAllChanged();
    f.tick();
    EXPECT_EQ (p.standardBox().getSelectedId(), 2);

    // Syncing does not write back: nothing reaches the host for the boxes or check boxes.
    HostRecorder host;
    f.processor->addListener (&host);
    f.setParameter ("Measurement Standard", 2.0f);
    f.tick();
    dispatchMessages();
    for (const auto& change : host.changes)
        EXPECT_NE (change.first, table.indexOf ("Measurement Standard"));
    f.processor->removeListener (&host);
}

TEST (EditorControls, AThresholdBetweenTheSliderStepsIsWrittenBackAsTheStep)
{
    Fixture f;
    f.setParameter ("ML Threshold", -15.4f);
    f.setParameter ("STL Threshold", -12.6f);
    f.tick();
    EXPECT_EQ (f.probe->momentaryThreshold().getValue(), -15.0);
    dispatchMessages();
    EXPECT_EQ (f.parameter ("ML Threshold"), -15.0f);
    EXPECT_EQ (f.parameter ("STL Threshold"), -13.0f);
}

TEST (EditorControls, TheUnitsBoxNamesTheStandardsUnitAndWritesItBack)
{
    Fixture f;
    auto& p = *f.probe;
    f.tick();
    EXPECT_EQ (p.unitsBox().getText(), "LUFS");

    f.setParameter ("Measurement Standard", 2.0f);
    f.tick();
    EXPECT_EQ (p.unitsBox().getItemText (0), "LKFS");
    EXPECT_EQ (p.unitsBox().getText(), "LKFS");

    HostRecorder host;
    f.processor->addListener (&host);
    dispatchMessages();
    const auto unitIndex = f.processor->parameters.indexOf ("Measurement Unit");
    EXPECT_NE (std::find (host.changes.begin(), host.changes.end(), std::make_pair (unitIndex, 0.0f)),
               host.changes.end());
    f.processor->removeListener (&host);
}
