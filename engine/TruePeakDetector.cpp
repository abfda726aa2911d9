#include "engine/TruePeakDetector.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
// The four phases of the 4x interpolation filter, in phase order and tap order. Phases 0 and
// 3 are each other's reverse, and so are phases 1 and 2.
constexpr double interpolationTaps[TruePeakDetector::numPhases][TruePeakDetector::tapsPerPhase] = {
    {0.0017089843750, 0.0109863281250, -0.0196533203125, 0.0332031250000, -0.0594482421875, 0.1373291015625,
     0.9721679687500, -0.1022949218750, 0.0476074218750, -0.0266113281250, 0.0148925781250, -0.0083007812500},
    {-0.0291748046875, 0.0292968750000, -0.0517578125000, 0.0891113281250, -0.1665039062500, 0.4650878906250,
     0.7797851562500, -0.2003173828125, 0.1015625000000, -0.0582275390625, 0.0330810546875, -0.0189208984375},
    {-0.0189208984375, 0.0330810546875, -0.0582275390625, 0.1015625000000, -0.2003173828125, 0.7797851562500,
     0.4650878906250, -0.1665039062500, 0.0891113281250, -0.0517578125000, 0.0292968750000, -0.0291748046875},
    {-0.0083007812500, 0.0148925781250, -0.0266113281250, 0.0476074218750, -0.1022949218750, 0.9721679687500,
     0.1373291015625, -0.0594482421875, 0.0332031250000, -0.0196533203125, 0.0109863281250, 0.0017089843750}};

constexpr int taps = TruePeakDetector::tapsPerPhase;
using DelayLine = double[TruePeakDetector::tapsPerPhase];
using FilterRows = double[TruePeakDetector::numPhases][TruePeakDetector::tapsPerPhase];

// Samples are filtered from a stack line, oldest first: the channel's delay line followed by
// up to `chunk` samples of the block. Reading the taps from one contiguous line (instead of
// shifting the delay line for every sample) lets four outputs be computed side by side; each
// output still sums its twelve products in tap order, so the result is that of the plain
// shift-and-sum.
constexpr int chunk = 256;
constexpr int lanes = 4;

template <int phases> inline double largestMagnitude (const double* newest, const FilterRows& rows)
{
    double magnitude = 0.0;

    for (int k = 0; k < phases; ++k)
    {
        double y = 0.0;

        for (int n = 0; n < taps; ++n)
            y += rows[k][n] * newest[-n];

        // Written so that a NaN never becomes the magnitude.
        if (std::abs (y) > magnitude)
            magnitude = std::abs (y);
    }

    return magnitude;
}

template <int phases>
inline void largestMagnitudes (const double* newest, const FilterRows& rows, double (&magnitude)[lanes])
{
    double y[lanes][phases]{};

    for (int n = 0; n < taps; ++n)
        for (int s = 0; s < lanes; ++s)
            for (int k = 0; k < phases; ++k)
                y[s][k] += rows[k][n] * newest[s - n];

    for (int s = 0; s < lanes; ++s)
    {
        magnitude[s] = 0.0;

        for (int k = 0; k < phases; ++k)
            if (std::abs (y[s][k]) > magnitude[s])
                magnitude[s] = std::abs (y[s][k]);
    }
}

// Runs one channel through `phases` rows of the filter, replacing each sample by the largest
// interpolated magnitude, and returns the largest of those.
template <int phases>
float interpolateChannel (float* samples, int numSamples, DelayLine& delayLine, const FilterRows& rows)
{
    double line[taps + chunk];

    for (int n = 0; n < taps; ++n)
        line[taps - 1 - n] = delayLine[n];

    float peak = 0.0f;

    for (int start = 0; start < numSamples; start += chunk)
    {
        const int m = juce::jmin (chunk, numSamples - start);
        float* out = samples + start;

        for (int i = 0; i < m; ++i)
            line[taps + i] = static_cast<double> (out[i]);

        int i = 0;

        for (; i + lanes <= m; i += lanes)
        {
            double magnitude[lanes];
            largestMagnitudes<phases> (line + taps + i, rows, magnitude);

            for (int s = 0; s < lanes; ++s)
                out[i + s] = static_cast<float> (magnitude[s]);
        }

        for (; i < m; ++i)
            out[i] = static_cast<float> (largestMagnitude<phases> (line + taps + i, rows));

        for (i = 0; i < m; ++i)
            if (out[i] > peak)
                peak = out[i];

        std::memmove (line, line + m, taps * sizeof (double));
    }

    for (int n = 0; n < taps; ++n)
        delayLine[n] = line[taps - 1 - n];

    return peak;
}

float measureSamples (float* samples, int numSamples)
{
    float peak = 0.0f;

    for (int j = 0; j < numSamples; ++j)
    {
        const auto p = std::abs (samples[j]);
        samples[j] = p;

        if (p > peak)
            peak = p;
    }

    return peak;
}
} // namespace

TruePeakDetector::TruePeakDetector()
{
    for (auto& peak : blockPeak)
        peak = -70.0f;
}

void TruePeakDetector::setSampleRate (double rate)
{
    if (rate == sampleRate)
        return;

    sampleRate = rate;

    if (rate == 44100.0 || rate == 48000.0)
    {
        mode = 1;
        phaseCount = 4;
    }
    else if (rate == 88200.0 || rate == 96000.0)
    {
        mode = 2;
        phaseCount = 2;
    }
    else if (rate == 176400.0 || rate == 192000.0)
    {
        mode = 4;
        phaseCount = 0;
    }
    // Any other rate keeps the previous choice (sample peak while nothing has been chosen).

    loadCoefficients();
}

void TruePeakDetector::loadCoefficients()
{
    if (mode == 1)
    {
        std::memcpy (coefficients, interpolationTaps, sizeof (coefficients));
    }
    else if (mode == 2)
    {
        // The points a quarter and three quarters of a period after each sample; rows 2 and 3
        // are not used with two phases.
        std::memcpy (coefficients[0], interpolationTaps[1], sizeof (coefficients[0]));
        std::memcpy (coefficients[1], interpolationTaps[3], sizeof (coefficients[1]));
    }
    else
    {
        for (auto& row : coefficients)
            for (auto& tap : row)
                tap = 0.0;
    }
}

void TruePeakDetector::prepare (int maximumBlockSize)
{
    buffer.setSize (numChannels, juce::jmax (0, maximumBlockSize), false, true, true);
}

void TruePeakDetector::process (int numSamples)
{
    const int n = juce::jlimit (0, buffer.getNumSamples(), numSamples);
    const int channels = juce::jmin (numChannels, buffer.getNumChannels());

    for (int c = 0; c < numChannels; ++c)
    {
        float peak = 0.0f;

        if (c < channels && n > 0)
        {
            auto* samples = buffer.getWritePointer (c);

            if (phaseCount == 4)
                peak = interpolateChannel<4> (samples, n, delayLines[c], coefficients);
            else if (phaseCount == 2)
                peak = interpolateChannel<2> (samples, n, delayLines[c], coefficients);
            else
                peak = measureSamples (samples, n);
        }

        blockPeak[c] = peak > 0.0f ? 20.0f * std::log10 (peak) : -std::numeric_limits<float>::infinity();
    }
}
