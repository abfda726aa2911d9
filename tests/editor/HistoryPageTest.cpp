#include "EditorFixture.h"

#include "support/TestSignals.h"

#include <gtest/gtest.h>

using namespace EditorTest;

namespace
{
constexpr int historyTab = 4;

// Stereo 997 Hz at -17, -27 and -22 dBFS peak for 15 s each: short-term loudness -17, -27
// and -22 LUFS once each 3 s window lies inside one part.
juce::AudioSampleBuffer steppedProgramme()
{
    return TestSignals::sineProgramme (rate, 997.0, {{-17.0f, 15.0}, {-27.0f, 15.0}, {-22.0f, 15.0}},
                                       TestSignals::stereo());
}

bool isShortTermBlue (juce::Colour c)
{
    return c.getBlue() > 150 && c.getRed() < 140 && c.getBlue() > c.getGreen() + 40;
}

bool isIntegratedGreen (juce::Colour c)
{
    return c.getGreen() > 150 && c.getBlue() < 100 && c.getRed() < c.getGreen();
}

// The rows in column x of the page's picture that show a curve of that colour.
std::pair<int, int> rowsOf (const juce::Image& page, int x, bool (*colour) (juce::Colour))
{
    int top = -1, bottom = -1;

    for (int y = 0; y < page.getHeight(); ++y)
    {
        if (colour (page.getPixelAt (x, y)))
        {
            top = top < 0 ? y : top;
            bottom = y;
        }
    }

    return {top, bottom};
}

std::pair<int, int> blueRows (const juce::Image& page, int x)
{
    return rowsOf (page, x, isShortTermBlue);
}

struct HistoryFixture : Fixture
{
    HistoryFixture()
    {
        probe->tabs().setCurrentTabIndex (historyTab);
        probe->tabs().dispatchPendingMessages();
    }

    OSKAHistoryPage& page() { return probe->historyPage(); }

    // Where the curves lie in the page, and the row of a level on the meter's scale.
    juce::Rectangle<int> curves() const
    {
        return OSKAHistoryPage::plotBounds()
            .withTrimmedLeft (OSKAHistoryPlot::levelAxisWidth)
            .withTrimmedBottom (OSKAHistoryPlot::timeAxisHeight);
    }

    int rowOf (float level, int scaleType) const
    {
        MeterScale scale;
        scale.setType (scaleType);
        const auto area = curves().toFloat();
        return juce::roundToInt (area.getBottom() - (float)scale.positionOf (level) * area.getHeight());
    }

    int columnOf (double seconds) const
    {
        const auto& s = probe->historyPage().getSeries();
        const auto area = curves().toFloat();
        return (int)(area.getX() +
                     (float)((seconds - s.axisStart) / (s.axisEnd - s.axisStart)) * area.getWidth());
    }
};
} // namespace

// After a stepped programme the page draws each part's short-term loudness at that level's
// height on the meter's scale, in its place on the time axis.
TEST (HistoryPage, DrawsTheShortTermCurveAtItsLevelsAndTimes)
{
    HistoryFixture f;
    f.measure (steppedProgramme());
    f.tick();

    f.page().setSpan (OSKAHistoryPage::minutes1);
    EXPECT_DOUBLE_EQ (f.page().getSeries().axisStart, 0.0);
    EXPECT_DOUBLE_EQ (f.page().getSeries().axisEnd, 60.0);

    writeSnapshot ("editor-history", render (*f.editor));
    const auto page = render (f.page());

    // The meter shows the EBU +9 scale (type 0). In the first part the integrated loudness
    // equals the short-term loudness and is drawn over it.
    const auto expectAt = [&] (double seconds, float level, bool (*colour) (juce::Colour))
    {
        const auto [top, bottom] = rowsOf (page, f.columnOf (seconds), colour);
        const auto expected = f.rowOf (level, 0);
        EXPECT_LE (top, expected + 2) << seconds << " s";
        EXPECT_GE (bottom, expected - 2) << seconds << " s";
        EXPECT_LE (bottom - top, 6) << seconds << " s";
    };

    expectAt (10.0, -17.0f, isIntegratedGreen);
    expectAt (25.0, -27.0f, isShortTermBlue);
    expectAt (40.0, -22.0f, isShortTermBlue);

    // Beyond the programme's end nothing is drawn.
    EXPECT_EQ (blueRows (page, f.columnOf (50.0)).first, -1);
}

// A new span and a reset redraw the page; a refresh without new steps does not.
TEST (HistoryPage, SpansAndTheResetRedrawAndNothingElseDoes)
{
    HistoryFixture f;
    f.measure (steppedProgramme());
    f.tick();
    EXPECT_FALSE (f.page().refresh());

    // The -27 LUFS part from 15 s on fills the left of the last 30 s, the -17 LUFS part the
    // left of the whole programme.
    f.page().setSpan (OSKAHistoryPage::seconds30);
    EXPECT_NEAR (f.page().getSeries().axisStart, 15.0, 0.11);
    EXPECT_NEAR (f.page().getSeries().axisEnd, 45.0, 0.11);
    const auto thirtySeconds = blueRows (render (f.page()), f.columnOf (20.0));

    f.page().setSpan (OSKAHistoryPage::wholeProgramme);
    EXPECT_DOUBLE_EQ (f.page().getSeries().axisStart, 0.0);
    EXPECT_NEAR (f.page().getSeries().axisEnd, 45.0, 0.11);
    EXPECT_GT (f.page().getSeries().numBuckets, 400);
    const auto whole = rowsOf (render (f.page()), f.columnOf (5.0), isIntegratedGreen);

    EXPECT_NEAR (thirtySeconds.first, f.rowOf (-27.0f, 0), 3);
    EXPECT_NEAR (whole.first, f.rowOf (-17.0f, 0), 3);

    Fixture::click (f.probe->reset());
    f.tick();
    EXPECT_EQ (f.page().getSeries().numBuckets, 0);
    const auto empty = render (f.page());

    const auto curves = f.curves();

    for (int x = curves.getX() + 1; x < curves.getRight() - 1; ++x)
    {
        const auto column = empty.getClippedImage (curves.withX (x).withWidth (1));
        ASSERT_EQ (rowsOf (column, 0, isShortTermBlue).first, -1) << x;
        ASSERT_EQ (rowsOf (column, 0, isIntegratedGreen).first, -1) << x;
    }
}
