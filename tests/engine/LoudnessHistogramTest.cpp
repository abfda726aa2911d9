#include <gtest/gtest.h>

#include "engine/LoudnessHistogram.h"

#include <cmath>
#include <limits>
#include <memory>

namespace
{
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

void addMany (LoudnessHistogram& h, int count, float level)
{
    for (int i = 0; i < count; ++i)
        h.add (level);
}

float totalCount (const LoudnessHistogram& h)
{
    float total = 0.0f;
    for (int i = 0; i < LoudnessHistogram::numBins; ++i)
        total += h.countInBin (i);
    return total;
}

// Histograms are large; keep them off the test's stack.
std::unique_ptr<LoudnessHistogram> makeHistogram (bool gated)
{
    auto h = std::make_unique<LoudnessHistogram>();
    h->gated = gated;
    return h;
}
} // namespace

TEST (LoudnessHistogram, BinsAreTenthsFromMinus70To0AndEachLevelFindsItsOwnBin)
{
    auto h = makeHistogram (true);
    EXPECT_EQ (h->levelOfBin (0), -70.0f);
    EXPECT_EQ (h->levelOfBin (470), -23.0f);
    EXPECT_EQ (h->levelOfBin (700), 0.0f);

    for (int i = 0; i < LoudnessHistogram::numBins; ++i)
    {
        ASSERT_NEAR (h->levelOfBin (i), 0.1 * i - 70.0, 1e-4) << "bin " << i;
        ASSERT_EQ (LoudnessHistogram::binOf (h->levelOfBin (i)), i) << "bin " << i;
        ASSERT_EQ (h->countInBin (i), 0.0f);
    }

    EXPECT_TRUE (h->gated.load());
}

TEST (LoudnessHistogram, AddCountsRoundedLevelsAndKeepsEveryLevelInsideTheBins)
{
    auto h = makeHistogram (true);
    h->add (-23.04f); // rounds to -23.0
    h->add (-22.96f); // rounds to -23.0
    h->add (-23.06f); // rounds to -23.1
    EXPECT_EQ (h->countInBin (470), 2.0f);
    EXPECT_EQ (h->countInBin (469), 1.0f);

    h->add (-70.0f);
    EXPECT_EQ (h->countInBin (0), 1.0f);

    // Above 0 counts at 0; below -70, -infinity and NaN are ignored.
    h->add (0.3f);
    h->add (inf);
    EXPECT_EQ (h->countInBin (700), 2.0f);

    h->add (-70.5f);
    h->add (-inf);
    h->add (notANumber);
    h->add (-notANumber);
    EXPECT_EQ (totalCount (*h), 6.0f);
}

TEST (LoudnessHistogram, CountAtOrAboveComparesRoundedLevels)
{
    auto h = makeHistogram (true);
    for (int i = 0; i < LoudnessHistogram::numBins; ++i)
        h->add (h->levelOfBin (i));

    EXPECT_EQ (h->countAtOrAbove (-10.0f), 101); // -10.0 ... 0.0
    EXPECT_EQ (h->countAtOrAbove (5.0f), 1);     // only the 0.0 bin
    EXPECT_EQ (h->countAtOrAbove (-80.0f), 701);
    EXPECT_EQ (h->countAtOrAbove (-23.04f), 231); // threshold rounds to -23.0
    EXPECT_EQ (h->countAtOrAbove (-23.06f), 232); // ... and to -23.1
    EXPECT_EQ (h->countAtOrAbove (inf), 1);
    EXPECT_EQ (h->countAtOrAbove (-inf), 701);
    EXPECT_EQ (h->countAtOrAbove (notANumber), 0);
}

TEST (LoudnessHistogram, IntegratedLoudnessOfSteadyAndOfTwoLevelMaterial)
{
    for (bool gated : {true, false})
    {
        auto steady = makeHistogram (gated);
        addMany (*steady, 100, -23.0f);
        EXPECT_NEAR (steady->integratedLoudness(), -23.0f, 1e-4f) << "gated " << gated;
    }

    // Ungated mean about -23.0, so the relative gate at -33.0 removes the -40 values.
    auto twoLevels = makeHistogram (true);
    addMany (*twoLevels, 50, -20.0f);
    addMany (*twoLevels, 50, -40.0f);
    EXPECT_NEAR (twoLevels->integratedLoudness(), -20.0f, 1e-4f);

    twoLevels->gated = false;
    EXPECT_NEAR (twoLevels->integratedLoudness(), 10.0 * std::log10 ((0.01 + 0.0001) / 2.0), 1e-3);

    // Whole bins at or above the gate stay in: mean about -24.4, gate -34.4.
    auto atGate = makeHistogram (true);
    addMany (*atGate, 9, -24.0f);
    atGate->add (-34.4f);
    const double expectedMean =
        10.0 * std::log10 ((9.0 * std::pow (10.0, -2.4) + std::pow (10.0, -3.44)) / 10.0);
    EXPECT_NEAR (atGate->integratedLoudness(), expectedMean, 1e-3);

    auto belowGate = makeHistogram (true);
    addMany (*belowGate, 9, -24.0f);
    belowGate->add (-34.5f);
    EXPECT_NEAR (belowGate->integratedLoudness(), -24.0f, 1e-4f);

    auto empty = makeHistogram (true);
    EXPECT_EQ (empty->integratedLoudness(), -70.0f);
}

TEST (LoudnessHistogram, GatedIntegratedLoudnessLeavesTheFloorOutOfTheRelativeGate)
{
    // Programme at -23 with quieter passages at -36, and a lot of digital silence. The
    // gate belongs 10 LU below the mean of what is above the floor (-25.8 -> -35.8), so
    // the -36 values drop out; counting the silent blocks into that mean would move the
    // gate down to about -48.8 and let them in (reading about -25.8).
    auto h = makeHistogram (true);
    addMany (*h, 50, -23.0f);
    addMany (*h, 50, -36.0f);
    addMany (*h, 900, -70.0f);
    EXPECT_NEAR (h->integratedLoudness(), -23.0f, 1e-3f);

    // Gating off keeps counting every block, silent ones included.
    h->gated = false;
    const double power = 50.0 * std::pow (10.0, -2.3) + 50.0 * std::pow (10.0, -3.6) + 900.0 * 1e-7;
    EXPECT_NEAR (h->integratedLoudness(), 10.0 * std::log10 (power / 1000.0), 1e-3);
}

TEST (LoudnessHistogram, SilentBlocksDropOutWithGatingAndPullTheMeanDownWithout)
{
    auto gated = makeHistogram (true);
    auto ungated = makeHistogram (false);
    addMany (*gated, 20, -18.0f);
    addMany (*ungated, 20, -18.0f);

    float previousUngated = ungated->integratedLoudness();

    for (int i = 0; i < 2000; ++i)
    {
        gated->add (-70.0f);
        ungated->add (-70.0f);

        ASSERT_NEAR (gated->integratedLoudness(), -18.0f, 1e-3f) << "after " << i + 1 << " silent blocks";

        const float now = ungated->integratedLoudness();
        ASSERT_LT (now, previousUngated) << "after " << i + 1 << " silent blocks";
        previousUngated = now;
    }
}

TEST (LoudnessHistogram, NothingAboveTheFloorReadsTheFloorWithGating)
{
    auto h = makeHistogram (true);
    addMany (*h, 30, -70.0f);

    EXPECT_EQ (h->integratedLoudness(), -70.0f);
    const auto range = h->computeRange();
    EXPECT_EQ (range.range, 0.0f);
    EXPECT_EQ (range.lower, -70.0f);
    EXPECT_EQ (range.upper, -70.0f);

    const auto empty = makeHistogram (true)->computeRange();
    EXPECT_EQ (empty.range, 0.0f);
    EXPECT_EQ (empty.lower, -70.0f);
    EXPECT_EQ (empty.upper, -70.0f);
}

TEST (LoudnessHistogram, RangeFollowsItsCountingRule)
{
    // N = 100, p10 = 10, p95 = 95. The bins up to -25.0 have at most 10 values before
    // them; the top bin (-20.0) is never visited, so the upper level is -20.1.
    for (bool gated : {false, true})
    {
        auto h = makeHistogram (gated);
        addMany (*h, 10, -30.0f);
        addMany (*h, 80, -25.0f);
        addMany (*h, 10, -20.0f);

        const auto r = h->computeRange();
        EXPECT_EQ (r.lower, -25.0f) << "gated " << gated;
        EXPECT_EQ (r.upper, h->levelOfBin (LoudnessHistogram::binOf (-20.1f))) << "gated " << gated;
        EXPECT_NEAR (r.range, 4.9f, 1e-4f) << "gated " << gated;
    }

    auto oneBin = makeHistogram (true);
    addMany (*oneBin, 7, -31.4f);
    const auto single = oneBin->computeRange();
    EXPECT_EQ (single.range, 0.0f);
    EXPECT_EQ (single.lower, oneBin->levelOfBin (LoudnessHistogram::binOf (-31.4f)));
    EXPECT_EQ (single.upper, single.lower);
}

TEST (LoudnessHistogram, RangeGateIsTwentyLuBelowTheMeanOfWhatIsAboveTheFloor)
{
    // Mean of the values above the floor about -23.3, gate -43.3: the -45 values are out
    // and N = 90 (p10 = 9). Counting the 500 silent values into the mean would lower the
    // gate to about -50.9, let the -45 values in and move the lower level down to -45.
    auto h = makeHistogram (true);
    addMany (*h, 45, -20.0f);
    addMany (*h, 45, -30.0f);
    addMany (*h, 15, -45.0f);
    addMany (*h, 500, -70.0f);

    const auto r = h->computeRange();
    EXPECT_EQ (r.lower, -30.0f);
    EXPECT_EQ (r.upper, h->levelOfBin (LoudnessHistogram::binOf (-20.1f)));
    EXPECT_NEAR (r.range, 9.9f, 1e-4f);

    // Ungated, every value counts, the floor included: N = 605, p10 = 60, p95 = 574.
    h->gated = false;
    const auto all = h->computeRange();
    EXPECT_EQ (all.lower, -70.0f);
    EXPECT_EQ (all.upper, h->levelOfBin (LoudnessHistogram::binOf (-20.1f)));
}

TEST (LoudnessHistogram, CopyToReplacesTheArraysAndClearEmpties)
{
    auto h = makeHistogram (true);
    addMany (*h, 3, -23.0f);
    h->add (0.0f);

    juce::Array<float> levels{1.0f, 2.0f};
    juce::Array<float> counts{5.0f};
    h->copyTo (levels, counts);

    ASSERT_EQ (levels.size(), LoudnessHistogram::numBins);
    ASSERT_EQ (counts.size(), LoudnessHistogram::numBins);
    EXPECT_EQ (levels[0], -70.0f);
    EXPECT_EQ (levels[700], 0.0f);
    EXPECT_EQ (counts[470], 3.0f);
    EXPECT_EQ (counts[700], 1.0f);
    EXPECT_EQ (counts[0], 0.0f);

    h->clear();
    EXPECT_EQ (totalCount (*h), 0.0f);
    EXPECT_EQ (h->countAtOrAbove (-80.0f), 0);
    EXPECT_EQ (h->integratedLoudness(), -70.0f);
}
