#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <memory>

// The loudness of a measurement over time, one entry per 100 ms step: momentary, short-term
// and integrated loudness (LUFS) and the largest true peak of the step (dBTP). A value that
// does not exist yet (no full window, nothing gated) is NaN; a silent step's peak is
// -infinity.
//
// Memory is fixed at construction, whatever the programme's length: the last recentCapacity
// steps at full resolution, and an overview of the whole programme in at most
// overviewCapacity buckets, each keeping the minimum and maximum of the momentary and short-
// term loudness, the largest true peak and the integrated loudness of its last step. When the
// overview is full, neighbouring buckets merge pairwise and every bucket covers twice as many
// steps, so ten hours cost what ten minutes cost.
//
// Threads: one writer (push) at a time; any number of readers (copyRecent, copyOverview)
// without locks. Every value is an atomic, and a sequence count that is odd while a push
// changes the arrays lets a reader copy again when it met a push half-way; after a few tries
// it keeps what it has, a mixture of two steps for one picture. requestReset may come
// from any thread: readers see an empty history at once, the writer clears its arrays at its
// next push. Nothing allocates after construction.
class LoudnessHistory
{
public:
    static constexpr int recentCapacity = 8192; // 13 min 39.2 s at 10 steps a second
    static constexpr int overviewCapacity = 2048;
    static constexpr double stepSeconds = 0.1;

    struct Step
    {
        float momentary, shortTerm, integrated, truePeak;
    };

    struct Bucket
    {
        float momentaryMin, momentaryMax, shortTermMin, shortTermMax, integrated, truePeak;
    };

    // What copyOverview found: numBuckets buckets of stepsPerBucket steps each (the last one
    // possibly incomplete), numSteps steps in all.
    struct OverviewShape
    {
        int numBuckets = 0;
        std::int64_t stepsPerBucket = 1;
        std::int64_t numSteps = 0;
    };

    LoudnessHistory();

    // Appends one step. Writer only; allocates nothing.
    void push (float momentary, float shortTerm, float integrated, float truePeak) noexcept;

    // Empties the history (see above). Any thread.
    void requestReset() noexcept;

    // Steps pushed since the last reset.
    std::int64_t getNumSteps() const noexcept;

    // Changes with every push and every reset: a reader that saw the same number last time has
    // nothing new to show.
    std::uint64_t getChangeCount() const noexcept;

    // Copies steps first .. first + maxSteps - 1 into out, as far as they exist and are still
    // held at full resolution; returns the index of the first step copied (first, or the oldest
    // one held if first is older) and puts the number copied in numCopied.
    std::int64_t copyRecent (std::int64_t first, Step* out, int maxSteps, int& numCopied) const noexcept;

    // Copies the whole programme's buckets (overviewCapacity at most) into out.
    OverviewShape copyOverview (Bucket* out) const noexcept;

    // Start time of step index in seconds from the start of the history, and its end.
    static double startOfStep (std::int64_t index) noexcept { return (double)index * stepSeconds; }
    static double endOfStep (std::int64_t index) noexcept { return (double)(index + 1) * stepSeconds; }

private:
    struct AtomicStep
    {
        std::atomic<float> momentary, shortTerm, integrated, truePeak;
    };

    struct AtomicBucket
    {
        std::atomic<float> momentaryMin, momentaryMax, shortTermMin, shortTermMax, integrated, truePeak;
    };

    void clearIfRequested() noexcept;
    void addToOverview (const Step& step) noexcept;
    void mergeOverviewPairs() noexcept;

    static Bucket load (const AtomicBucket& b) noexcept;
    static void store (AtomicBucket& b, const Bucket& value) noexcept;

    std::unique_ptr<AtomicStep[]> recent;
    std::unique_ptr<AtomicBucket[]> overview;

    std::atomic<std::int64_t> numSteps{0};
    std::atomic<std::int64_t> stepsPerBucket{1};
    std::atomic<std::uint64_t> sequence{0};
    std::atomic<std::uint64_t> changes{0};
    std::atomic<bool> resetPending{false};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LoudnessHistory)
};
