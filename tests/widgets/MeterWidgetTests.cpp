#include <gtest/gtest.h>

#include "WidgetTestSupport.h"

#include "editor/RIRORuduArrowVU.h"
#include "editor/RIRORuduLRVU.h"
#include "editor/RIRORuduVU.h"

#include <vector>

using namespace WidgetTestSupport;

namespace
{
const juce::Colour ground (0xFFFF00FF);      // unpainted pixels
const juce::Colour background (0xFF101010);  // background images
const juce::Colour barColour (0xFF3892E3);   // given bar image
const juce::Colour lowerColour (0xFF81CA2F); // generated bar below the split
const juce::Colour upperColour (0xFFD70014); // generated bar above the split
const juce::Colour rangeGrey (0xFFD8D8D8);
const juce::Colour pointerColour (0xFFFFFFFF);
const juce::Colour pointerCentre (0xFFFF0000);

juce::Colour at (const juce::Image& image, int x, int y)
{
    return image.getPixelAt (x, y);
}

// The true-peak configuration: generated two-colour bar, peak hold on.
std::unique_ptr<RIRORuduVU> makePeakMeter()
{
    auto meter = std::make_unique<RIRORuduVU> (solid (15, 351, background), lowerColour, upperColour, 0.5f);
    meter->setMeterBounds (70, 39, 16);
    return meter;
}

// The momentary configuration: given bar image, no peak hold.
std::unique_ptr<RIRORuduVU> makeMomentaryMeter()
{
    auto meter = std::make_unique<RIRORuduVU> (solid (25, 350, background), solid (25, 350, barColour));
    meter->setMeterBounds (58, 41, 25);
    return meter;
}
} // namespace

TEST (MeterBar, ShowsTheBottomRowsOfTheBarImageForTheLevel)
{
    auto meter = makeMomentaryMeter();
    EXPECT_EQ (meter->getBounds(), juce::Rectangle<int> (58, 41, 25, 352));
    EXPECT_EQ (meter->getName(), juce::String ("VUMeter"));
    EXPECT_FALSE (meter->isPeakHoldEnabled());

    meter->setLevel (0.5f);
    const auto image = render (*meter);
    writeSnapshot ("widgets/momentary-bar-0.5", image);

    // 176 rows from the bottom (rows 176..351); the bar image has 350 rows, so the
    // last two rows of the taller component stay unpainted.
    EXPECT_TRUE (near (at (image, 12, 175), background));
    EXPECT_TRUE (near (at (image, 0, 176), barColour));
    EXPECT_TRUE (near (at (image, 24, 349), barColour));
    EXPECT_TRUE (near (at (image, 12, 350), ground));
    EXPECT_TRUE (near (at (image, 12, 351), ground));
    EXPECT_TRUE (near (at (image, 12, 0), background));

    // A level whose height truncates to no row draws only the background.
    meter->setLevel (0.002f);
    const auto nearlyEmpty = render (*meter);

    for (int y = 0; y < 350; ++y)
        ASSERT_TRUE (near (at (nearlyEmpty, 12, y), background)) << "row " << y;
}

TEST (MeterBar, ClampsLevelsIntoTheMeter)
{
    auto meter = makeMomentaryMeter();

    meter->setLevel (1.2f);
    EXPECT_EQ (meter->getLevel(), 1.0f);
    const auto full = render (*meter);
    EXPECT_TRUE (near (at (full, 12, 0), barColour));
    EXPECT_TRUE (near (at (full, 12, 349), barColour));

    meter->setLevel (-0.3f);
    EXPECT_EQ (meter->getLevel(), 0.0f);
}

TEST (MeterBar, PeakMarkerFollowsHoldsThenFallsWithADoublingStep)
{
    auto meter = makePeakMeter();
    ASSERT_TRUE (meter->isPeakHoldEnabled());
    ASSERT_EQ (meter->getHoldTicks(), 20);

    meter->setLevel (0.8f);
    EXPECT_FLOAT_EQ (meter->getPeak(), 0.8f);
    EXPECT_FALSE (meter->isHolding());

    // Held for holdTicks + 1 ticks.
    for (int tick = 0; tick < 21; ++tick)
    {
        meter->setLevel (0.3f);
        ASSERT_FLOAT_EQ (meter->getPeak(), 0.8f) << "tick " << tick;
        ASSERT_TRUE (meter->isHolding());
    }

    for (const auto expected : {0.795f, 0.785f, 0.765f, 0.725f, 0.645f, 0.485f, 0.165f})
    {
        meter->setLevel (0.3f);
        ASSERT_NEAR (meter->getPeak(), expected, 1.0e-6f);
    }

    // The level now lies above the marker: it jumps to the level, the step restarts.
    meter->setLevel (0.3f);
    EXPECT_FLOAT_EQ (meter->getPeak(), 0.3f);
    EXPECT_FLOAT_EQ (meter->getDecayStep(), 0.005f);
    EXPECT_FALSE (meter->isHolding());
}

TEST (MeterBar, PeakMarkerIsATwoRowSliceOfTheBarInTheColourOfItsZone)
{
    auto meter = makePeakMeter();
    meter->setLevel (0.8f);
    meter->setLevel (0.3f);

    const auto image = render (*meter);
    writeSnapshot ("widgets/true-peak-bar-marker", image);

    // Marker at 352 - (int) (352 * 0.8) = 71: rows 71 and 72, above the split: red.
    EXPECT_TRUE (near (at (image, 7, 70), background));
    EXPECT_TRUE (near (at (image, 7, 71), upperColour));
    EXPECT_TRUE (near (at (image, 7, 72), upperColour));
    EXPECT_TRUE (near (at (image, 7, 73), background));

    // Bar top at 352 - (int) (352 * 0.3) = 247, below the split: green.
    EXPECT_TRUE (near (at (image, 7, 246), background));
    EXPECT_TRUE (near (at (image, 7, 247), lowerColour));
    EXPECT_TRUE (near (at (image, 7, 350), lowerColour));

    // The background is 15 x 351: the last column and row of the 16 x 352 meter stay unpainted.
    EXPECT_TRUE (near (at (image, 15, 100), ground));
    EXPECT_TRUE (near (at (image, 7, 351), ground));
}

TEST (MeterBar, HoldTimeIsCountedInRefreshTicks)
{
    auto meter = makePeakMeter();

    meter->setHoldTime (1000);
    EXPECT_EQ (meter->getHoldTicks(), 20);
    meter->setHoldTime (10000);
    EXPECT_EQ (meter->getHoldTicks(), 200);
    meter->setHoldTime (49);
    EXPECT_EQ (meter->getHoldTicks(), 0);

    // With no hold the marker starts to fall on the second tick below it.
    meter->setLevel (0.8f);
    meter->setLevel (0.3f);
    EXPECT_FLOAT_EQ (meter->getPeak(), 0.8f);
    meter->setLevel (0.3f);
    EXPECT_NEAR (meter->getPeak(), 0.795f, 1.0e-6f);
}

TEST (MeterBar, MarkerStopsFallingAtTheBottom)
{
    auto meter = makePeakMeter();
    meter->setHoldTime (0);
    meter->setLevel (0.01f);

    for (int tick = 0; tick < 40; ++tick)
        meter->setLevel (0.0f);

    EXPECT_EQ (meter->getPeak(), 0.0f);
    EXPECT_EQ (meter->getLevel(), 0.0f);
}

TEST (MeterBar, BallisticsRiseAtOnceAndReleasePerTick)
{
    auto meter = makePeakMeter();

    // The release coefficient acts per refresh tick, derived from the audio rate.
    meter->setReleaseTime (0.0002f);
    EXPECT_EQ (meter->getReleaseCoefficient(), 0.0f); // no sample rate yet

    meter->setSampleRate (44100.0);
    EXPECT_NEAR (meter->getReleaseCoefficient(), 0.8928f, 1.0e-4f);
    meter->setSampleRate (96000.0);
    EXPECT_NEAR (meter->getReleaseCoefficient(), 0.9492f, 1.0e-4f);
    meter->setSampleRate (48000.0);
    const auto c = meter->getReleaseCoefficient();
    EXPECT_NEAR (c, 0.9011f, 1.0e-4f);

    meter->setAttackTime (0.0001f);
    meter->setBallisticsEnabled (true);

    meter->setLevel (1.0f);
    EXPECT_FLOAT_EQ (meter->getEnvelope(), 1.0f);
    EXPECT_NEAR (meter->getLevel(), 0.9999f, 1.0e-6f);

    auto expectedEnvelope = 1.0f;
    auto expectedLevel = meter->getLevel();

    for (int tick = 0; tick < 10; ++tick)
    {
        meter->setLevel (0.0f);
        expectedEnvelope *= c;
        expectedLevel = 0.9999f * expectedEnvelope + 0.0001f * expectedLevel;
        ASSERT_NEAR (meter->getEnvelope(), expectedEnvelope, 1.0e-5f) << "tick " << tick;
        ASSERT_NEAR (meter->getLevel(), expectedLevel, 1.0e-5f) << "tick " << tick;
    }

    meter->setReleaseTime (0.0f);
    EXPECT_EQ (meter->getReleaseCoefficient(), 0.0f);
}

TEST (MeterBar, SplitPositionRebuildsTheGeneratedBarOnlyWhenItChanges)
{
    auto meter = makePeakMeter();
    const auto& bar = meter->getBarImage();
    ASSERT_EQ (bar.getHeight(), 351);

    // Split 0.5 of 351 rows: 175 green rows at the bottom, 176 red rows above.
    EXPECT_TRUE (near (bar.getPixelAt (3, 175), upperColour));
    EXPECT_TRUE (near (bar.getPixelAt (3, 176), lowerColour));
    EXPECT_TRUE (near (bar.getPixelAt (3, 0), upperColour));
    EXPECT_TRUE (near (bar.getPixelAt (3, 350), lowerColour));

    // Mark a pixel: setting the same split again must leave it (no rebuild).
    juce::Image shared (bar);
    shared.setPixelAt (3, 10, juce::Colours::white);
    meter->setSplitPosition (0.5f);
    EXPECT_TRUE (near (bar.getPixelAt (3, 10), juce::Colours::white));

    meter->setSplitPosition (0.25f);
    EXPECT_TRUE (near (bar.getPixelAt (3, 10), upperColour));
    EXPECT_TRUE (near (bar.getPixelAt (3, 351 - 87 - 1), upperColour));
    EXPECT_TRUE (near (bar.getPixelAt (3, 351 - 87), lowerColour));
}

TEST (MeterBar, RepaintsOnlyWhenWhatItShowsChanged)
{
    auto meter = makePeakMeter();
    meter->setLevel (0.5f);
    RepaintCounter repaints (*meter);

    meter->setLevel (0.5f);
    EXPECT_EQ (repaints.count(), 0) << "steady level";

    meter->setSplitPosition (0.7f);
    EXPECT_EQ (repaints.count(), 0) << "a new split waits for the next level";

    meter->setLevel (0.4f);
    EXPECT_GT (repaints.count(), 0);

    // Holding: the marker does not move, so the steady level causes nothing.
    meter->setLevel (0.4f);
    repaints.reset();

    for (int tick = 0; tick < 19; ++tick)
        meter->setLevel (0.4f);

    EXPECT_EQ (repaints.count(), 0) << "hold phase";

    meter->setLevel (0.4f);
    EXPECT_GT (repaints.count(), 0) << "first decay step";
}

TEST (RangeMeter, SegmentCoversTheRowsBetweenItsEnds)
{
    auto background = solid (16, 352, juce::Colours::black);
    background.clear ({1, 1, 6, 350}, rangeGrey);
    auto bar = solid (16, 352, juce::Colours::black);
    bar.clear ({1, 1, 6, 350}, barColour);

    RIRORuduLRVU range (background, bar);
    range.setBounds (110, 41, 16, 352);
    EXPECT_EQ (range.getName(), juce::String ("LRVUMeter"));

    // From 0, a tenth of the way to 2.5 and 7.5: exactly 0.25 and 0.75.
    range.setTargetRange (2.5f, 7.5f);
    ASSERT_EQ (range.getRangeLow(), 0.25f);
    ASSERT_EQ (range.getRangeHigh(), 0.75f);

    const auto image = render (range);
    writeSnapshot ("widgets/range-0.25-0.75", image);

    // Rows 88 to 263: top = 264, bottom = 88.
    EXPECT_TRUE (near (at (image, 3, 87), rangeGrey));
    EXPECT_TRUE (near (at (image, 3, 88), barColour));
    EXPECT_TRUE (near (at (image, 3, 263), barColour));
    EXPECT_TRUE (near (at (image, 3, 264), rangeGrey));
    EXPECT_TRUE (near (at (image, 10, 150), juce::Colours::black));
}

TEST (RangeMeter, InvertedOrEmptyRangeDrawsNoSegment)
{
    RIRORuduLRVU range (solid (16, 352, rangeGrey), solid (16, 352, barColour));
    range.setBounds (0, 0, 16, 352);

    range.setTargetRange (5.0f, 1.0f); // low 0.5 above high 0.1
    const auto image = render (range);

    for (int y = 0; y < 352; ++y)
        ASSERT_TRUE (near (at (image, 3, y), rangeGrey)) << "row " << y;
}

TEST (RangeMeter, EndsMoveATenthOfTheWayAndStayInsideTheMeter)
{
    RIRORuduLRVU range (solid (16, 352, rangeGrey), solid (16, 352, barColour));
    range.setBounds (0, 0, 16, 352);
    range.setVisible (true);

    range.setTargetRange (-3.0f, 30.0f);
    EXPECT_EQ (range.getRangeLow(), 0.0f);
    EXPECT_EQ (range.getRangeHigh(), 1.0f);

    RepaintCounter repaints (range);
    range.setTargetRange (0.0f, 1.0f);
    EXPECT_EQ (repaints.count(), 0) << "nothing moved";

    range.setTargetRange (0.5f, 1.0f);
    EXPECT_FLOAT_EQ (range.getRangeLow(), 0.05f);
    EXPECT_EQ (repaints.count(), 1) << "one repaint for both ends";
}

TEST (TargetPointer, MovesATenthOfTheRemainingWayAndNeverPassesTheTop)
{
    juce::Image pointer (juce::Image::ARGB, 16, 19, false);
    pointer.clear (pointer.getBounds(), pointerColour);
    pointer.clear ({0, 9, 16, 1}, pointerCentre);

    RIRORuduArrowVU arrow (solid (16, 352, background), pointer);
    arrow.setBounds (126, 41, 16, 352);
    EXPECT_EQ (arrow.getName(), juce::String ("ArrowVUMeter"));

    arrow.setTarget (1.0f);
    EXPECT_FLOAT_EQ (arrow.getPosition(), 0.1f);
    arrow.setTarget (1.0f);
    EXPECT_FLOAT_EQ (arrow.getPosition(), 0.19f);
    arrow.setTarget (1.0f);
    EXPECT_NEAR (arrow.getPosition(), 0.271f, 1.0e-6f);

    for (int tick = 0; tick < 500; ++tick)
    {
        arrow.setTarget (1.0f);
        ASSERT_LE (arrow.getPosition(), 1.0f);
    }

    EXPECT_GT (arrow.getPosition(), 0.999f);

    arrow.setTarget (25.0f);
    EXPECT_EQ (arrow.getPosition(), 1.0f);
}

TEST (TargetPointer, PointerCentreRowSitsAtTheLevel)
{
    juce::Image pointer (juce::Image::ARGB, 16, 19, false);
    pointer.clear (pointer.getBounds(), pointerColour);
    pointer.clear ({0, 9, 16, 1}, pointerCentre);

    RIRORuduArrowVU arrow (solid (16, 352, background), pointer);
    arrow.setBounds (0, 0, 16, 352);
    arrow.setTarget (5.0f); // 0.5

    const auto image = render (arrow);
    writeSnapshot ("widgets/pointer-0.5", image);

    // y = 352 - 19 / 2 - (int) (352 * 0.5) = 167; the centre row 9 lands on row 176.
    EXPECT_TRUE (near (at (image, 4, 166), background));
    EXPECT_TRUE (near (at (image, 4, 167), pointerColour));
    EXPECT_TRUE (near (at (image, 4, 176), pointerCentre));
    EXPECT_TRUE (near (at (image, 4, 185), pointerColour));
    EXPECT_TRUE (near (at (image, 4, 186), background));
}

TEST (TargetPointer, RepaintsOnlyWhenItMoves)
{
    RIRORuduArrowVU arrow (solid (16, 352, background), solid (16, 19, pointerColour, juce::Image::ARGB));
    arrow.setBounds (0, 0, 16, 352);
    RepaintCounter repaints (arrow);

    arrow.setTarget (0.0f);
    arrow.setTarget (-1.0f);
    EXPECT_EQ (repaints.count(), 0);

    arrow.setTarget (0.5f);
    EXPECT_EQ (repaints.count(), 1);
}
