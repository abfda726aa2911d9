#include "engine/LoudnessHistogram.h"

#include <cmath>
#include <limits>

namespace
{
constexpr auto relaxed = std::memory_order_relaxed;

// With gating on the floor bin is left out of every pass.
constexpr int firstGatedBin = 1;

float tenLog10 (float power) noexcept
{
    return 10.0f * std::log10 (power);
}
} // namespace

LoudnessHistogram::LoudnessHistogram()
{
    for (int i = 0; i < numBins; ++i)
    {
        counts[i].store (0.0f, relaxed);
        levels[i] = roundToTenth (0.1f * static_cast<float> (i) - 70.0f);
        binPowers[i] = std::pow (10.0, static_cast<double> (levels[i]) / 10.0);
    }
}

float LoudnessHistogram::roundToTenth (float x) noexcept
{
    return std::floor (x * 10.0f + 0.5f) / 10.0f;
}

int LoudnessHistogram::binOf (float x) noexcept
{
    if (std::isnan (x))
        return -1;

    // Clamped while still a float, so that infinities convert safely.
    const float k = juce::jlimit (-700.0f, 0.0f, std::floor (x * 10.0f + 0.5f));
    return static_cast<int> (k) + 700;
}

void LoudnessHistogram::add (float x) noexcept
{
    if (std::isnan (x) || x < floorLevel)
        return;

    const int bin = binOf (x);
    auto& count = counts[bin];
    count.store (count.load (relaxed) + 1.0f, relaxed);

    if (bin < lowestUsed.load (relaxed))
        lowestUsed.store (bin, relaxed);

    if (bin > highestUsed.load (relaxed))
        highestUsed.store (bin, relaxed);
}

LoudnessHistogram::PowerSum LoudnessHistogram::powerSum (int fromBin) const noexcept
{
    PowerSum result;

    const int end = juce::jmin (numBins, highestUsed.load (relaxed) + 1);

    for (int i = juce::jmax (0, fromBin, lowestUsed.load (relaxed)); i < end; ++i)
    {
        const float count = counts[i].load (relaxed);

        if (count == 0.0f)
            continue;

        result.sum = static_cast<float> (static_cast<double> (result.sum) +
                                         static_cast<double> (count) * binPowers[i]);
        result.num += static_cast<std::int64_t> (count);
    }

    return result;
}

float LoudnessHistogram::integratedLoudness() const noexcept
{
    const bool isGated = gated.load (relaxed);

    const auto all = powerSum (isGated ? firstGatedBin : 0);

    if (all.num == 0)
        return floorLevel;

    float integrated = tenLog10 (all.sum / static_cast<float> (all.num));

    if (isGated)
    {
        const float gate = roundToTenth (integrated - 10.0f);
        const auto kept = powerSum (juce::jmax (firstGatedBin, binOf (gate)));

        if (kept.num > 0)
            integrated = tenLog10 (kept.sum / static_cast<float> (kept.num));
    }

    return integrated;
}

LoudnessHistogram::Range LoudnessHistogram::computeRange() const noexcept
{
    const bool isGated = gated.load (relaxed);
    const int firstBin = isGated ? firstGatedBin : 0;

    // First pass: number, power sum and the outermost non-empty bins.
    std::int64_t num = 0;
    float power = 0.0f;
    int lowest = numBins - 1;
    int highest = 0;
    const int end = juce::jmin (numBins, highestUsed.load (relaxed) + 1);
    const int start = juce::jmax (firstBin, lowestUsed.load (relaxed));

    for (int i = start; i < end; ++i)
    {
        const float count = counts[i].load (relaxed);

        if (count == 0.0f)
            continue;

        num += static_cast<std::int64_t> (count);
        power = static_cast<float> (static_cast<double> (power) + static_cast<double> (count) * binPowers[i]);
        lowest = juce::jmin (lowest, i);
        highest = juce::jmax (highest, i);
    }

    if (num == 0)
        return {};

    if (isGated)
    {
        const float mean = tenLog10 (power / static_cast<float> (num));
        const int from = juce::jmax (firstGatedBin, binOf (roundToTenth (mean - 20.0f)));

        num = 0;
        lowest = numBins - 1;
        highest = 0;

        for (int i = juce::jmax (from, start); i < end; ++i)
        {
            const float count = counts[i].load (relaxed);

            if (count == 0.0f)
                continue;

            num += static_cast<std::int64_t> (count);
            lowest = juce::jmin (lowest, i);
            highest = juce::jmax (highest, i);
        }

        highest = juce::jmax (highest, from);

        if (num == 0)
            return {};
    }

    Range result;

    if (highest == lowest)
    {
        result.lower = result.upper = levels[lowest];
        return result;
    }

    const auto p10 = static_cast<std::int64_t> (std::floor (static_cast<float> (num) * 0.1f));
    const auto p95 = static_cast<std::int64_t> (std::floor (static_cast<float> (num) * 0.95f));

    // lowBin: the last bin with at most p10 values below it; highBin the same for p95,
    // not counting the top non-empty bin itself.
    int lowBin = 0;
    int highBin = 0;
    std::int64_t cumulative = 0;

    for (int i = lowest; i < highest; ++i)
    {
        if (cumulative <= p10)
            lowBin = i;

        if (cumulative <= p95)
            highBin = i;

        cumulative += static_cast<std::int64_t> (counts[i].load (relaxed));
    }

    result.lower = levels[lowBin];
    result.upper = levels[highBin];
    result.range = result.upper - result.lower;
    return result;
}

int LoudnessHistogram::countAtOrAbove (float threshold) const noexcept
{
    if (std::isnan (threshold))
        return 0;

    std::int64_t total = 0;

    const int end = juce::jmin (numBins, highestUsed.load (relaxed) + 1);

    for (int i = juce::jmax (binOf (juce::jlimit (floorLevel, 0.0f, threshold)), lowestUsed.load (relaxed));
         i < end; ++i)
        total += static_cast<std::int64_t> (counts[i].load (relaxed));

    return static_cast<int> (juce::jmin (total, static_cast<std::int64_t> (std::numeric_limits<int>::max())));
}

void LoudnessHistogram::copyTo (juce::Array<float>& levelsOut, juce::Array<float>& countsOut) const
{
    levelsOut.clearQuick();
    countsOut.clearQuick();
    levelsOut.ensureStorageAllocated (numBins);
    countsOut.ensureStorageAllocated (numBins);

    for (int i = 0; i < numBins; ++i)
    {
        levelsOut.add (levels[i]);
        countsOut.add (counts[i].load (relaxed));
    }
}

void LoudnessHistogram::clear() noexcept
{
    for (auto& count : counts)
        count.store (0.0f, relaxed);

    lowestUsed.store (numBins, relaxed);
    highestUsed.store (-1, relaxed);
}
