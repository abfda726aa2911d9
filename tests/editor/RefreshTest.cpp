#include "EditorFixture.h"

#include "support/TestSignals.h"

#include <gtest/gtest.h>

using namespace EditorTest;

namespace
{
const juce::Colour green (0xFF81CA2F);
const juce::Colour yellow (0xFFFFFF00);
const juce::Colour red (0xFFD70014);

juce::Colour textColour (juce::Label& label)
{
    return label.findColour (juce::Label::textColourId);
}

// The integrated readout's text and colour for one integrated loudness.
std::pair<juce::String, juce::Colour> integratedShown (Fixture& f, float lufs)
{
    f.processor->readings.integrated = lufs;
    f.tick();
    return {f.probe->integratedReadout().getText(), textColour (f.probe->integratedReadout())};
}

juce::AudioSampleBuffer overBlock()
{
    // A full-scale square wave: far above the default alarm level of -1 dBTP, in L only.
    return TestSignals::square (rate, 1000.0, 0.0f, 0.1, TestSignals::only (TestSignals::L));
}
} // namespace

TEST (EditorRefresh, TheIntegratedReadoutIsColouredByTheLimitsOfTheStandard)
{
    Fixture f;

    EXPECT_EQ (integratedShown (f, -23.0f), std::make_pair (juce::String ("-23.0 LUFS"), green));
    EXPECT_EQ (integratedShown (f, -21.0f).second, yellow);
    EXPECT_EQ (integratedShown (f, -20.5f).second, red);
    EXPECT_EQ (integratedShown (f, -27.0f).second, yellow);
    EXPECT_EQ (integratedShown (f, -29.0f).second, red);
    EXPECT_EQ (integratedShown (f, -24.0f).second, green);
    EXPECT_EQ (integratedShown (f, -26.5f).second, yellow);
    EXPECT_EQ (integratedShown (f, -70.0f), std::make_pair (juce::String ("-"), red));

    // ATSC and ARIB accept down to -26.
    f.setParameter ("Measurement Standard", 1.0f);
    EXPECT_EQ (integratedShown (f, -26.5f), std::make_pair (juce::String ("-26.5 LKFS"), yellow));
    EXPECT_EQ (integratedShown (f, -25.5f).second, green);
    EXPECT_EQ (integratedShown (f, -20.5f).second, red);
}

TEST (EditorRefresh, RelativeUnitsShowLoudnessInLuAgainstTheStandardsTarget)
{
    Fixture f;
    auto& r = f.processor->readings;
    f.setParameter ("Measurement Standard", 1.0f);
    f.setParameter ("Measurement Unit", 1.0f);

    EXPECT_EQ (integratedShown (f, -24.0f), std::make_pair (juce::String ("0.0 LU"), green));
    EXPECT_EQ (integratedShown (f, -25.5f), std::make_pair (juce::String ("-1.5 LU"), green));
    EXPECT_EQ (integratedShown (f, -70.0f).first, "-");

    f.setParameter ("Measurement Standard", 0.0f);
    r.shortTerm = -18.0f;
    EXPECT_EQ (integratedShown (f, -21.6f).first, "1.4 LU");
    EXPECT_EQ (f.probe->shortTermReadout().getText(), "5.0 LU");

    // The statistics page keeps absolute units.
    EXPECT_EQ (f.probe->integratedValue().getText(), "-21.6 ");
    EXPECT_EQ (f.probe->integratedUnit().getText(), "LUFS");
}

TEST (EditorRefresh, ShortTermIsRedAboveItsThresholdAndPeaksReadWithoutUnit)
{
    Fixture f;
    auto& r = f.processor->readings;
    auto& p = *f.probe;

    r.shortTerm = -9.0f;
    f.tick();
    EXPECT_EQ (textColour (p.shortTermReadout()), red);
    EXPECT_EQ (p.shortTermReadout().getText(), "-9.0 LUFS");
    r.shortTerm = -10.0f;
    f.tick();
    EXPECT_EQ (textColour (p.shortTermReadout()), green);

    r.peakHold[0] = -1.3f;
    r.peakHold[3] = 0.04f;
    r.loudnessRange = 5.25f;
    f.tick();
    EXPECT_EQ (p.truePeakValue (0).getText(), "-1.3 ");
    EXPECT_EQ (p.truePeakValue (3).getText(), "0.0 ");
    EXPECT_EQ (p.truePeakValue (1).getText(), "-");
    EXPECT_EQ (p.rangeReadout().getText(), "5.3 LU");
    EXPECT_EQ (p.rangeValue().getText(), "5.3 ");
    EXPECT_EQ (p.maxTruePeakValue().getText(), "-");
}

TEST (EditorRefresh, ElapsedTimeCountsFramesAtTheHostRateOrThirty)
{
    Fixture f;
    auto& r = f.processor->readings;

    f.playHead.info.setFrameRate (juce::AudioPlayHead::fps25);
    f.process (TestSignals::silence (rate, 0.01));
    r.measuredSamples = 5760000.0;
    f.tick();
    EXPECT_EQ (f.probe->elapsedTime().getText(), "00:02:00:00");
    r.measuredSamples = 5760000.0 + 24000.0;
    f.tick();
    EXPECT_EQ (f.probe->elapsedTime().getText(), "00:02:00:12");

    f.playHead.info.setFrameRate (juce::Optional<juce::AudioPlayHead::FrameRate>());
    f.process (TestSignals::silence (rate, 0.01));
    f.tick();
    EXPECT_EQ (f.probe->elapsedTime().getText(), "00:02:00:15");

    r.measuredSamples = 48000.0 * 3725.0;
    f.tick();
    EXPECT_EQ (f.probe->elapsedTime().getText(), "01:02:05:00");
}

TEST (EditorRefresh, TheLoudnessRangeIsDimmedUntilAMinuteHasBeenMeasured)
{
    Fixture f;
    auto& r = f.processor->readings;
    f.process (TestSignals::silence (rate, 0.01));
    const auto colourOf = [] (juce::Label& l) { return l.findColour (juce::Label::textColourId); };

    for (const double seconds : {0.0, 59.99, 60.0, 0.0})
    {
        r.measuredSamples = seconds * rate;
        f.tick();
        const bool stable = seconds >= 60.0;
        EXPECT_EQ (colourOf (f.probe->rangeReadout()) == colourOf (f.probe->integratedRowCaption()), stable)
            << seconds;
        EXPECT_EQ (colourOf (f.probe->rangeValue()), colourOf (f.probe->rangeReadout())) << seconds;
    }
}

TEST (EditorRefresh, PositionsOfTheMaximaUseFramesOrMilliseconds)
{
    Fixture f;
    auto& r = f.processor->readings;

    f.process (TestSignals::silence (rate, 0.01)); // the host reports no frame rate
    r.maxMomentary = -14.0f;
    r.maxMomentaryTime = 3725.25;
    r.maxTruePeakTime = 0.0;
    f.tick();
    EXPECT_EQ (f.probe->maxMomentaryPosition().getText(), "01:02:05:250");
    EXPECT_EQ (f.probe->maxMomentaryValue().getText(), "-14.0 ");
    EXPECT_EQ (f.probe->maxTruePeakPosition().getText(), "00:00:00:000");

    f.playHead.info.setFrameRate (juce::AudioPlayHead::fps25);
    f.process (TestSignals::silence (rate, 0.01));
    r.maxShortTermTime = 65.5;
    f.tick();
    EXPECT_EQ (f.probe->maxShortTermPosition().getText(), "00:01:05:12");
    EXPECT_EQ (f.probe->maxMomentaryPosition().getText(), "01:02:05:06");
}

TEST (EditorRefresh, AnOverStaysLitForTheOverloadHoldTime)
{
    Fixture f;
    auto& r = f.processor->readings;
    auto& lamp = f.probe->overloadIndicator (0);
    f.tick();

    // 3 s: the processor's flags are cleared in the 61st tick after the first one that shows
    // them, and the lamps go dark in the tick after that.
    f.process (overBlock());
    ASSERT_EQ (r.truePeakOver, 1);
    ASSERT_EQ (r.channelOver[0], 1);
    f.tick();
    EXPECT_TRUE (lamp.getToggleState());
    EXPECT_FALSE (f.probe->overloadIndicator (1).getToggleState());
    f.tick (60);
    EXPECT_EQ (r.truePeakOver, 1);
    EXPECT_TRUE (lamp.getToggleState());
    f.tick();
    EXPECT_EQ (r.truePeakOver, 0);
    EXPECT_EQ (r.channelOver[0], 0);
    EXPECT_TRUE (lamp.getToggleState());
    f.tick();
    EXPECT_FALSE (lamp.getToggleState());
    EXPECT_FALSE (f.probe->peakAlarm().getToggleState());

    // 0 s: lit for a single tick.
    f.setParameter ("TruePeak Over Time", 0.0f);
    f.tick();
    f.process (overBlock());
    f.tick();
    EXPECT_TRUE (lamp.getToggleState());
    EXPECT_EQ (r.truePeakOver, 0);
    f.tick();
    EXPECT_FALSE (lamp.getToggleState());
}

TEST (EditorRefresh, LoadingAStateThatChangesOnlyTheUnitSwitchesToLu)
{
    Fixture f;
    auto& p = *f.probe;
    f.measure (minus23Programme());
    f.tick();
    ASSERT_EQ (p.integratedReadout().getText(), "-23.0 LUFS");
    ASSERT_TRUE (sameImage (p.meterPanel().getImage(), p.imageEbu9()));

    Tarn51AudioProcessor other;
    other.parameters.setValue (other.parameters.indexOf ("Measurement Unit"), 1.0f);
    juce::MemoryBlock state;
    other.getStateInformation (state);
    f.processor->setStateInformation (state.getData(), (int)state.getSize());

    f.tick();
    EXPECT_TRUE (sameImage (p.meterPanel().getImage(), p.imageLu9()));
    EXPECT_EQ (p.unitCaption().getText(), "ML   LU");
    EXPECT_EQ (p.unitCaption().getBounds(), juce::Rectangle<int> (41, 406, 84, 22));
    EXPECT_EQ (p.unitCaptionK().getBounds(), juce::Rectangle<int> (62, 410, 84, 22));
    EXPECT_EQ (p.integratedReadout().getText(), "0.0 LU");
    EXPECT_TRUE (p.shortTermReadout().getText().endsWith (" LU"));
    EXPECT_EQ (p.histogram().getScaleType(), 1);
    EXPECT_EQ (p.standardBox().getSelectedId(), 1);
}

TEST (EditorRefresh, TheScaleImageCaptionAndStatisticsUnitsFollowTheSettings)
{
    Fixture f;
    auto& p = *f.probe;

    f.setParameter ("Measurement Standard", 2.0f);
    f.setParameter ("Measurement Scale", 1.0f);
    f.setParameter ("TruePeak Ref Level", 1.0f);
    f.tick();
    EXPECT_TRUE (sameImage (p.meterPanel().getImage(), p.imageAtsc18()));
    EXPECT_EQ (p.histogram().getScaleType(), 6);
    EXPECT_TRUE (sameImage (p.truePeakScaleImage().getImage(), p.imagePeak20()));
    EXPECT_EQ (p.unitCaption().getText(), "ML   LKFS");
    EXPECT_EQ (p.unitCaption().getBounds(), juce::Rectangle<int> (33, 406, 84, 22));
    EXPECT_EQ (p.integratedUnit().getText(), "LKFS");
    EXPECT_EQ (p.maxShortTermUnit().getText(), "LKFS");
    EXPECT_EQ (p.maxMomentaryUnit().getText(), "LKFS");
    EXPECT_EQ (p.standardIndicator().getText(), "ARIB");
    EXPECT_EQ (textColour (p.standardIndicator()), green);

    f.setParameter ("Measurement Unit", 1.0f);
    f.setParameter ("TruePeak Ref Level", 0.0f);
    f.setParameter ("Measurement Type", 1.0f);
    f.tick();
    EXPECT_TRUE (sameImage (p.meterPanel().getImage(), p.imageLu18()));
    EXPECT_EQ (p.histogram().getScaleType(), 7);
    EXPECT_TRUE (sameImage (p.truePeakScaleImage().getImage(), p.imagePeak18()));
    EXPECT_EQ (textColour (p.standardIndicator()), red); // gating switched off
}

TEST (EditorRefresh, TruePeakBarsTakeTheAlarmLevelSplitAndTheHoldTime)
{
    Fixture f;
    f.setParameter ("TruePeak Max Level", -12.0f);
    f.setParameter ("TruePeak Hold Time", 2.0f);
    f.tick();

    // Before any audio: the split still lies on the true-peak scale.
    MeterScale scale;
    scale.setType (8);

    for (int c = 0; c < 6; ++c)
    {
        EXPECT_FLOAT_EQ (f.probe->truePeakBar (c).getSplitPosition(), (float)scale.positionOf (-12.0));
        EXPECT_EQ (f.probe->truePeakBar (c).getHoldTicks(), 40);
    }

    EXPECT_NEAR (f.probe->truePeakBar (0).getSplitPosition(), 0.6359f, 1.0e-4f);
}

TEST (EditorRefresh, TheMetersAndHistogramShowTheMeasurement)
{
    Fixture f;
    auto& p = *f.probe;
    f.playHead.info.setFrameRate (juce::AudioPlayHead::fps25);
    f.setParameter ("ML Threshold", -22.0f);
    f.setParameter ("STL Threshold", -22.0f);
    f.measure (minus23Programme());
    f.tick (100);

    const auto& r = f.processor->readings;
    EXPECT_FLOAT_EQ (p.momentaryBar().getLevel(), juce::jlimit (0.0f, 1.0f, (float)r.momentaryPosition));
    EXPECT_NEAR (p.targetArrow().getPosition(), r.shortTermPosition, 1.0e-3f);
    EXPECT_NEAR (p.rangeMeter().getRangeLow(), r.rangeLowPosition, 1.0e-3f);
    EXPECT_NEAR (p.rangeMeter().getRangeHigh(), r.rangeHighPosition, 1.0e-3f);
    EXPECT_EQ (p.integratedValue().getText(), "-23.0 ");
    EXPECT_EQ (p.momentaryHits().getText(), juce::String ((int)r.momentaryHits));
    EXPECT_GT ((int)r.momentaryHits, 0);
    EXPECT_EQ (p.shortTermHits().getText(), juce::String ((int)r.shortTermHits));
    EXPECT_EQ (p.elapsedTime().getText(), "00:00:30:00");

    // The histogram holds the momentary bins that lie on the scale.
    const auto& bins = p.histogram().getBinValues();
    ASSERT_FALSE (bins.isEmpty());
    EXPECT_GE (bins.getFirst(), -41.0);
    EXPECT_LE (bins.getLast(), -14.0);

    // Unchanged bins are not handed over again: what the histogram was given last stays.
    p.histogram().setData ({-30.0f}, {1.0f});
    f.tick();
    EXPECT_EQ (p.histogram().getBinValues().size(), 1);

    // Switching the source hands over the short-term bins.
    f.setParameter ("Histogram Loudness", 1.0f);
    f.tick();
    EXPECT_GT (p.histogram().getBinValues().size(), 1);
}
