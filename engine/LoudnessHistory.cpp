#include "engine/LoudnessHistory.h"

#include <cmath>
#include <limits>

namespace
{
constexpr auto relaxed = std::memory_order_relaxed;
// The values a push changes are stored with release and read with acquire: a reader that sees
// one of them then also sees the sequence count the push raised before it, and copies again.
constexpr auto publish = std::memory_order_release;
constexpr auto take = std::memory_order_acquire;
constexpr int readAttempts = 4;
const float none = std::numeric_limits<float>::quiet_NaN();

// The smaller or larger of two values, either of which may be missing (NaN).
float lower (float a, float b)
{
    return std::isnan (a) ? b : (std::isnan (b) ? a : std::min (a, b));
}

float higher (float a, float b)
{
    return std::isnan (a) ? b : (std::isnan (b) ? a : std::max (a, b));
}

LoudnessHistory::Bucket bucketOf (const LoudnessHistory::Step& s)
{
    return {s.momentary, s.momentary, s.shortTerm, s.shortTerm, s.integrated, s.truePeak};
}

// `later` follows `earlier` in time.
LoudnessHistory::Bucket merge (const LoudnessHistory::Bucket& earlier, const LoudnessHistory::Bucket& later)
{
    return {lower (earlier.momentaryMin, later.momentaryMin),
            higher (earlier.momentaryMax, later.momentaryMax),
            lower (earlier.shortTermMin, later.shortTermMin),
            higher (earlier.shortTermMax, later.shortTermMax),
            std::isnan (later.integrated) ? earlier.integrated : later.integrated,
            higher (earlier.truePeak, later.truePeak)};
}
} // namespace

LoudnessHistory::LoudnessHistory()
    : recent (new AtomicStep[recentCapacity]), overview (new AtomicBucket[overviewCapacity])
{
    for (int i = 0; i < recentCapacity; ++i)
        for (auto* v :
             {&recent[i].momentary, &recent[i].shortTerm, &recent[i].integrated, &recent[i].truePeak})
            v->store (none, relaxed);

    for (int i = 0; i < overviewCapacity; ++i)
        store (overview[i], {none, none, none, none, none, none});
}

void LoudnessHistory::requestReset() noexcept
{
    resetPending.store (true, relaxed);
    changes.fetch_add (1, relaxed);
}

void LoudnessHistory::clearIfRequested() noexcept
{
    if (!resetPending.load (relaxed))
        return;

    // The arrays keep their old values: nothing reads past numSteps.
    numSteps.store (0, publish);
    stepsPerBucket.store (1, publish);
    resetPending.store (false, relaxed);
}

void LoudnessHistory::push (float momentary, float shortTerm, float integrated, float truePeak) noexcept
{
    const auto s = sequence.load (relaxed);
    sequence.store (s + 1, relaxed);

    clearIfRequested();

    const auto index = numSteps.load (relaxed);
    auto& slot = recent[(size_t)(index % recentCapacity)];
    slot.momentary.store (momentary, publish);
    slot.shortTerm.store (shortTerm, publish);
    slot.integrated.store (integrated, publish);
    slot.truePeak.store (truePeak, publish);

    addToOverview ({momentary, shortTerm, integrated, truePeak});
    numSteps.store (index + 1, publish);

    sequence.store (s + 2, std::memory_order_release);
    changes.fetch_add (1, relaxed);
}

void LoudnessHistory::addToOverview (const Step& step) noexcept
{
    const auto index = numSteps.load (relaxed);
    auto width = stepsPerBucket.load (relaxed);

    if (index / width >= overviewCapacity)
    {
        mergeOverviewPairs();
        width *= 2;
        stepsPerBucket.store (width, publish);
    }

    auto& bucket = overview[(size_t)(index / width)];
    store (bucket, index % width == 0 ? bucketOf (step) : merge (load (bucket), bucketOf (step)));
}

void LoudnessHistory::mergeOverviewPairs() noexcept
{
    // In place from the front: bucket i is written after buckets 2i and 2i + 1 were read.
    for (int i = 0; i < overviewCapacity / 2; ++i)
        store (overview[i], merge (load (overview[2 * i]), load (overview[2 * i + 1])));
}

std::int64_t LoudnessHistory::getNumSteps() const noexcept
{
    return resetPending.load (relaxed) ? 0 : numSteps.load (take);
}

std::uint64_t LoudnessHistory::getChangeCount() const noexcept
{
    return changes.load (relaxed);
}

std::int64_t LoudnessHistory::copyRecent (std::int64_t first, Step* out, int maxSteps,
                                          int& numCopied) const noexcept
{
    std::int64_t start = first;

    for (int attempt = 0; attempt < readAttempts; ++attempt)
    {
        const auto before = sequence.load (std::memory_order_acquire);
        const auto count = getNumSteps();
        // One step less than the ring holds: the writer's next step overwrites the oldest slot.
        start = juce::jmax (first, count - (recentCapacity - 1), (std::int64_t)0);
        numCopied =
            (int)juce::jlimit ((std::int64_t)0, (std::int64_t)juce::jmax (0, maxSteps), count - start);

        for (int i = 0; i < numCopied; ++i)
        {
            const auto& slot = recent[(size_t)((start + i) % recentCapacity)];
            out[i] = {slot.momentary.load (take), slot.shortTerm.load (take), slot.integrated.load (take),
                      slot.truePeak.load (take)};
        }

        if ((before & 1) == 0 && sequence.load (relaxed) == before)
            break;
    }

    return start;
}

LoudnessHistory::OverviewShape LoudnessHistory::copyOverview (Bucket* out) const noexcept
{
    OverviewShape shape;

    for (int attempt = 0; attempt < readAttempts; ++attempt)
    {
        const auto before = sequence.load (std::memory_order_acquire);
        shape.numSteps = getNumSteps();
        shape.stepsPerBucket = juce::jmax ((std::int64_t)1, stepsPerBucket.load (take));
        shape.numBuckets =
            (int)juce::jmin ((std::int64_t)overviewCapacity,
                             (shape.numSteps + shape.stepsPerBucket - 1) / shape.stepsPerBucket);

        for (int i = 0; i < shape.numBuckets; ++i)
            out[i] = load (overview[i]);

        if ((before & 1) == 0 && sequence.load (relaxed) == before)
            break;
    }

    return shape;
}

LoudnessHistory::Bucket LoudnessHistory::load (const AtomicBucket& b) noexcept
{
    return {b.momentaryMin.load (take), b.momentaryMax.load (take), b.shortTermMin.load (take),
            b.shortTermMax.load (take), b.integrated.load (take),   b.truePeak.load (take)};
}

void LoudnessHistory::store (AtomicBucket& b, const Bucket& value) noexcept
{
    b.momentaryMin.store (value.momentaryMin, publish);
    b.momentaryMax.store (value.momentaryMax, publish);
    b.shortTermMin.store (value.shortTermMin, publish);
    b.shortTermMax.store (value.shortTermMax, publish);
    b.integrated.store (value.integrated, publish);
    b.truePeak.store (value.truePeak, publish);
}
