#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>

// Counts block loudness values in 701 bins of 0.1 LU from -70.0 to 0.0 LUFS and derives
// the statistics of a measurement from them (gated integrated loudness, loudness range,
// hit counts), so that memory and cost per value stay fixed however long it runs.
//
// add(), powerSum(), integratedLoudness() and computeRange() run on the loudness thread,
// countAtOrAbove() on the audio thread, copyTo() and clear() on the message thread. No
// locks: the counts and the gating flag are relaxed atomics, and a reader may see counts
// from the middle of an update. Nothing here allocates except copyTo().
//
// Bin 0 (-70.0) is the floor that silence lands in. With gating on it takes part in no
// statistic, as the absolute gate of loudness measurement requires; with gating off
// every counted value is used.
class LoudnessHistogram
{
public:
    static constexpr int numBins = 701;
    static constexpr float floorLevel = -70.0f;

    struct PowerSum
    {
        float sum = 0.0f;     // sum of count * 10^(level / 10), held in single precision
        std::int64_t num = 0; // number of values
    };

    struct Range
    {
        float range = 0.0f; // LU
        float lower = floorLevel;
        float upper = floorLevel;
    };

    LoudnessHistogram();

    // Counts x in its bin. Values below -70 and NaN are ignored; values above 0 count at 0.
    void add (float x) noexcept;

    // Power sum and number of the values in bins fromBin..700.
    PowerSum powerSum (int fromBin) const noexcept;

    // Integrated loudness of everything counted: with gating on, the values above the
    // floor that lie no more than 10 LU below their own mean; -70 when there are none.
    float integratedLoudness() const noexcept;

    // Loudness range between the 10 % and 95 % points of the counted values, with gating
    // on of those above the floor and no more than 20 LU below their power mean.
    Range computeRange() const noexcept;

    // Number of values whose bin is at or above the bin of threshold (clamped to -70..0).
    // A NaN threshold counts nothing.
    int countAtOrAbove (float threshold) const noexcept;

    // Empties both arrays and appends the 701 bin levels and counts in bin order.
    void copyTo (juce::Array<float>& levelsOut, juce::Array<float>& countsOut) const;

    void clear() noexcept;

    // Number of values in bin i.
    float countInBin (int bin) const noexcept { return counts[bin].load (std::memory_order_relaxed); }

    // Loudness of bin i in LUFS.
    float levelOfBin (int bin) const noexcept { return levels[bin]; }

    // Bin of a level: floor (x * 10 + 0.5) + 700 in single precision, clamped to the bins;
    // NaN gives -1.
    static int binOf (float x) noexcept;

    // floor (x * 10 + 0.5) / 10 in single precision: the 0.1 steps every level is kept in.
    static float roundToTenth (float x) noexcept;

    std::atomic<float> counts[numBins];
    float levels[numBins];
    std::atomic<bool> gated{true};

private:
    // The lowest and highest bins counted in since the last clear (numBins and -1 while none):
    // the passes over the bins skip the empty ends, where a programme never goes. Relaxed,
    // like the counts.
    std::atomic<int> lowestUsed{numBins};
    std::atomic<int> highestUsed{-1};

    // 10^(level / 10) of each bin, formed once in double precision.
    double binPowers[numBins];

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LoudnessHistogram)
};
