#include <gtest/gtest.h>

#include "WidgetTestSupport.h"

#include "editor/MeterScale.h"
#include "editor/RIRORuduLoudnessHistogram.h"

#include <cmath>

using namespace WidgetTestSupport;

namespace
{
const juce::Colour blue (0xFF3A93DD);
const juce::Colour red (0xFFFF0000);

// The editor's configuration: 110 x 352, inner area 108 x 350.
struct Histogram
{
    explicit Histogram (int scaleType = 0)
    {
        histogram.setBounds (10, 41, 110, 352);
        histogram.setScaleType (scaleType);
        histogram.setMomentaryThreshold (-23.0f);
        histogram.setShortTermThreshold (-18.0f);
    }

    RIRORuduLoudnessHistogram histogram{blue, blue, red};
};

// The processor's 701 bins of 0.1 LU from -70 to 0 LUFS, with a count per bin.
void fullRange (juce::Array<float>& levels, juce::Array<float>& counts,
                const std::function<float (float)>& count)
{
    for (int i = 0; i <= 700; ++i)
    {
        const auto level = (float)(-70.0 + i / 10.0);
        levels.add (level);
        counts.add (count (level));
    }
}

bool isReddish (juce::Colour c)
{
    return c.getRed() > c.getBlue() + 20 && c.getRed() > c.getGreen() + 20;
}

bool isBluish (juce::Colour c)
{
    return c.getBlue() > c.getRed() + 20;
}
} // namespace

TEST (Histogram, CountsAreNormalisedAndPlacedFromTheRightEdge)
{
    Histogram h;
    h.histogram.setData ({-30.0f, -25.0f, -20.0f}, {0.0f, 2.0f, 4.0f});

    const auto& counts = h.histogram.getBinCounts();
    ASSERT_EQ (counts.size(), 3);
    EXPECT_DOUBLE_EQ (counts[0], 0.0);
    EXPECT_DOUBLE_EQ (counts[1], 0.5);
    EXPECT_DOUBLE_EQ (counts[2], 1.0);

    const auto& x = h.histogram.getBinX();
    EXPECT_EQ (x[0], 1);
    EXPECT_EQ (x[1], 55);
    EXPECT_EQ (x[2], 109);

    // Drawn at innerRight - binX + 1: 108, 54 and 0 (the largest count reaches the left edge).
    h.histogram.setMomentaryThreshold (100.0f);
    const auto image = render (h.histogram);
    const auto& y = h.histogram.getBinY();
    EXPECT_TRUE (isBluish (image.getPixelAt (108, y[0])));
    EXPECT_TRUE (isBluish (image.getPixelAt (54, y[1])));
    EXPECT_TRUE (isBluish (image.getPixelAt (0, y[2])));
    EXPECT_FALSE (isBluish (image.getPixelAt (45, y[1])));
    EXPECT_FALSE (isBluish (image.getPixelAt (20, y[0])));
}

TEST (Histogram, BinsSitOneRowAboveTheGridLineOfTheirTick)
{
    Histogram h;
    h.histogram.setData ({-23.0f}, {1.0f});

    // -23 LUFS on the EBU +9 scale: grid line at row 158, the bin at row 157.
    ASSERT_EQ (h.histogram.getBinY().size(), 1);
    EXPECT_EQ (h.histogram.getBinY()[0], 157);

    const auto* grid = h.histogram.getBackgroundImage();
    ASSERT_NE (grid, nullptr);
    EXPECT_GT (grid->getPixelAt (30, 158).getBrightness(), 0.1f);
    EXPECT_LT (grid->getPixelAt (30, 157).getBrightness(), 0.02f);
    EXPECT_LT (grid->getPixelAt (30, 159).getBrightness(), 0.02f);

    // Every tick has its line; rows between ticks stay dark (outside the centre line).
    MeterScale scale;
    scale.setType (0);
    auto lines = 0;

    for (int y = 1; y < 351; ++y)
        if (grid->getPixelAt (30, y).getBrightness() > 0.1f)
            ++lines;

    EXPECT_EQ (lines, scale.tickPositions.size());

    for (const auto p : scale.tickPositions)
        EXPECT_GT (grid->getPixelAt (30, 350 - juce::roundToInt (349.0 * p)).getBrightness(), 0.1f) << p;
}

TEST (Histogram, KeepsOnlyBinsInsideTheScaleIncludingItsEnds)
{
    Histogram h;
    juce::Array<float> levels;
    juce::Array<float> counts;
    fullRange (levels, counts, [] (float) { return 1.0f; });
    h.histogram.setData (levels, counts);

    // -41.0 .. -14.0 in steps of 0.1: 271 bins, both ends kept.
    const auto& kept = h.histogram.getBinValues();
    ASSERT_EQ (kept.size(), 271);
    EXPECT_NEAR (kept.getFirst(), -41.0, 1.0e-5);
    EXPECT_NEAR (kept.getLast(), -14.0, 1.0e-5);
    EXPECT_EQ (h.histogram.getBinY().getFirst(), 350);
    EXPECT_EQ (h.histogram.getBinY().getLast(), 0);

    // Mismatched lengths are ignored: the previous bins stay.
    h.histogram.setData ({-20.0f, -21.0f}, {1.0f});
    EXPECT_EQ (h.histogram.getBinValues().size(), 271);

    // All counts zero stay zero: every point lies on the right edge.
    h.histogram.setData ({-30.0f, -20.0f}, {0.0f, 0.0f});
    EXPECT_EQ (h.histogram.getBinX()[0], 1);
    EXPECT_EQ (h.histogram.getBinX()[1], 1);
}

TEST (Histogram, SameScaleTypeDoesNothingAndANewOneWaitsForData)
{
    Histogram h;
    h.histogram.setData ({-23.0f}, {1.0f});
    const auto* grid = h.histogram.getBackgroundImage();

    h.histogram.setScaleType (0);
    EXPECT_EQ (h.histogram.getBackgroundImage(), grid);

    // EBU +18: the grid changes at once, the bin only with the next data.
    h.histogram.setScaleType (2);
    EXPECT_EQ (h.histogram.getScaleType(), 2);
    EXPECT_EQ (h.histogram.getBinY()[0], 157);
    const auto* newGrid = h.histogram.getBackgroundImage();
    MeterScale scale;
    scale.setType (2);
    const auto minus40 = 350 - juce::roundToInt (349.0 * scale.positionOf (-40.0));
    EXPECT_GT (newGrid->getPixelAt (30, minus40).getBrightness(), 0.1f);

    h.histogram.setData ({-40.0f}, {1.0f});
    EXPECT_EQ (h.histogram.getBinY()[0], 350 - juce::roundToInt (350.0 * scale.positionOf (-40.0)));
}

TEST (Histogram, WithoutDataShowsTheGridAndTheRightEdgeStroke)
{
    Histogram h;
    const auto image = render (h.histogram);
    writeSnapshot ("widgets/histogram-empty", image);

    // The empty outline runs along x = innerRight + 1 = 109, 2 pixels wide.
    EXPECT_TRUE (isBluish (image.getPixelAt (109, 200)));
    EXPECT_TRUE (isBluish (image.getPixelAt (108, 200)));
    EXPECT_FALSE (isBluish (image.getPixelAt (105, 200)));
    EXPECT_FALSE (isBluish (image.getPixelAt (30, 200)));

    for (int y = 0; y < 352; ++y)
        ASSERT_FALSE (isReddish (image.getPixelAt (60, y))) << "row " << y;
}

TEST (Histogram, PartAtOrAboveTheThresholdIsFilledInTheOverColour)
{
    // A broad distribution around -24 LUFS.
    juce::Array<float> levels;
    juce::Array<float> counts;
    fullRange (levels, counts,
               [] (float l) { return 1000.0f * std::exp (-0.5f * std::pow ((l + 24.0f) / 4.0f, 2.0f)); });

    Histogram h;
    h.histogram.setData (levels, counts);
    const auto image = render (h.histogram);
    writeSnapshot ("widgets/histogram-momentary-threshold-23", image);

    MeterScale scale;
    scale.setType (0);
    const auto rowOf = [&] (double level)
    { return 350 - juce::roundToInt (350.0 * scale.positionOf (level)); };

    // Near the right edge, above the threshold red, below it blue.
    EXPECT_TRUE (isReddish (image.getPixelAt (100, rowOf (-20.0))));
    EXPECT_TRUE (isBluish (image.getPixelAt (100, rowOf (-26.0))));
    EXPECT_FALSE (isReddish (image.getPixelAt (100, rowOf (-26.0))));

    // In short-term mode the short-term threshold (-18) splits the fill.
    h.histogram.setLoudnessMode (1);
    const auto shortTerm = render (h.histogram);
    writeSnapshot ("widgets/histogram-short-term-threshold-18", shortTerm);
    EXPECT_TRUE (isBluish (shortTerm.getPixelAt (100, rowOf (-20.0))));
    EXPECT_FALSE (isReddish (shortTerm.getPixelAt (100, rowOf (-20.0))));
    EXPECT_TRUE (isReddish (shortTerm.getPixelAt (100, rowOf (-16.0))));
}

TEST (Histogram, BinAtTheThresholdBelongsToTheOverPart)
{
    const juce::Array<float> levels{-30.0f, -27.0f, -25.0f, -23.0f, -21.0f};
    const juce::Array<float> counts{10.0f, 10.0f, 10.0f, 10.0f, 10.0f};

    const auto redPixels = [&] (float threshold)
    {
        Histogram h;
        h.histogram.setMomentaryThreshold (threshold);
        h.histogram.setData (levels, counts);
        const auto image = render (h.histogram);
        auto n = 0;

        for (int y = 0; y < 352; ++y)
            for (int x = 0; x < 110; ++x)
                n += isReddish (image.getPixelAt (x, y)) ? 1 : 0;

        return n;
    };

    EXPECT_GT (redPixels (-23.0f), 0);
    EXPECT_GT (redPixels (-23.0f), redPixels (-22.9f));
    EXPECT_EQ (redPixels (-20.0f), 0) << "all bins below the threshold";
}

TEST (Histogram, FirstKeptBinAtTheThresholdLeavesOnlyATriangleBelow)
{
    // Every kept bin is over the threshold: the under part is the degenerate
    // triangle from the bottom right corner to the first bin and back.
    Histogram h;
    h.histogram.setMomentaryThreshold (-50.0f);
    juce::Array<float> levels;
    juce::Array<float> counts;
    fullRange (levels, counts, [] (float) { return 5.0f; });
    h.histogram.setData (levels, counts);

    const auto image = render (h.histogram);
    writeSnapshot ("widgets/histogram-all-over", image);

    // The inside of the distribution is red fill, nowhere blue fill.
    for (int y = 20; y < 330; y += 10)
    {
        ASSERT_TRUE (isReddish (image.getPixelAt (50, y))) << "row " << y;
        ASSERT_FALSE (isBluish (image.getPixelAt (50, y))) << "row " << y;
    }
}
