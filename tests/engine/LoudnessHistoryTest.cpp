#include <gtest/gtest.h>

#include "engine/LoudnessHistory.h"
#include "engine/TruePeakSteps.h"
#include "support/AllocationCounter.h"

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace
{
using Step = LoudnessHistory::Step;
using Bucket = LoudnessHistory::Bucket;
constexpr float none = std::numeric_limits<float>::quiet_NaN();

// A programme whose every step is known: momentary and short-term loudness and true peak follow
// their own patterns, the integrated loudness rises by one hundredth per step.
Step stepAt (std::int64_t i)
{
    return {-40.0f + (float)(i % 37), -30.0f + (float)((i * 7) % 23), -50.0f + (float)i * 0.01f,
            -20.0f + (float)((i * 5) % 19)};
}

void pushSteps (LoudnessHistory& h, std::int64_t from, std::int64_t to)
{
    for (auto i = from; i < to; ++i)
    {
        const auto s = stepAt (i);
        h.push (s.momentary, s.shortTerm, s.integrated, s.truePeak);
    }
}

std::vector<Step> recent (const LoudnessHistory& h, std::int64_t first, int maxSteps, std::int64_t& start)
{
    std::vector<Step> steps ((size_t)maxSteps);
    int copied = 0;
    start = h.copyRecent (first, steps.data(), maxSteps, copied);
    steps.resize ((size_t)copied);
    return steps;
}

std::vector<Bucket> overview (const LoudnessHistory& h, LoudnessHistory::OverviewShape& shape)
{
    std::vector<Bucket> buckets (LoudnessHistory::overviewCapacity);
    shape = h.copyOverview (buckets.data());
    buckets.resize ((size_t)shape.numBuckets);
    return buckets;
}

// Every bucket holds the extremes of exactly its steps, the last step's integrated loudness
// and the largest peak.
void expectBucketsCoverTheirSteps (const LoudnessHistory& h, std::int64_t numSteps)
{
    LoudnessHistory::OverviewShape shape;
    const auto buckets = overview (h, shape);
    ASSERT_EQ (shape.numSteps, numSteps);
    ASSERT_LE (shape.numBuckets, LoudnessHistory::overviewCapacity);
    ASSERT_EQ (shape.numBuckets, (numSteps + shape.stepsPerBucket - 1) / shape.stepsPerBucket);

    for (int b = 0; b < shape.numBuckets; ++b)
    {
        const auto first = b * shape.stepsPerBucket;
        const auto last = std::min (numSteps, first + shape.stepsPerBucket) - 1;
        Bucket expected = {1e9f, -1e9f, 1e9f, -1e9f, stepAt (last).integrated, -1e9f};

        for (auto i = first; i <= last; ++i)
        {
            const auto s = stepAt (i);
            expected.momentaryMin = std::min (expected.momentaryMin, s.momentary);
            expected.momentaryMax = std::max (expected.momentaryMax, s.momentary);
            expected.shortTermMin = std::min (expected.shortTermMin, s.shortTerm);
            expected.shortTermMax = std::max (expected.shortTermMax, s.shortTerm);
            expected.truePeak = std::max (expected.truePeak, s.truePeak);
        }

        const auto& got = buckets[(size_t)b];
        ASSERT_EQ (got.momentaryMin, expected.momentaryMin) << "bucket " << b;
        ASSERT_EQ (got.momentaryMax, expected.momentaryMax) << "bucket " << b;
        ASSERT_EQ (got.shortTermMin, expected.shortTermMin) << "bucket " << b;
        ASSERT_EQ (got.shortTermMax, expected.shortTermMax) << "bucket " << b;
        ASSERT_EQ (got.integrated, expected.integrated) << "bucket " << b;
        ASSERT_EQ (got.truePeak, expected.truePeak) << "bucket " << b;
    }
}
} // namespace

// Each step at its own index; the ring keeps the newest steps once the programme outgrows it.
TEST (LoudnessHistory, KeepsEveryStepAtItsTimeAndTheNewestOnesWhenFull)
{
    auto h = std::make_unique<LoudnessHistory>();
    pushSteps (*h, 0, 100);
    ASSERT_EQ (h->getNumSteps(), 100);

    std::int64_t start = -1;
    auto steps = recent (*h, 40, 30, start);
    ASSERT_EQ (start, 40);
    ASSERT_EQ (steps.size(), 30u);

    for (int i = 0; i < 30; ++i)
    {
        EXPECT_EQ (steps[(size_t)i].momentary, stepAt (40 + i).momentary);
        EXPECT_EQ (steps[(size_t)i].shortTerm, stepAt (40 + i).shortTerm);
        EXPECT_EQ (steps[(size_t)i].integrated, stepAt (40 + i).integrated);
        EXPECT_EQ (steps[(size_t)i].truePeak, stepAt (40 + i).truePeak);
    }

    EXPECT_DOUBLE_EQ (LoudnessHistory::endOfStep (39), 4.0);

    // Asking beyond the end gives what there is.
    steps = recent (*h, 90, 30, start);
    EXPECT_EQ (steps.size(), 10u);

    const std::int64_t total = LoudnessHistory::recentCapacity + 500;
    pushSteps (*h, 100, total);
    steps = recent (*h, 0, LoudnessHistory::recentCapacity, start);
    ASSERT_EQ (start + (std::int64_t)steps.size(), total);
    EXPECT_GE ((std::int64_t)steps.size(), LoudnessHistory::recentCapacity - 1);
    EXPECT_EQ (steps.front().momentary, stepAt (start).momentary);
    EXPECT_EQ (steps.back().shortTerm, stepAt (total - 1).shortTerm);
}

// Missing values stay missing in a step and give way to real ones in a bucket.
TEST (LoudnessHistory, MissingValuesStayMissingAndDoNotHideRealOnes)
{
    auto h = std::make_unique<LoudnessHistory>();
    h->push (none, none, none, -std::numeric_limits<float>::infinity());
    h->push (-20.0f, none, none, -3.0f);

    std::int64_t start = 0;
    const auto steps = recent (*h, 0, 2, start);
    ASSERT_EQ (steps.size(), 2u);
    EXPECT_TRUE (std::isnan (steps[0].momentary));
    EXPECT_TRUE (std::isnan (steps[1].shortTerm));

    LoudnessHistory::OverviewShape shape;
    pushSteps (*h, 0, LoudnessHistory::overviewCapacity); // one merge: the first bucket holds both
    const auto buckets = overview (*h, shape);
    ASSERT_EQ (shape.stepsPerBucket, 2);
    EXPECT_EQ (buckets[0].momentaryMin, -20.0f);
    EXPECT_EQ (buckets[0].momentaryMax, -20.0f);
    EXPECT_TRUE (std::isnan (buckets[0].shortTermMin));
    EXPECT_EQ (buckets[0].truePeak, -3.0f);
}

// The overview merges pairwise as the programme grows and keeps each bucket's extremes.
TEST (LoudnessHistory, OverviewKeepsMinimumAndMaximumOfMergedBuckets)
{
    auto h = std::make_unique<LoudnessHistory>();

    for (const std::int64_t total : {1000, 2048, 2049, 5000, 16385})
    {
        pushSteps (*h, h->getNumSteps(), total);
        expectBucketsCoverTheirSteps (*h, total);
    }
}

// Ten hours of steps: nothing is allocated, the overview stays within its buckets and still
// covers the whole programme.
TEST (LoudnessHistory, TenHoursCostNoMoreMemoryThanTenMinutes)
{
    auto h = std::make_unique<LoudnessHistory>();
    constexpr std::int64_t tenHours = 10 * 3600 * 10;
    long allocations = 0;

    {
        AllocationCheck check;
        pushSteps (*h, 0, tenHours);
        allocations = check.count();
    }

    EXPECT_EQ (allocations, 0);
    EXPECT_EQ (h->getNumSteps(), tenHours);
    expectBucketsCoverTheirSteps (*h, tenHours);
}

// A reset empties the history at once for readers; the next step starts it anew.
TEST (LoudnessHistory, ResetEmptiesItAndTheNextStepIsTheFirst)
{
    auto h = std::make_unique<LoudnessHistory>();
    pushSteps (*h, 0, 5000);
    const auto before = h->getChangeCount();

    h->requestReset();
    EXPECT_NE (h->getChangeCount(), before);
    EXPECT_EQ (h->getNumSteps(), 0);

    std::int64_t start = 0;
    EXPECT_TRUE (recent (*h, 0, 10, start).empty());
    LoudnessHistory::OverviewShape shape;
    EXPECT_TRUE (overview (*h, shape).empty());

    h->push (-18.0f, -19.0f, -20.0f, -1.0f);
    const auto steps = recent (*h, 0, 10, start);
    ASSERT_EQ (steps.size(), 1u);
    EXPECT_EQ (start, 0);
    EXPECT_EQ (steps[0].momentary, -18.0f);

    const auto buckets = overview (*h, shape);
    ASSERT_EQ (buckets.size(), 1u);
    EXPECT_EQ (shape.stepsPerBucket, 1);
    EXPECT_EQ (buckets[0].shortTermMax, -19.0f);
}

// The peak of each step comes from exactly its samples, however the blocks cut across steps,
// and the count starts again when the queues are emptied.
TEST (TruePeakSteps, EachStepTakesTheLargestMagnitudeOfItsOwnSamples)
{
    TruePeakSteps peaks;
    peaks.prepare (100);

    juce::AudioSampleBuffer magnitudes (6, 1000);
    magnitudes.clear();
    magnitudes.setSample (2, 150, 0.5f);  // step 1, channel C: -6.0 dB
    magnitudes.setSample (5, 299, 1.0f);  // last sample of step 2: 0.0 dB
    magnitudes.setSample (0, 300, 0.25f); // first of step 3: -12.0 dB

    for (auto [start, n] : {std::pair<int, int>{0, 37}, {37, 200}, {237, 1}, {238, 500}, {738, 262}})
        peaks.add (magnitudes, start, n);

    const float expected[] = {-std::numeric_limits<float>::infinity(), -6.0f, 0.0f, -12.0f};

    for (int step = 0; step < 4; ++step)
        EXPECT_EQ (peaks.peakOfStep (step), expected[step]) << step;

    EXPECT_TRUE (std::isnan (peaks.peakOfStep (10))); // not complete

    peaks.restart();
    EXPECT_TRUE (std::isnan (peaks.peakOfStep (0)));
    peaks.add (magnitudes, 250, 100);
    EXPECT_EQ (peaks.peakOfStep (0), 0.0f);

    // Channels left out of the mask are not read: only C's -6 dB counts in step 1 here.
    peaks.restart();
    magnitudes.setSample (4, 120, 2.0f);
    peaks.add (magnitudes, 100, 100, 0b000101);
    EXPECT_EQ (peaks.peakOfStep (0), -6.0f);
}
