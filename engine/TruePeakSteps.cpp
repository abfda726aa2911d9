#include "engine/TruePeakSteps.h"

#include "engine/LoudnessHistogram.h"

#include <cmath>
#include <limits>

namespace
{
constexpr auto relaxed = std::memory_order_relaxed;
}

TruePeakSteps::TruePeakSteps()
{
    for (auto& p : peaks)
        p.store (std::numeric_limits<float>::quiet_NaN(), relaxed);
}

void TruePeakSteps::prepare (int samplesPerStep) noexcept
{
    stepLength = juce::jmax (1, samplesPerStep);
    restart();
}

void TruePeakSteps::restart() noexcept
{
    filled = 0;
    running = 0.0f;
    completed.store (0, relaxed);
}

void TruePeakSteps::add (const juce::AudioSampleBuffer& magnitudes, int start, int numSamples,
                         juce::uint32 channelMask) noexcept
{
    if (stepLength <= 0)
        return;

    const auto channels = magnitudes.getNumChannels();
    const auto end = juce::jmin (start + juce::jmax (0, numSamples), magnitudes.getNumSamples());

    for (int position = juce::jmax (0, start); position < end;)
    {
        const auto n = juce::jmin (stepLength - filled, end - position);

        for (int c = 0; c < channels; ++c)
            if (c >= 32 || (channelMask & (1u << c)) != 0)
                running = juce::jmax (running, juce::FloatVectorOperations::findMaximum (
                                                   magnitudes.getReadPointer (c, position), n));

        position += n;
        filled += n;

        if (filled == stepLength)
            completeStep();
    }
}

void TruePeakSteps::completeStep() noexcept
{
    const auto decibels = running > 0.0f ? LoudnessHistogram::roundToTenth (20.0f * std::log10 (running))
                                         : -std::numeric_limits<float>::infinity();
    const auto index = completed.load (relaxed);
    peaks[index % capacity].store (decibels, relaxed);
    completed.store (index + 1, relaxed);
    filled = 0;
    running = 0.0f;
}

float TruePeakSteps::peakOfStep (std::int64_t index) const noexcept
{
    const auto done = completed.load (relaxed);

    if (index < 0 || index >= done || index < done - capacity)
        return std::numeric_limits<float>::quiet_NaN();

    return peaks[index % capacity].load (relaxed);
}
