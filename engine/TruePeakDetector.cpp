#include "engine/TruePeakDetector.h"

#include "engine/SimdLevel.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

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

// The same taps in single precision, exactly (none has more than 14 significant bits), for all
// four phases and for the two that 88.2 and 96 kHz evaluate.
template <int phases> struct SingleTaps
{
    float rows[phases][TruePeakDetector::tapsPerPhase];

    constexpr SingleTaps() : rows()
    {
        for (int k = 0; k < phases; ++k)
            for (int n = 0; n < TruePeakDetector::tapsPerPhase; ++n)
                rows[k][n] = static_cast<float> (interpolationTaps[phases == 4 ? k : 2 * k + 1][n]);
    }
};

constexpr SingleTaps<4> fourPhaseTaps;
constexpr SingleTaps<2> twoPhaseTaps;

// Phase 3 is phase 0 reversed and phase 2 phase 1 reversed, so each pair is worked out from
// half the products: with u = x[n - j] + x[n - 11 + j] and v = x[n - j] - x[n - 11 + j]
// (j = 0..5), the sum of the pair's outputs is sum (h[j] + h[11 - j]) u and their difference
// sum (h[j] - h[11 - j]) v, and the larger magnitude of the two is (|sum| + |difference|) / 2.
// Both taps of a pair have 14 significant bits, so their sum and difference are exact floats.
struct PairedTaps
{
    static constexpr int half = TruePeakDetector::tapsPerPhase / 2;
    float sum[2][half];
    float difference[2][half];

    constexpr PairedTaps() : sum(), difference()
    {
        for (int p = 0; p < 2; ++p)
            for (int j = 0; j < half; ++j)
            {
                const double a = interpolationTaps[p][j];
                const double b = interpolationTaps[p][TruePeakDetector::tapsPerPhase - 1 - j];
                sum[p][j] = static_cast<float> (a + b);
                difference[p][j] = static_cast<float> (a - b);
            }
    }
};

constexpr PairedTaps pairedTaps;

using DelayLine = double[TruePeakDetector::maxTaps];
using FilterRows = double[TruePeakDetector::maxPhases][TruePeakDetector::maxTaps];
constexpr int history = TruePeakDetector::maxTaps;

// Samples are filtered from a stack line, oldest first: the channel's delay line followed by
// up to `chunk` samples of the block. Reading the taps from one contiguous line (instead of
// shifting the delay line for every sample) lets `lanes` outputs be computed side by side,
// which the compiler turns into vector arithmetic; each output still sums its products in tap
// order, so the result is that of the plain shift-and-sum in the kernel's precision.
constexpr int chunk = 256;

#if defined(_MSC_VER)
#define TARN_ALWAYS_INLINE __forceinline
#else
#define TARN_ALWAYS_INLINE inline __attribute__ ((always_inline))
#endif

// With GCC and Clang on x86 further copies of the filter are built for AVX2 and AVX-512 and
// chosen at run time (simdLevel). The file is compiled with -ffp-contract=off: a multiply and
// an add are fused only where a kernel says so, the same way in every kernel.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define TARN_TRUE_PEAK_AVX2 1
#else
#define TARN_TRUE_PEAK_AVX2 0
#endif

// `phases` rows of `taps` taps; phases 0 means `count` rows, known only at run time. Samples and
// sums in T; multiplyAdd (y, h, x) adds h x to y.
template <int taps, int phases, typename T, typename Rows, typename MultiplyAdd>
TARN_ALWAYS_INLINE T largestMagnitude (const T* newest, const Rows& rows, int count, MultiplyAdd multiplyAdd)
{
    const int rowCount = phases > 0 ? phases : count;
    T magnitude = 0;

    for (int k = 0; k < rowCount; ++k)
    {
        T y = 0;

        for (int n = 0; n < taps; ++n)
            multiplyAdd (y, static_cast<T> (rows[k][n]), newest[-n]);

        // Written so that a NaN never becomes the magnitude.
        const T a = std::abs (y);
        magnitude = a > magnitude ? a : magnitude;
    }

    return magnitude;
}

#if defined(__GNUC__) || defined(__clang__)
// `lanes` consecutive outputs in vectors of V (two, four or eight doubles), `lanes` a multiple
// of their width.
template <int taps, int phases, int lanes, typename V, typename T, typename Rows, typename MultiplyAdd>
TARN_ALWAYS_INLINE void largestMagnitudes (const T* newest, const Rows& rows, int count, float* out,
                                           MultiplyAdd multiplyAdd)
{
    constexpr int width = (int)(sizeof (V) / sizeof (T));
    constexpr int groups = lanes / width;
    V magnitude[groups]{};

    if constexpr (phases > 0)
    {
        // All phases side by side: each sample vector is loaded once for every phase.
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
                    multiplyAdd (y[k][g], h, x[g]);
            }
        }

        for (int g = 0; g < groups; ++g)
            for (int k = 0; k < phases; ++k)
            {
                const V a = y[k][g] < T (0) ? -y[k][g] : y[k][g];
                magnitude[g] = a > magnitude[g] ? a : magnitude[g];
            }
    }
    else
    {
        for (int k = 0; k < count; ++k)
        {
            V y[groups]{};

            for (int n = 0; n < taps; ++n)
            {
                const V h = V{} + rows[k][n];

                for (int g = 0; g < groups; ++g)
                {
                    V x;
                    std::memcpy (&x, newest + g * width - n, sizeof (V));
                    y[g] += h * x;
                }
            }

            for (int g = 0; g < groups; ++g)
            {
                const V a = y[g] < T (0) ? -y[g] : y[g];
                magnitude[g] = a > magnitude[g] ? a : magnitude[g];
            }
        }
    }

    for (int g = 0; g < groups; ++g)
        for (int l = 0; l < width; ++l)
            out[g * width + l] = static_cast<float> (magnitude[g][l]);
}

typedef float EightFloats __attribute__ ((vector_size (32)));
typedef float SixteenFloats __attribute__ ((vector_size (64)));
typedef double TwoDoubles __attribute__ ((vector_size (16)));
typedef double FourDoubles __attribute__ ((vector_size (32)));
typedef double EightDoubles __attribute__ ((vector_size (64)));
#else
template <int taps, int phases, int lanes, typename, typename T, typename Rows, typename MultiplyAdd>
TARN_ALWAYS_INLINE void largestMagnitudes (const T* newest, const Rows& rows, int count, float* out,
                                           MultiplyAdd multiplyAdd)
{
    for (int s = 0; s < lanes; ++s)
        out[s] = static_cast<float> (largestMagnitude<taps, phases> (newest + s, rows, count, multiplyAdd));
}

typedef double TwoDoubles;
typedef double FourDoubles;
typedef double EightDoubles;
#endif

// x = |x| by clearing the sign bits: one instruction, where a comparison would take three.
template <typename V> TARN_ALWAYS_INLINE void clearSign (V& x)
{
    if constexpr (std::is_same_v<V, float>)
        x = std::fabs (x);
    else
    {
        typedef std::int32_t Bits __attribute__ ((vector_size (sizeof (V))));
        Bits bits;
        std::memcpy (&bits, &x, sizeof (V));
        bits &= 0x7fffffff;
        std::memcpy (&x, &bits, sizeof (V));
    }
}

// The largest magnitude of the four phases of the 48-tap filter at each of the samples in V
// (one float, or a vector of them), newest the latest of the first, into out: the pairs of
// phases above, in single precision, the sums in tap order. No vector crosses the call.
template <typename V, typename MultiplyAdd>
TARN_ALWAYS_INLINE void largestPairedMagnitude (const float* newest, float* out, MultiplyAdd multiplyAdd)
{
    constexpr int half = PairedTaps::half;
    V u[half], v[half];

    for (int j = 0; j < half; ++j)
    {
        V a, b;
        std::memcpy (&a, newest - j, sizeof (V));
        std::memcpy (&b, newest - (2 * half - 1) + j, sizeof (V));
        u[j] = a + b;
        v[j] = a - b;
    }

    V largest{};

    for (int p = 0; p < 2; ++p)
    {
        V sum = (V{} + pairedTaps.sum[p][0]) * u[0];
        V difference = (V{} + pairedTaps.difference[p][0]) * v[0];

        for (int j = 1; j < half; ++j)
        {
            multiplyAdd (sum, V{} + pairedTaps.sum[p][j], u[j]);
            multiplyAdd (difference, V{} + pairedTaps.difference[p][j], v[j]);
        }

        clearSign (sum);
        clearSign (difference);

        // Written so that a NaN never becomes the magnitude.
        const V m = sum + difference;
        largest = m > largest ? m : largest;
    }

    const V magnitude = largest * 0.5f;
    std::memcpy (out, &magnitude, sizeof (V));
}

// Runs one channel through the filter, writing for each sample the largest interpolated
// magnitude (in may be out), and returns the largest of those.
// Samples and sums in T (double, or float where every kernel fuses the same way); the line's
// samples come from floats, so either holds them exactly.
// With `paired` (the 48-tap filter's four phases in single precision), largestPairedMagnitude.
template <int taps, int phases, int lanes, typename V, typename T, bool paired = false, typename Rows,
          typename MultiplyAdd>
TARN_ALWAYS_INLINE float interpolateChannel (const float* in, float* samples, int numSamples,
                                             DelayLine& delayLine, const Rows& rows, int count,
                                             MultiplyAdd multiplyAdd)
{
    static_assert (!paired || (std::is_same_v<T, float> && taps == 12 && phases == 4));

    T line[history + chunk];

    for (int n = 0; n < history; ++n)
        line[history - 1 - n] = static_cast<T> (delayLine[n]);

    // The magnitudes are never negative, -0 or NaN (largestMagnitude starts from +0 and takes
    // only larger values), so their bit patterns order as the values do: the peak is kept as
    // an integer maximum, which the compiler turns into vector code.
    std::uint32_t peakBits = 0;

    for (int start = 0; start < numSamples; start += chunk)
    {
        const int m = juce::jmin (chunk, numSamples - start);
        float* out = samples + start;

        for (int i = 0; i < m; ++i)
            line[history + i] = static_cast<T> (in[start + i]);

        int i = 0;

        if constexpr (paired)
        {
            constexpr int width = (int)(sizeof (V) / sizeof (float));

            for (; i + width <= m; i += width)
                largestPairedMagnitude<V> (line + history + i, out + i, multiplyAdd);

            for (; i < m; ++i)
                largestPairedMagnitude<float> (line + history + i, out + i, multiplyAdd);
        }
        else
        {
            for (; i + lanes <= m; i += lanes)
                largestMagnitudes<taps, phases, lanes, V, T> (line + history + i, rows, count, out + i,
                                                              multiplyAdd);

            for (; i < m; ++i)
                out[i] = static_cast<float> (
                    largestMagnitude<taps, phases> (line + history + i, rows, count, multiplyAdd));
        }

        for (i = 0; i < m; ++i)
        {
            std::uint32_t bits;
            std::memcpy (&bits, out + i, sizeof (bits));
            peakBits = bits > peakBits ? bits : peakBits;
        }

        std::memmove (line, line + m, history * sizeof (T));
    }

    for (int n = 0; n < history; ++n)
        delayLine[n] = static_cast<double> (line[history - 1 - n]);

    float peak;
    std::memcpy (&peak, &peakBits, sizeof (peak));
    return peak;
}

// y + h x with two roundings.
struct MultiplyThenAdd
{
    template <typename V> TARN_ALWAYS_INLINE void operator() (V& y, const V& h, const V& x) const
    {
        y += h * x;
    }
};

template <int taps, int phases>
float interpolatePortable (const float* in, float* samples, int numSamples, DelayLine& delayLine,
                           const FilterRows& rows, int count)
{
    return interpolateChannel<taps, phases, 4, TwoDoubles, double> (in, samples, numSamples, delayLine, rows,
                                                                    count, MultiplyThenAdd{});
}

#if TARN_TRUE_PEAK_AVX2
// The 48-tap filter runs in single precision with fused multiply-adds, eight or sixteen samples
// a vector: twice the samples of double precision for the same work, and within about 1e-5 dB
// of it (each of the twelve sums rounds once per tap, 2^-24 of a full-scale crest at most). The
// tail of a block that fills no vector takes the same fused steps one sample at a time, so a
// sample's magnitude does not depend on where a block ends. Designed filters' taps use all 53
// bits of a double and keep double precision with separate multiplies and adds.
//
// Written as the instruction itself: the intrinsics, which carry a target of their own, could
// not be inlined through the kernels, which carry none. Always inlined into the copies built for
// these targets, so no vector crosses a call and the warning about the calling convention of
// vectors without AVX does not apply.
#if defined(__clang__)
// Clang checks the instruction's operands against the always-inlined helpers between it and
// the kernel, which carry no target, and refuses them; its builds (the fuzzers) take the
// separate multiply and add.
using FusedAvx2 = MultiplyThenAdd;
using FusedAvx512 = MultiplyThenAdd;
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
struct FusedScalar
{
    TARN_ALWAYS_INLINE void operator() (float& y, float h, float x) const
    {
        asm("vfmadd231ss %[x], %[h], %[y]" : [y] "+x"(y) : [h] "x"(h), [x] "x"(x));
    }
};

struct FusedAvx2 : FusedScalar
{
    using FusedScalar::operator();

    TARN_ALWAYS_INLINE void operator() (EightFloats& y, const EightFloats& h, const EightFloats& x) const
    {
        asm("vfmadd231ps %t[x], %t[h], %t[y]" : [y] "+x"(y) : [h] "x"(h), [x] "x"(x));
    }
};

struct FusedAvx512 : FusedScalar
{
    using FusedScalar::operator();

    TARN_ALWAYS_INLINE void operator() (SixteenFloats& y, const SixteenFloats& h,
                                        const SixteenFloats& x) const
    {
        asm("vfmadd231ps %g[x], %g[h], %g[y]" : [y] "+v"(y) : [h] "v"(h), [x] "v"(x));
    }
};

#pragma GCC diagnostic pop
#endif

template <int phases> constexpr const SingleTaps<phases>& singleTaps()
{
    if constexpr (phases == 4)
        return fourPhaseTaps;
    else
        return twoPhaseTaps;
}

template <int taps, int phases>
__attribute__ ((target ("avx2,fma"))) float interpolateAvx2 (const float* in, float* samples, int numSamples,
                                                             DelayLine& delayLine, const FilterRows& rows,
                                                             int count)
{
    if constexpr (phases == 4)
        return interpolateChannel<taps, phases, 8, EightFloats, float, true> (
            in, samples, numSamples, delayLine, singleTaps<phases>().rows, count, FusedAvx2{});
    else if constexpr (phases > 0)
        return interpolateChannel<taps, phases, 16, EightFloats, float> (
            in, samples, numSamples, delayLine, singleTaps<phases>().rows, count, FusedAvx2{});
    else
        return interpolateChannel<taps, phases, 8, FourDoubles, double> (in, samples, numSamples, delayLine,
                                                                         rows, count, MultiplyThenAdd{});
}

template <int taps, int phases>
__attribute__ ((target ("avx512f,avx2,fma"))) float interpolateAvx512 (const float* in, float* samples,
                                                                       int numSamples, DelayLine& delayLine,
                                                                       const FilterRows& rows, int count)
{
    if constexpr (phases == 4)
        return interpolateChannel<taps, phases, 16, SixteenFloats, float, true> (
            in, samples, numSamples, delayLine, singleTaps<phases>().rows, count, FusedAvx512{});
    else if constexpr (phases > 0)
        return interpolateChannel<taps, phases, 32, SixteenFloats, float> (
            in, samples, numSamples, delayLine, singleTaps<phases>().rows, count, FusedAvx512{});
    else
        return interpolateChannel<taps, phases, 32, EightDoubles, double> (in, samples, numSamples, delayLine,
                                                                           rows, count, MultiplyThenAdd{});
}
#endif

template <int taps, int phases>
float interpolate (const float* in, float* samples, int numSamples, DelayLine& delayLine,
                   const FilterRows& rows, int count)
{
#if TARN_TRUE_PEAK_AVX2
    static const SimdLevel level = simdLevel();

    if (level == SimdLevel::avx512)
        return interpolateAvx512<taps, phases> (in, samples, numSamples, delayLine, rows, count);

    if (level == SimdLevel::avx2)
        return interpolateAvx2<taps, phases> (in, samples, numSamples, delayLine, rows, count);
#endif

    return interpolatePortable<taps, phases> (in, samples, numSamples, delayLine, rows, count);
}

// The history runs on while the samples themselves are measured, so that a later change to an
// interpolating rate starts from the latest samples.
void keepHistory (const float* samples, int numSamples, DelayLine& delayLine)
{
    const int kept = juce::jmin (numSamples, history);
    std::memmove (delayLine + kept, delayLine, (size_t)(history - kept) * sizeof (double));

    for (int n = 0; n < kept; ++n)
        delayLine[n] = static_cast<double> (samples[numSamples - 1 - n]);
}

double besselI0 (double x)
{
    double sum = 1.0, term = 1.0;

    for (int k = 1; k < 40; ++k)
    {
        const double t = x / (2.0 * k);
        term *= t * t;
        sum += term;
    }

    return sum;
}

float measureSamples (const float* in, float* samples, int numSamples)
{
    float peak = 0.0f;

    for (int j = 0; j < numSamples; ++j)
    {
        const auto p = std::abs (in[j]);
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
        taps = tapsPerPhase;
    }
    else if (rate == 88200.0 || rate == 96000.0)
    {
        mode = 2;
        phaseCount = 2;
        taps = tapsPerPhase;
    }
    else if (rate > 0.0 && std::isfinite (rate))
    {
        // An interpolated rate of 240 kHz keeps a 20 kHz crest halfway between two interpolated
        // points within 0.3 dB; 2x up to 352.8 kHz, where a tone at 20 kHz is itself sampled
        // that closely.
        const double factor = std::ceil (240000.0 / rate);
        const int phases = rate < 352800.0 ? (int)juce::jlimit (2.0, (double)maxPhases, factor) : 1;

        mode = phases > 1 ? 3 : 4;
        phaseCount = phases > 1 ? phases : 0;
        taps = phases > 1 ? designedTaps : 0;
    }
    // A rate that is not a positive number keeps the previous choice (sample peak while nothing
    // has been chosen).

    loadCoefficients();
}

void TruePeakDetector::loadCoefficients()
{
    for (auto& row : coefficients)
        for (auto& tap : row)
            tap = 0.0;

    if (mode == 1)
    {
        for (int k = 0; k < numPhases; ++k)
            std::memcpy (coefficients[k], interpolationTaps[k], sizeof (interpolationTaps[k]));
    }
    else if (mode == 2)
    {
        // The points a quarter and three quarters of a period after each sample.
        std::memcpy (coefficients[0], interpolationTaps[1], sizeof (interpolationTaps[1]));
        std::memcpy (coefficients[1], interpolationTaps[3], sizeof (interpolationTaps[3]));
    }
    else if (mode == 3)
    {
        designFilter (phaseCount);
    }
}

void TruePeakDetector::designFilter (int factor)
{
    // A sinc cut off at half the input rate under a Kaiser window (beta 6) of factor x 16 points,
    // each phase scaled to a gain of exactly one at 0 Hz. Taken as the largest of all phases,
    // tones up to 0.45 of the rate read within about -0.3 / +0.02 dB wherever their crests fall.
    constexpr double pi = 3.14159265358979323846;
    constexpr double beta = 6.0;
    const int length = factor * designedTaps;
    const double centre = (length - 1) / 2.0;

    for (int m = 0; m < length; ++m)
    {
        const double t = (m - centre) / factor; // in input samples
        const double sinc = t == 0.0 ? 1.0 : std::sin (pi * t) / (pi * t);
        const double r = (m - centre) / centre;
        const double window = besselI0 (beta * std::sqrt (juce::jmax (0.0, 1.0 - r * r))) / besselI0 (beta);
        coefficients[m % factor][designedTaps - 1 - m / factor] = sinc * window;
    }

    for (int k = 0; k < factor; ++k)
    {
        double sum = 0.0;

        for (int n = 0; n < designedTaps; ++n)
            sum += coefficients[k][n];

        for (int n = 0; n < designedTaps; ++n)
            coefficients[k][n] /= sum;
    }
}

void TruePeakDetector::setActiveChannels (int count) noexcept
{
    setActiveChannelMask ((1u << juce::jlimit (0, numChannels, count)) - 1);
}

void TruePeakDetector::setActiveChannelMask (juce::uint32 mask) noexcept
{
    activeMask = mask & ((1u << numChannels) - 1);

    // A channel that comes back starts from silence.
    for (int c = 0; c < numChannels; ++c)
        if ((activeMask & (1u << c)) == 0)
            for (auto& sample : delayLines[c])
                sample = 0.0;
}

void TruePeakDetector::prepare (int maximumBlockSize)
{
    buffer.setSize (numChannels, juce::jmax (0, maximumBlockSize), false, true, true);
    silentChannels = 0;
}

void TruePeakDetector::process (int numSamples)
{
    // The caller wrote the samples into `buffer`, the inactive channels' too.
    silentChannels = 0;
    process (buffer.getArrayOfReadPointers(), numSamples);
}

void TruePeakDetector::process (const float* const* sources, int numSamples)
{
    const int n = juce::jlimit (0, buffer.getNumSamples(), numSamples);
    const int channels = juce::jmin (numChannels, buffer.getNumChannels());

    for (int c = 0; c < numChannels; ++c)
    {
        float peak = 0.0f;

        if (c < channels && n > 0)
        {
            auto* samples = buffer.getWritePointer (c);
            const float* in = sources[c];

            if ((activeMask & (1u << c)) != 0)
                silentChannels &= ~(1u << c);

            if ((activeMask & (1u << c)) == 0)
            {
                // Cleared once while the channel stays inactive.
                if ((silentChannels & (1u << c)) == 0)
                    juce::FloatVectorOperations::clear (samples, buffer.getNumSamples());
                silentChannels |= 1u << c;
            }
            else if (mode == 1)
                peak = interpolate<tapsPerPhase, 4> (in, samples, n, delayLines[c], coefficients, 4);
            else if (mode == 2)
                peak = interpolate<tapsPerPhase, 2> (in, samples, n, delayLines[c], coefficients, 2);
            else if (mode == 3)
                peak = interpolate<designedTaps, 0> (in, samples, n, delayLines[c], coefficients, phaseCount);
            else
            {
                keepHistory (in, n, delayLines[c]);
                peak = measureSamples (in, samples, n);
            }
        }

        blockPeak[c] = peak > 0.0f ? 20.0f * std::log10 (peak) : -std::numeric_limits<float>::infinity();
    }
}
