#include "engine/TruePeakDetector.h"

#include <cmath>
#include <cstdint>
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
// shifting the delay line for every sample) lets `lanes` outputs be computed side by side,
// which the compiler turns into vector arithmetic; each output still sums its twelve products
// in tap order (no fused multiply-add), so the result is that of the plain shift-and-sum.
constexpr int chunk = 256;

#if defined(_MSC_VER)
#define TARN_ALWAYS_INLINE __forceinline
#else
#define TARN_ALWAYS_INLINE inline __attribute__ ((always_inline))
#endif

// With GCC and Clang on x86 further copies of the filter are built for AVX2 and AVX-512 and
// chosen at run time when the processor has them; the arithmetic is the same, four or eight
// doubles at a time (the file is compiled with -ffp-contract=off, so that no multiply and add
// are fused into one rounding).
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define TARN_TRUE_PEAK_AVX2 1
#else
#define TARN_TRUE_PEAK_AVX2 0
#endif

template <int phases>
TARN_ALWAYS_INLINE double largestMagnitude (const double* newest, const FilterRows& rows)
{
    double magnitude = 0.0;

    for (int k = 0; k < phases; ++k)
    {
        double y = 0.0;

        for (int n = 0; n < taps; ++n)
            y += rows[k][n] * newest[-n];

        // Written so that a NaN never becomes the magnitude.
        const double a = std::abs (y);
        magnitude = a > magnitude ? a : magnitude;
    }

    return magnitude;
}

#if defined(__GNUC__) || defined(__clang__)
// `lanes` consecutive outputs in vectors of V (two or four doubles), `lanes` a multiple of
// their width.
template <int phases, int lanes, typename V>
TARN_ALWAYS_INLINE void largestMagnitudes (const double* newest, const FilterRows& rows, float* out)
{
    constexpr int width = (int)(sizeof (V) / sizeof (double));
    constexpr int groups = lanes / width;
    V y[phases][groups]{};

    for (int n = 0; n < taps; ++n)
    {
        V x[groups];

        for (int g = 0; g < groups; ++g)
            std::memcpy (&x[g], newest + g * width - n, sizeof (V));

        for (int k = 0; k < phases; ++k)
        {
            const V h = V{} + rows[k][n];

            for (int g = 0; g < groups; ++g)
                y[k][g] += h * x[g];
        }
    }

    for (int g = 0; g < groups; ++g)
    {
        V magnitude{};

        for (int k = 0; k < phases; ++k)
        {
            const V a = y[k][g] < 0.0 ? -y[k][g] : y[k][g];
            magnitude = a > magnitude ? a : magnitude;
        }

        for (int l = 0; l < width; ++l)
            out[g * width + l] = static_cast<float> (magnitude[l]);
    }
}

typedef double TwoDoubles __attribute__ ((vector_size (16)));
typedef double FourDoubles __attribute__ ((vector_size (32)));
typedef double EightDoubles __attribute__ ((vector_size (64)));
#else
template <int phases, int lanes, typename>
TARN_ALWAYS_INLINE void largestMagnitudes (const double* newest, const FilterRows& rows, float* out)
{
    double y[phases][lanes]{};

    for (int n = 0; n < taps; ++n)
        for (int k = 0; k < phases; ++k)
            for (int s = 0; s < lanes; ++s)
                y[k][s] += rows[k][n] * newest[s - n];

    for (int s = 0; s < lanes; ++s)
    {
        double magnitude = 0.0;

        for (int k = 0; k < phases; ++k)
        {
            const double a = std::abs (y[k][s]);
            magnitude = a > magnitude ? a : magnitude;
        }

        out[s] = static_cast<float> (magnitude);
    }
}

typedef double TwoDoubles;
typedef double FourDoubles;
typedef double EightDoubles;
#endif

// Runs one channel through `phases` rows of the filter, replacing each sample by the largest
// interpolated magnitude, and returns the largest of those.
template <int phases, int lanes, typename V>
TARN_ALWAYS_INLINE float interpolateChannel (float* samples, int numSamples, DelayLine& delayLine,
                                             const FilterRows& rows)
{
    double line[taps + chunk];

    for (int n = 0; n < taps; ++n)
        line[taps - 1 - n] = delayLine[n];

    // The magnitudes are never negative, -0 or NaN (largestMagnitude starts from +0 and takes
    // only larger values), so their bit patterns order as the values do: the peak is kept as
    // an integer maximum, which the compiler turns into vector code.
    std::uint32_t peakBits = 0;

    for (int start = 0; start < numSamples; start += chunk)
    {
        const int m = juce::jmin (chunk, numSamples - start);
        float* out = samples + start;

        for (int i = 0; i < m; ++i)
            line[taps + i] = static_cast<double> (out[i]);

        int i = 0;

        for (; i + lanes <= m; i += lanes)
            largestMagnitudes<phases, lanes, V> (line + taps + i, rows, out + i);

        for (; i < m; ++i)
            out[i] = static_cast<float> (largestMagnitude<phases> (line + taps + i, rows));

        for (i = 0; i < m; ++i)
        {
            std::uint32_t bits;
            std::memcpy (&bits, out + i, sizeof (bits));
            peakBits = bits > peakBits ? bits : peakBits;
        }

        std::memmove (line, line + m, taps * sizeof (double));
    }

    for (int n = 0; n < taps; ++n)
        delayLine[n] = line[taps - 1 - n];

    float peak;
    std::memcpy (&peak, &peakBits, sizeof (peak));
    return peak;
}

template <int phases>
float interpolatePortable (float* samples, int numSamples, DelayLine& delayLine, const FilterRows& rows)
{
    return interpolateChannel<phases, 4, TwoDoubles> (samples, numSamples, delayLine, rows);
}

#if TARN_TRUE_PEAK_AVX2
template <int phases>
__attribute__ ((target ("avx2"))) float interpolateAvx2 (float* samples, int numSamples, DelayLine& delayLine,
                                                         const FilterRows& rows)
{
    return interpolateChannel<phases, 8, FourDoubles> (samples, numSamples, delayLine, rows);
}

template <int phases>
__attribute__ ((target ("avx512f"))) float interpolateAvx512 (float* samples, int numSamples,
                                                              DelayLine& delayLine, const FilterRows& rows)
{
    return interpolateChannel<phases, 32, EightDoubles> (samples, numSamples, delayLine, rows);
}

const bool hasAvx2 = []
{
    __builtin_cpu_init();
    return __builtin_cpu_supports ("avx2") != 0;
}();

const bool hasAvx512 = []
{
    __builtin_cpu_init();
    return __builtin_cpu_supports ("avx512f") != 0;
}();
#endif

template <int phases>
float interpolate (float* samples, int numSamples, DelayLine& delayLine, const FilterRows& rows)
{
#if TARN_TRUE_PEAK_AVX2
    if (hasAvx512)
        return interpolateAvx512<phases> (samples, numSamples, delayLine, rows);

    if (hasAvx2)
        return interpolateAvx2<phases> (samples, numSamples, delayLine, rows);
#endif

    return interpolatePortable<phases> (samples, numSamples, delayLine, rows);
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
                peak = interpolate<4> (samples, n, delayLines[c], coefficients);
            else if (phaseCount == 2)
                peak = interpolate<2> (samples, n, delayLines[c], coefficients);
            else
                peak = measureSamples (samples, n);
        }

        blockPeak[c] = peak > 0.0f ? 20.0f * std::log10 (peak) : -std::numeric_limits<float>::infinity();
    }
}
