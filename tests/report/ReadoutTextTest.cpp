#include <gtest/gtest.h>

#include "report/ReadoutText.h"

using FR = juce::AudioPlayHead::FrameRateType;

TEST (ReadoutText, ValuesAtOrBelowMinusSixtyShowADashAlone)
{
    EXPECT_EQ (ReadoutText::value (-70.0f, "LUFS"), "-");
    EXPECT_EQ (ReadoutText::value (-60.0f, "LUFS"), "-");
    EXPECT_EQ (ReadoutText::value (std::numeric_limits<float>::quiet_NaN(), "LU"), "-");
    EXPECT_EQ (ReadoutText::value (-std::numeric_limits<float>::infinity(), ""), "-");
    // Just above the limit is a reading, even though it rounds to -60.0.
    EXPECT_EQ (ReadoutText::value (-59.99f, "LUFS"), "-60.0 LUFS");
}

TEST (ReadoutText, ValuesHaveOneDecimalABlankAndTheUnit)
{
    EXPECT_EQ (ReadoutText::value (-23.0f, "LUFS"), "-23.0 LUFS");
    EXPECT_EQ (ReadoutText::value (5.3f, "LU"), "5.3 LU");
    EXPECT_EQ (ReadoutText::value (-0.4f, ""), "-0.4 ");
    EXPECT_EQ (ReadoutText::value (-1.3f, ""), "-1.3 ");
    EXPECT_EQ (ReadoutText::value (12.0f, "dBTP"), "12.0 dBTP");
    // Halves go away from zero (neither to even nor upwards).
    EXPECT_EQ (ReadoutText::value (-0.25f, ""), "-0.3 ");
    EXPECT_EQ (ReadoutText::value (0.25f, ""), "0.3 ");
    EXPECT_EQ (ReadoutText::value (-22.75f, ""), "-22.8 ");
    // A tiny negative value is zero, not "-0.0".
    EXPECT_EQ (ReadoutText::value (-0.04f, "dBTP"), "0.0 dBTP");
}

TEST (ReadoutText, UnitsAndNamesFollowTheStandard)
{
    EXPECT_EQ (ReadoutText::loudnessUnit (0), "LUFS");
    EXPECT_EQ (ReadoutText::loudnessUnit (1), "LKFS");
    EXPECT_EQ (ReadoutText::loudnessUnit (2), "LKFS");
    EXPECT_EQ (ReadoutText::rangeUnit(), "LU");
    EXPECT_EQ (ReadoutText::truePeakUnit(), "dBTP");
    EXPECT_EQ (ReadoutText::standardName (0), "EBU");
    EXPECT_EQ (ReadoutText::standardName (1), "ATSC");
    EXPECT_EQ (ReadoutText::standardName (2), "ARIB");
}

TEST (ReadoutText, PositionsCountFramesAtTheHostRate)
{
    EXPECT_EQ (ReadoutText::position (65.5, FR::fps25), "00:01:05:12");
    EXPECT_EQ (ReadoutText::position (65.5, FR::fps24), "00:01:05:12");
    EXPECT_EQ (ReadoutText::position (65.5, FR::fps30), "00:01:05:15");
    EXPECT_EQ (ReadoutText::position (65.5, FR::fps2997drop), "00:01:05:15");
    EXPECT_EQ (ReadoutText::position (65.5, FR::fps30drop), "00:01:05:15");
    EXPECT_EQ (ReadoutText::position (0.0, FR::fps25), "00:00:00:00");
    EXPECT_EQ (ReadoutText::position (-1.5, FR::fps25), "-00:00:01:12");
    // Hours keep counting past two digits.
    EXPECT_EQ (ReadoutText::position (360000.0, FR::fps25), "100:00:00:00");
}

TEST (ReadoutText, PositionsShowMillisecondsAtOtherRates)
{
    EXPECT_EQ (ReadoutText::position (3725.25, FR::fpsUnknown), "01:02:05:250");
    EXPECT_EQ (ReadoutText::position (3725.25, FR::fps23976), "01:02:05:250");
    EXPECT_EQ (ReadoutText::position (3725.25, FR::fps60), "01:02:05:250");
    EXPECT_EQ (ReadoutText::position (-0.0015, FR::fpsUnknown), "-00:00:00:002");
    // Rounding to the millisecond carries into the seconds.
    EXPECT_EQ (ReadoutText::position (5.9996, FR::fpsUnknown), "00:00:06:000");
    EXPECT_EQ (ReadoutText::position (59.9999, FR::fpsUnknown), "00:01:00:000");
    EXPECT_EQ (ReadoutText::position (std::numeric_limits<double>::quiet_NaN(), FR::fpsUnknown),
               "00:00:00:000");
}

TEST (ReadoutText, ElapsedTimeCountsFramesAt24_25Or30)
{
    EXPECT_EQ (ReadoutText::elapsed (5760000.0, 48000.0, FR::fps25), "00:02:00:00");
    EXPECT_EQ (ReadoutText::elapsed (5760000.0 + 48000.0 * 3725 + 24000.0, 48000.0, FR::fps25),
               "01:04:05:12");
    // Unknown and 29.97 rates still count 30 frames.
    EXPECT_EQ (ReadoutText::elapsed (48000.0 * 65.5, 48000.0, FR::fpsUnknown), "00:01:05:15");
    EXPECT_EQ (ReadoutText::elapsed (48000.0 * 65.5, 48000.0, FR::fps2997), "00:01:05:15");
    EXPECT_EQ (ReadoutText::elapsed (44100.0 * 65.5, 44100.0, FR::fps24), "00:01:05:12");
    EXPECT_EQ (ReadoutText::elapsed (123456.0, 0.0, FR::fps25), "00:00:00:00");
    EXPECT_EQ (ReadoutText::elapsed (-48000.0, 48000.0, FR::fps25), "-00:00:01:00");
}

TEST (ReadoutText, NumbersHaveSixSignificantDigitsAndNoTrailingZeros)
{
    EXPECT_EQ (ReadoutText::number (-20.0f), "-20");
    EXPECT_EQ (ReadoutText::number (-15.5f), "-15.5");
    EXPECT_EQ (ReadoutText::number (-12.345678f), "-12.3457");
    EXPECT_EQ (ReadoutText::number (0.0f), "0");
}
