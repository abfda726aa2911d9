#include "engine/OSKALoudnessModule.h"

#include "engine/SimdLevel.h"

#include <cmath>
#include <limits>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

namespace
{
constexpr auto relaxed = std::memory_order_relaxed;

// K-weighting in single precision: stage 1 is the high-shelf pre-filter (b0, b1, b2, a1,
// a2), stage 2 the RLB high-pass (numerator 1, -2, 1; a1, a2). The 48 kHz row is the
// published filter, the others the same analogue designs transformed for their rate.
struct KWeightingRow
{
    int rate;
    float b0, b1, b2, a1, a2;
    float rlbA1, rlbA2;
};

constexpr KWeightingRow kWeightingTable[] = {
    {44100, 1.5308412f, -2.65098f, 1.1690791f, -1.6636552f, 0.7125954f, -1.9891697f, 0.98919904f},
    {48000, 1.5351249f, -2.6916962f, 1.1983929f, -1.6906593f, 0.73248076f, -1.9900475f, 0.99007225f},
    {88200, 1.5575154f, -2.905627f, 1.361334f, -1.83092f, 0.84414226f, -1.9945775f, 0.99458486f},
    {96000, 1.5597142f, -2.9267416f, 1.3782612f, -1.8446095f, 0.8558433f, -1.9950175f, 0.9950238f},
    {176400, 1.5711154f, -3.0365446f, 1.4688716f, -1.9153293f, 0.91877174f, -1.9972869f, 0.99728876f},
    {192000, 1.5722272f, -3.047283f, 1.4779713f, -1.9222022f, 0.92511773f, -1.9975072f, 0.99750876f},
};

// Both stages designed for `rate` from their analogue prototypes by the bilinear transform,
// pre-warped at each stage's corner, in double precision. The published 48 kHz filter is this
// design at 48 kHz.
KWeightingRow designRow (double rate) noexcept
{
    constexpr double pi = juce::MathConstants<double>::pi;

    // High shelf: +4 dB above about 1.7 kHz.
    constexpr double shelfFrequency = 1681.974450955533;
    constexpr double shelfGainDb = 3.999843853973347;
    constexpr double shelfQ = 0.7071752369554196;
    const double k = std::tan (pi * shelfFrequency / rate);
    const double vh = std::pow (10.0, shelfGainDb / 20.0);
    const double vb = std::pow (vh, 0.4996667741545416);
    const double a0 = 1.0 + k / shelfQ + k * k;

    // High-pass of the revised low-frequency weighting, second order.
    constexpr double highPassFrequency = 38.13547087602444;
    constexpr double highPassQ = 0.5003270373238773;
    const double kh = std::tan (pi * highPassFrequency / rate);
    const double h0 = 1.0 + kh / highPassQ + kh * kh;

    KWeightingRow row{};
    row.rate = static_cast<int> (rate);
    row.b0 = static_cast<float> ((vh + vb * k / shelfQ + k * k) / a0);
    row.b1 = static_cast<float> (2.0 * (k * k - vh) / a0);
    row.b2 = static_cast<float> ((vh - vb * k / shelfQ + k * k) / a0);
    row.a1 = static_cast<float> (2.0 * (k * k - 1.0) / a0);
    row.a2 = static_cast<float> ((1.0 - k / shelfQ + k * k) / a0);
    row.rlbA1 = static_cast<float> (2.0 * (kh * kh - 1.0) / h0);
    row.rlbA2 = static_cast<float> ((1.0 - kh / highPassQ + kh * kh) / h0);
    return row;
}

// The table's row where it has one, so that the readings at those rates stay exactly as they
// were; the design for the rate otherwise. Below the meter's lowest rate the shelf's corner
// nears half the rate, where the design loses its shape and then its stability, so such rates
// get the lowest rate's filters; a rate that is no rate at all gets the 48 kHz ones.
KWeightingRow rowForRate (double sampleRate) noexcept
{
    if (!(sampleRate > 0.0) || !std::isfinite (sampleRate))
        return kWeightingTable[1];

    const auto rate = static_cast<int> (sampleRate);

    for (const auto& row : kWeightingTable)
        if (row.rate == rate)
            return row;

    return designRow (juce::jmax (sampleRate, static_cast<double> (OSKALoudnessModule::minimumRate)));
}

// The state of a juce::IIRFilter, reached through a derived class, so that all twelve filters
// can run side by side over a block instead of one after the other. The arithmetic is that of
// juce::IIRFilter::processSamples, step for step, and each filter's lock is held meanwhile.
struct FilterAccess : juce::IIRFilter
{
    static float& firstState (juce::IIRFilter& f) noexcept { return f.*(&FilterAccess::v1); }
    static float& secondState (juce::IIRFilter& f) noexcept { return f.*(&FilterAccess::v2); }
    static juce::SpinLock& lockOf (juce::IIRFilter& f) noexcept { return f.*(&FilterAccess::processLock); }
    static bool isActive (const juce::IIRFilter& f) noexcept { return f.*(&FilterAccess::active); }
    static const float* coefficientsOf (const juce::IIRFilter& f) noexcept
    {
        return (f.*(&FilterAccess::coefficients)).coefficients;
    }
};

struct Biquad
{
    float c0, c1, c2, c3, c4, v1, v2;

    void load (juce::IIRFilter& filter) noexcept
    {
        const float* c = FilterAccess::coefficientsOf (filter);
        c0 = c[0];
        c1 = c[1];
        c2 = c[2];
        c3 = c[3];
        c4 = c[4];
        v1 = FilterAccess::firstState (filter);
        v2 = FilterAccess::secondState (filter);
    }

    void store (juce::IIRFilter& filter) noexcept
    {
        JUCE_SNAP_TO_ZERO (v1);
        JUCE_SNAP_TO_ZERO (v2);
        FilterAccess::firstState (filter) = v1;
        FilterAccess::secondState (filter) = v2;
    }

    float process (float in) noexcept
    {
        const float out = c0 * in + v1;
        v1 = c1 * in - c3 * out + v2;
        v2 = c2 * in - c4 * out;
        return out;
    }
};

// Both stages of `channels` channels, sample by sample: the channels' recursions are
// independent, so the processor overlaps them.
template <int channels>
void kWeightEach (float* const* samples, int numSamples, Biquad* pre, Biquad* rlb) noexcept
{
    for (int i = 0; i < numSamples; ++i)
        for (int c = 0; c < channels; ++c)
            samples[c][i] = rlb[c].process (pre[c].process (samples[c][i]));
}

// With GCC and Clang on x86, up to eight channels run as the lanes of one eight-float AVX vector:
// each lane does Biquad::process's operations in the same order and precision (AVX brings no
// fused multiply-add), so every sample comes out as from kWeightEach.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define TARN_K_WEIGHTING_AVX 1

typedef float EightFloats __attribute__ ((vector_size (32)));

struct BiquadLanes
{
    EightFloats c0{}, c1{}, c2{}, c3{}, c4{}, v1{}, v2{};

    void load (const Biquad* b, int n) noexcept
    {
        for (int c = 0; c < n; ++c)
        {
            c0[c] = b[c].c0;
            c1[c] = b[c].c1;
            c2[c] = b[c].c2;
            c3[c] = b[c].c3;
            c4[c] = b[c].c4;
            v1[c] = b[c].v1;
            v2[c] = b[c].v2;
        }
    }

    void store (Biquad* b, int n) const noexcept
    {
        for (int c = 0; c < n; ++c)
        {
            b[c].v1 = v1[c];
            b[c].v2 = v2[c];
        }
    }

    // In place, so that no vector passes through a call of code built without AVX.
    inline __attribute__ ((always_inline)) void process (EightFloats& x) noexcept
    {
        const EightFloats in = x;
        x = c0 * in + v1;
        v1 = c1 * in - c3 * x + v2;
        v2 = c2 * in - c4 * x;
    }
};

template <int channels>
__attribute__ ((target ("avx"))) void kWeightLanesAvx (float* const* samples, int numSamples, Biquad* pre,
                                                       Biquad* rlb) noexcept
{
    BiquadLanes p, r;
    p.load (pre, channels);
    r.load (rlb, channels);
    const auto at = [samples] (int c, int i) { return c < channels ? samples[c][i] : 0.0f; };

    for (int i = 0; i < numSamples; ++i)
    {
        EightFloats x{at (0, i), at (1, i), at (2, i), at (3, i), at (4, i), at (5, i), at (6, i), at (7, i)};
        p.process (x);
        r.process (x);

        for (int c = 0; c < channels; ++c)
            samples[c][i] = x[c];
    }

    p.store (pre, channels);
    r.store (rlb, channels);
}

// With fused multiply-add (AVX2 level and up) both stages run as direct form I with the two
// feedback terms as fused steps: the recursion then waits on one fused step per sample instead
// of three dependent operations, which bounds the speed of a channel. Each lane does the same
// operations whichever kernel runs it, so a channel's output does not depend on how many
// channels run beside it, nor on how the audio is split into blocks. All arithmetic is written
// out as intrinsics, so the compiler fuses nothing on its own.
#define TARN_FUSED_INLINE __attribute__ ((target ("avx2,fma"), always_inline)) inline

// Up to four channels in the lanes of a 128-bit vector.
struct NarrowLanes
{
    using V = __m128;
    static constexpr int width = 4;

    template <int channels> static TARN_FUSED_INLINE V gather (const float* const* samples, int i) noexcept
    {
        static_assert (channels <= 2);
        if constexpr (channels == 1)
            return _mm_load_ss (samples[0] + i);
        else
            return _mm_setr_ps (samples[0][i], samples[1][i], 0.0f, 0.0f);
    }

    template <int channels> static TARN_FUSED_INLINE void scatter (float* const* samples, int i, V y) noexcept
    {
        _mm_store_ss (samples[0] + i, y);
        if constexpr (channels == 2)
            _mm_store_ss (samples[1] + i, _mm_shuffle_ps (y, y, 1));
    }

    static TARN_FUSED_INLINE V broadcast (float x) noexcept { return _mm_set1_ps (x); }
    static TARN_FUSED_INLINE V mul (V a, V b) noexcept { return _mm_mul_ps (a, b); }
    static TARN_FUSED_INLINE V fma (V a, V b, V c) noexcept { return _mm_fmadd_ps (a, b, c); }
    static TARN_FUSED_INLINE V fromArray (const float* x) noexcept { return _mm_loadu_ps (x); }
    static TARN_FUSED_INLINE void toArray (float* x, V v) noexcept { _mm_storeu_ps (x, v); }
};

// Up to eight channels in the lanes of a 256-bit vector.
struct WideLanes
{
    using V = __m256;
    static constexpr int width = 8;

    template <int channels> static TARN_FUSED_INLINE V gather (const float* const* samples, int i) noexcept
    {
        const auto at = [samples, i] (int c) { return c < channels ? samples[c][i] : 0.0f; };
        return _mm256_setr_ps (at (0), at (1), at (2), at (3), at (4), at (5), at (6), at (7));
    }

    template <int channels> static TARN_FUSED_INLINE void scatter (float* const* samples, int i, V y) noexcept
    {
        alignas (32) float lanes[width];
        _mm256_store_ps (lanes, y);

        for (int c = 0; c < channels; ++c)
            samples[c][i] = lanes[c];
    }

    static TARN_FUSED_INLINE V broadcast (float x) noexcept { return _mm256_set1_ps (x); }
    static TARN_FUSED_INLINE V mul (V a, V b) noexcept { return _mm256_mul_ps (a, b); }
    static TARN_FUSED_INLINE V fma (V a, V b, V c) noexcept { return _mm256_fmadd_ps (a, b, c); }
    static TARN_FUSED_INLINE V fromArray (const float* x) noexcept { return _mm256_loadu_ps (x); }
    static TARN_FUSED_INLINE void toArray (float* x, V v) noexcept { _mm256_storeu_ps (x, v); }
};

template <typename L> struct FusedStageLanes
{
    using V = typename L::V;
    V b0, b1, b2, na1, na2, x1, x2, y1, y2;

    TARN_FUSED_INLINE void load (const OSKALoudnessModule::FusedStage* stages, int n) noexcept
    {
        alignas (32) float c[9][L::width] = {};

        for (int ch = 0; ch < n; ++ch)
        {
            const auto& s = stages[ch];
            const float values[9] = {s.b0, s.b1, s.b2, -s.a1, -s.a2, s.x1, s.x2, s.y1, s.y2};

            for (int k = 0; k < 9; ++k)
                c[k][ch] = values[k];
        }

        V* const targets[9] = {&b0, &b1, &b2, &na1, &na2, &x1, &x2, &y1, &y2};

        for (int k = 0; k < 9; ++k)
            *targets[k] = L::fromArray (c[k]);
    }

    TARN_FUSED_INLINE void store (OSKALoudnessModule::FusedStage* stages, int n) const noexcept
    {
        alignas (32) float c[4][L::width];
        L::toArray (c[0], x1);
        L::toArray (c[1], x2);
        L::toArray (c[2], y1);
        L::toArray (c[3], y2);

        for (int ch = 0; ch < n; ++ch)
            stages[ch].setState (c[0][ch], c[1][ch], c[2][ch], c[3][ch]);
    }

    // y = b0 x + b1 x1 + b2 x2 - a2 y2 - a1 y1, in that order.
    TARN_FUSED_INLINE V process (V x) noexcept
    {
        const V forward = L::fma (b2, x2, L::fma (b1, x1, L::mul (b0, x)));
        x2 = x1;
        x1 = x;
        return feedback (forward);
    }

    // The recursion alone, given b0 x + b1 x1 + b2 x2 worked out elsewhere.
    TARN_FUSED_INLINE V feedback (V forward) noexcept
    {
        const V y = L::fma (na1, y1, L::fma (na2, y2, forward));
        y2 = y1;
        y1 = y;
        return y;
    }
};

// The first stage's forward terms b0 x + b1 x1 + b2 x2 of one channel, for m samples of a
// line that starts with x2 and x1: eight samples a vector, in the order process() forms them.
TARN_FUSED_INLINE void forwardTerms (const OSKALoudnessModule::FusedStage& stage, const float* line, int m,
                                     float* forward) noexcept
{
    const __m256 b0 = _mm256_set1_ps (stage.b0), b1 = _mm256_set1_ps (stage.b1),
                 b2 = _mm256_set1_ps (stage.b2);
    int i = 0;

    for (; i + 8 <= m; i += 8)
    {
        const __m256 x = _mm256_loadu_ps (line + i + 2);
        const __m256 f =
            _mm256_fmadd_ps (b2, _mm256_loadu_ps (line + i),
                             _mm256_fmadd_ps (b1, _mm256_loadu_ps (line + i + 1), _mm256_mul_ps (b0, x)));
        _mm256_storeu_ps (forward + i, f);
    }

    for (; i < m; ++i)
    {
        const __m128 f =
            _mm_fmadd_ss (_mm_set_ss (stage.b2), _mm_set_ss (line[i]),
                          _mm_fmadd_ss (_mm_set_ss (stage.b1), _mm_set_ss (line[i + 1]),
                                        _mm_mul_ss (_mm_set_ss (stage.b0), _mm_set_ss (line[i + 2]))));
        forward[i] = _mm_cvtss_f32 (f);
    }
}

// One or two channels: a lane each would leave the vector almost idle and the processor
// waiting on the recursions. The first stage's forward terms, which wait on no output, are
// worked out ahead a stretch at a time, eight samples a vector; the loop then does only the
// recursions and the second stage. The same operations as kWeightFused in the same order, so
// the same samples.
template <int channels>
__attribute__ ((target ("avx2,fma"))) void
kWeightFusedNarrow (const float* const* sources, float* const* samples, int numSamples,
                    OSKALoudnessModule::FusedStage* pre, OSKALoudnessModule::FusedStage* rlb) noexcept
{
    using L = NarrowLanes;
    constexpr int stretch = 64;
    FusedStageLanes<L> p, r;
    p.load (pre, channels);
    r.load (rlb, channels);

    alignas (32) float line[channels][stretch + 2];
    alignas (32) float forward[channels][stretch];
    const float* terms[2] = {forward[0], forward[channels - 1]};

    for (int c = 0; c < channels; ++c)
    {
        line[c][0] = pre[c].x2;
        line[c][1] = pre[c].x1;
    }

    for (int start = 0; start < numSamples; start += stretch)
    {
        const int m = juce::jmin (stretch, numSamples - start);

        for (int c = 0; c < channels; ++c)
        {
            std::copy (sources[c] + start, sources[c] + start + m, line[c] + 2);
            forwardTerms (pre[c], line[c], m, forward[c]);
            line[c][0] = line[c][m];
            line[c][1] = line[c][m + 1];
        }

        float* const out[2] = {samples[0] + start, samples[channels - 1] + start};

        for (int i = 0; i < m; ++i)
            L::scatter<channels> (out, i, r.process (p.feedback (L::gather<channels> (terms, i))));
    }

    alignas (16) float x1[L::width] = {}, x2[L::width] = {};
    for (int c = 0; c < channels; ++c)
    {
        x2[c] = line[c][0];
        x1[c] = line[c][1];
    }
    p.x1 = L::fromArray (x1);
    p.x2 = L::fromArray (x2);

    p.store (pre, channels);
    r.store (rlb, channels);
}

// Reads from sources, writes to samples (which may be the same).
template <typename L, int channels>
__attribute__ ((target ("avx2,fma"))) void kWeightFused (const float* const* sources, float* const* samples,
                                                         int numSamples, OSKALoudnessModule::FusedStage* pre,
                                                         OSKALoudnessModule::FusedStage* rlb) noexcept
{
    FusedStageLanes<L> p, r;
    p.load (pre, channels);
    r.load (rlb, channels);

    for (int i = 0; i < numSamples; ++i)
        L::template scatter<channels> (samples, i,
                                       r.process (p.process (L::template gather<channels> (sources, i))));

    p.store (pre, channels);
    r.store (rlb, channels);
}

// Rows become columns: lane j of v[k] goes to lane k of v[j].
TARN_FUSED_INLINE void transpose8 (__m256 (&v)[8]) noexcept
{
    __m256 t[8], u[8];
    for (int k = 0; k < 8; k += 2)
    {
        t[k] = _mm256_unpacklo_ps (v[k], v[k + 1]);
        t[k + 1] = _mm256_unpackhi_ps (v[k], v[k + 1]);
    }

    for (int k = 0; k < 8; k += 4)
    {
        u[k] = _mm256_shuffle_ps (t[k], t[k + 2], _MM_SHUFFLE (1, 0, 1, 0));
        u[k + 1] = _mm256_shuffle_ps (t[k], t[k + 2], _MM_SHUFFLE (3, 2, 3, 2));
        u[k + 2] = _mm256_shuffle_ps (t[k + 1], t[k + 3], _MM_SHUFFLE (1, 0, 1, 0));
        u[k + 3] = _mm256_shuffle_ps (t[k + 1], t[k + 3], _MM_SHUFFLE (3, 2, 3, 2));
    }

    for (int k = 0; k < 4; ++k)
    {
        v[k] = _mm256_permute2f128_ps (u[k], u[k + 4], 0x20);
        v[k + 4] = _mm256_permute2f128_ps (u[k], u[k + 4], 0x31);
    }
}

// Nine to twelve channels: a vector of eight and one of the rest, side by side in one loop. Each
// recursion waits on its own last output, so the two vectors' steps overlap and the second costs
// little; each lane does kWeightFused's operations, so the samples are those of two passes.
template <int channels>
__attribute__ ((target ("avx2,fma"))) void
kWeightFusedWide (const float* const* sources, float* const* samples, int numSamples,
                  OSKALoudnessModule::FusedStage* pre, OSKALoudnessModule::FusedStage* rlb) noexcept
{
    using L = WideLanes;
    constexpr int rest = channels - L::width;
    static_assert (rest > 0 && rest <= L::width);
    FusedStageLanes<L> p0, r0, p1, r1;
    p0.load (pre, L::width);
    r0.load (rlb, L::width);
    p1.load (pre + L::width, rest);
    r1.load (rlb + L::width, rest);
    const float* const* sources1 = sources + L::width;
    float* const* samples1 = samples + L::width;
    int i = 0;

    // Eight samples at a time, moved between channels and lanes by transposing eight vectors:
    // gathering lane by lane would cost more than the filters.
    for (; i + 8 <= numSamples; i += 8)
    {
        __m256 a[8], b[8];
        for (int c = 0; c < 8; ++c)
        {
            a[c] = _mm256_loadu_ps (sources[c] + i);
            b[c] = c < rest ? _mm256_loadu_ps (sources1[c] + i) : _mm256_setzero_ps();
        }

        transpose8 (a);
        transpose8 (b);

        for (int k = 0; k < 8; ++k)
        {
            a[k] = r0.process (p0.process (a[k]));
            b[k] = r1.process (p1.process (b[k]));
        }

        transpose8 (a);
        transpose8 (b);

        for (int c = 0; c < 8; ++c)
        {
            _mm256_storeu_ps (samples[c] + i, a[c]);
            if (c < rest)
                _mm256_storeu_ps (samples1[c] + i, b[c]);
        }
    }

    for (; i < numSamples; ++i)
    {
        const auto x0 = L::template gather<L::width> (sources, i);
        const auto x1 = L::template gather<rest> (sources1, i);
        const auto y0 = r0.process (p0.process (x0));
        const auto y1 = r1.process (p1.process (x1));
        L::template scatter<L::width> (samples, i, y0);
        L::template scatter<rest> (samples1, i, y1);
    }

    p0.store (pre, L::width);
    r0.store (rlb, L::width);
    p1.store (pre + L::width, rest);
    r1.store (rlb + L::width, rest);
}

const bool hasAvx = []
{
    __builtin_cpu_init();
    return __builtin_cpu_supports ("avx") != 0;
}();
#else
#define TARN_K_WEIGHTING_AVX 0
#endif

// Three channels and more run as lanes of one vector, for which the first three cost as much as
// six; one and two run on their own, where the lanes would bring nothing.
template <int channels>
void kWeight (float* const* samples, int numSamples, Biquad* pre, Biquad* rlb) noexcept
{
#if TARN_K_WEIGHTING_AVX
    if constexpr (channels >= 3)
        if (hasAvx)
            return kWeightLanesAvx<channels> (samples, numSamples, pre, rlb);
#endif

    kWeightEach<channels> (samples, numSamples, pre, rlb);
}

template <int channels>
void kWeightFusedFor (const float* const* sources, float* const* samples, int numSamples,
                      OSKALoudnessModule::FusedStage* pre, OSKALoudnessModule::FusedStage* rlb) noexcept
{
#if TARN_K_WEIGHTING_AVX
    if constexpr (channels <= 2)
        kWeightFusedNarrow<channels> (sources, samples, numSamples, pre, rlb);
    else
        kWeightFused<WideLanes, channels> (sources, samples, numSamples, pre, rlb);
#else
    juce::ignoreUnused (sources, samples, numSamples, pre, rlb);
#endif
}

// The kernels above for a channel count known only at run time (1 to 12). Each lane does the same
// operations whatever runs beside it, so more than eight channels go as a vector of eight and one
// of the rest, with the same samples as one at a time.
constexpr int vectorLanes = 8;

void kWeightChannels (int channels, float* const* samples, int numSamples, Biquad* pre, Biquad* rlb) noexcept
{
    if (channels > vectorLanes)
    {
        kWeight<vectorLanes> (samples, numSamples, pre, rlb);
        samples += vectorLanes;
        pre += vectorLanes;
        rlb += vectorLanes;
        channels -= vectorLanes;
    }

    switch (channels)
    {
    case 1:
        return kWeight<1> (samples, numSamples, pre, rlb);
    case 2:
        return kWeight<2> (samples, numSamples, pre, rlb);
    case 3:
        return kWeight<3> (samples, numSamples, pre, rlb);
    case 4:
        return kWeight<4> (samples, numSamples, pre, rlb);
    case 5:
        return kWeight<5> (samples, numSamples, pre, rlb);
    case 6:
        return kWeight<6> (samples, numSamples, pre, rlb);
    case 7:
        return kWeight<7> (samples, numSamples, pre, rlb);
    default:
        return kWeight<8> (samples, numSamples, pre, rlb);
    }
}

void kWeightFusedChannels (int channels, const float* const* sources, float* const* samples, int numSamples,
                           OSKALoudnessModule::FusedStage* pre, OSKALoudnessModule::FusedStage* rlb) noexcept
{
#if TARN_K_WEIGHTING_AVX
    switch (channels)
    {
    case 9:
        return kWeightFusedWide<9> (sources, samples, numSamples, pre, rlb);
    case 10:
        return kWeightFusedWide<10> (sources, samples, numSamples, pre, rlb);
    case 11:
        return kWeightFusedWide<11> (sources, samples, numSamples, pre, rlb);
    case 12:
        return kWeightFusedWide<12> (sources, samples, numSamples, pre, rlb);
    default:
        break;
    }
#endif

    if (channels > vectorLanes)
    {
        kWeightFusedFor<vectorLanes> (sources, samples, numSamples, pre, rlb);
        sources += vectorLanes;
        samples += vectorLanes;
        pre += vectorLanes;
        rlb += vectorLanes;
        channels -= vectorLanes;
    }

    switch (channels)
    {
    case 1:
        return kWeightFusedFor<1> (sources, samples, numSamples, pre, rlb);
    case 2:
        return kWeightFusedFor<2> (sources, samples, numSamples, pre, rlb);
    case 3:
        return kWeightFusedFor<3> (sources, samples, numSamples, pre, rlb);
    case 4:
        return kWeightFusedFor<4> (sources, samples, numSamples, pre, rlb);
    case 5:
        return kWeightFusedFor<5> (sources, samples, numSamples, pre, rlb);
    case 6:
        return kWeightFusedFor<6> (sources, samples, numSamples, pre, rlb);
    case 7:
        return kWeightFusedFor<7> (sources, samples, numSamples, pre, rlb);
    default:
        return kWeightFusedFor<8> (sources, samples, numSamples, pre, rlb);
    }
}

void copySources (const float* const* sources, float* const* samples, int channels, int numSamples) noexcept
{
    for (int k = 0; k < channels; ++k)
        if (sources[k] != samples[k])
            juce::FloatVectorOperations::copy (samples[k], sources[k], numSamples);
}

juce::IIRCoefficients makeCoefficients (float b0, float b1, float b2, float a1, float a2) noexcept
{
    return juce::IIRCoefficients ((double)b0, (double)b1, (double)b2, 1.0, (double)a1, (double)a2);
}
} // namespace

OSKALoudnessModule::OSKALoudnessModule() = default;

void OSKALoudnessModule::updateFilterCoefficients() noexcept
{
    const auto row = rowForRate (sampleRate);
    const auto pre = makeCoefficients (row.b0, row.b1, row.b2, row.a1, row.a2);
    const auto rlb = makeCoefficients (1.0f, -2.0f, 1.0f, row.rlbA1, row.rlbA2);

    for (int c = 0; c < numChannels; ++c)
    {
        preFilters[c].setCoefficients (pre);
        rlbFilters[c].setCoefficients (rlb);

        fusedPre[c].b0 = row.b0;
        fusedPre[c].b1 = row.b1;
        fusedPre[c].b2 = row.b2;
        fusedPre[c].a1 = row.a1;
        fusedPre[c].a2 = row.a2;
        fusedRlb[c].b0 = 1.0f;
        fusedRlb[c].b1 = -2.0f;
        fusedRlb[c].b2 = 1.0f;
        fusedRlb[c].a1 = row.rlbA1;
        fusedRlb[c].a2 = row.rlbA2;
    }

#if TARN_K_WEIGHTING_AVX
    fused = simdLevel() >= SimdLevel::avx2;
#endif
}

void OSKALoudnessModule::FusedStage::setState (float newX1, float newX2, float newY1, float newY2) noexcept
{
    JUCE_SNAP_TO_ZERO (newX1);
    JUCE_SNAP_TO_ZERO (newX2);
    JUCE_SNAP_TO_ZERO (newY1);
    JUCE_SNAP_TO_ZERO (newY2);
    x1 = newX1;
    x2 = newX2;
    y1 = newY1;
    y2 = newY2;
}

void OSKALoudnessModule::allocateWindows()
{
    const auto rate = static_cast<float> (sampleRate);
    momentaryLength = static_cast<int> (std::floor (rate * 0.4f));
    shortTermLength = static_cast<int> (std::floor (rate * 3.0f));
    momentaryHop = juce::jmax (
        1, static_cast<int> (std::floor ((1.0f - momentaryOverlap) * static_cast<float> (momentaryLength))));

    // Both queues hold whole hops, so that a read position tells where on the 100 ms grid a
    // window starts, and, where the 10 ms steps have a whole length, the squares are summed in
    // stretches of one step: every window then starts and ends on a stretch boundary.
    const auto wholeHops = [this] (int samples)
    { return (samples + momentaryHop - 1) / momentaryHop * momentaryHop; };
    const int momentaryCapacity = wholeHops (windowsPerQueue * momentaryLength);
    const int shortTermCapacity = wholeHops (windowsPerQueue * shortTermLength);
    const int chunk =
        momentaryHop % stepsPerHop == 0 ? momentaryHop / stepsPerHop : OverlapFifo::defaultChunkLength;

    momentaryFifo = std::make_unique<OverlapFifo> (momentaryCapacity, momentaryOverlap, chunk, numChannels);
    shortTermFifo = std::make_unique<OverlapFifo> (shortTermCapacity, shortTermOverlap, chunk, numChannels);
    momentaryFifo->setActiveChannelMask (activeMask);
    shortTermFifo->setActiveChannelMask (activeMask);

    momentaryBlock = std::make_unique<juce::AudioSampleBuffer> (numChannels, momentaryLength);
    shortTermBlock = std::make_unique<juce::AudioSampleBuffer> (numChannels, shortTermLength);
}

void OSKALoudnessModule::feed() noexcept
{
    feedFrom (nullptr, 0);
}

void OSKALoudnessModule::feedFrom (const juce::AudioSampleBuffer* source, int startSample) noexcept
{
    // A full reset asked for on another thread is applied here, before any further sample is
    // filtered, so that only this thread ever touches the filters' state.
    if (filterResetRequested.exchange (false, std::memory_order_acquire))
        resetFilters();

    const int numSamples = inputBuffer.getNumSamples();

    // Hosts send empty blocks (a flush, a parameter change while stopped): nothing to filter,
    // and an empty source has no sample to point at.
    if (numSamples == 0)
        return;

    // The channels present, side by side for the kernels.
    const float* sources[numChannels];
    float* samples[numChannels];
    int channelOf[numChannels];
    int channels = 0;
    bool allActive = true;

    for (int k = 0; k < numActive; ++k)
    {
        const int c = activeList[k];

        if (c >= inputBuffer.getNumChannels() || (source != nullptr && c >= source->getNumChannels()))
            break;

        allActive =
            allActive && FilterAccess::isActive (preFilters[c]) && FilterAccess::isActive (rlbFilters[c]);
        samples[channels] = inputBuffer.getWritePointer (c);
        sources[channels] = source != nullptr ? source->getReadPointer (c, startSample) : samples[channels];
        channelOf[channels++] = c;
    }

    if (channels > 0 && allActive && fused)
    {
        FusedStage pre[numChannels], rlb[numChannels];

        for (int k = 0; k < channels; ++k)
        {
            pre[k] = fusedPre[channelOf[k]];
            rlb[k] = fusedRlb[channelOf[k]];
        }

        // Weighted straight from the source: one copy of the block fewer.
        kWeightFusedChannels (channels, sources, samples, numSamples, pre, rlb);

        for (int k = 0; k < channels; ++k)
        {
            fusedPre[channelOf[k]] = pre[k];
            fusedRlb[channelOf[k]] = rlb[k];
        }
    }
    else if (channels > 0 && allActive)
    {
        copySources (sources, samples, channels, numSamples);
        Biquad pre[numChannels], rlb[numChannels];

        for (int k = 0; k < channels; ++k)
        {
            const int c = channelOf[k];
            FilterAccess::lockOf (preFilters[c]).enter();
            FilterAccess::lockOf (rlbFilters[c]).enter();
            pre[k].load (preFilters[c]);
            rlb[k].load (rlbFilters[c]);
        }

        kWeightChannels (channels, samples, numSamples, pre, rlb);

        for (int k = 0; k < channels; ++k)
        {
            const int c = channelOf[k];
            pre[k].store (preFilters[c]);
            rlb[k].store (rlbFilters[c]);
            FilterAccess::lockOf (rlbFilters[c]).exit();
            FilterAccess::lockOf (preFilters[c]).exit();
        }
    }
    else
    {
        copySources (sources, samples, channels, numSamples);

        for (int k = 0; k < channels; ++k)
        {
            preFilters[channelOf[k]].processSamples (samples[k], numSamples);
            rlbFilters[channelOf[k]].processSamples (samples[k], numSamples);
        }
    }

    if (momentaryFifo == nullptr || shortTermFifo == nullptr)
        return;

    momentaryFifo->write (inputBuffer);
    shortTermFifo->write (inputBuffer);
}

void OSKALoudnessModule::setActiveChannels (int count) noexcept
{
    setActiveChannelMask ((1u << juce::jlimit (0, numChannels, count)) - 1);
}

void OSKALoudnessModule::setActiveChannelMask (juce::uint32 mask) noexcept
{
    mask &= (1u << numChannels) - 1;

    if (mask == activeMask)
        return;

    if (const auto added = mask & ~activeMask; added != 0)
    {
        for (int c = 0; c < numChannels; ++c)
        {
            if ((added & (1u << c)) == 0)
                continue;

            clearFilterState (c);
        }

        emptyQueues();
    }

    activeMask = mask;
    numActive = 0;

    for (int c = 0; c < numChannels; ++c)
        if ((mask & (1u << c)) != 0)
            activeList[numActive++] = c;

    for (auto* fifo : {momentaryFifo.get(), shortTermFifo.get()})
        if (fifo != nullptr)
            fifo->setActiveChannelMask (mask);
}

void OSKALoudnessModule::setLayout (int layoutId) noexcept
{
    const auto& arrangement = SpeakerLayout::get (layoutId);

    if (arrangement.id == layout)
        return;

    for (int c = 0; c < numChannels; ++c)
        channelWeights[c].store (c < arrangement.numChannels ? arrangement.weightOf (c) : 0.0f, relaxed);

    layout = arrangement.id;
    emptyQueues();
    resetFilters();
}

void OSKALoudnessModule::resetFilters() noexcept
{
    for (int c = 0; c < numChannels; ++c)
        clearFilterState (c);
}

void OSKALoudnessModule::clearFilterState (int c) noexcept
{
    const juce::SpinLock::ScopedLockType preLock (FilterAccess::lockOf (preFilters[c]));
    const juce::SpinLock::ScopedLockType rlbLock (FilterAccess::lockOf (rlbFilters[c]));

    for (auto* filter : {&preFilters[c], &rlbFilters[c]})
    {
        FilterAccess::firstState (*filter) = 0.0f;
        FilterAccess::secondState (*filter) = 0.0f;
    }

    fusedPre[c].setState (0.0f, 0.0f, 0.0f, 0.0f);
    fusedRlb[c].setState (0.0f, 0.0f, 0.0f, 0.0f);
}

float OSKALoudnessModule::blockLoudness (const juce::AudioSampleBuffer& window, int length) const noexcept
{
    length = juce::jmin (length, window.getNumSamples());
    double sums[numChannels] = {};

    for (int c = 0; c < juce::jmin (window.getNumChannels(), numChannels); ++c)
        sums[c] = OverlapFifo::sumOfSquares (window.getReadPointer (c), length);

    return loudnessFromSums (sums, length);
}

float OSKALoudnessModule::loudnessFromSums (const double* sums, int length) const noexcept
{
    // Every channel the queues or the window lack has a sum of 0. inputBuffer is not asked for
    // its channel count: this runs on the loudness thread while the audio thread may resize it.
    float sum = 0.0f;

    if (length > 0)
    {
        for (int c = 0; c < numChannels; ++c)
        {
            // The channel's RMS level in single precision, squared, as getRMSLevel gives it.
            const auto rms = static_cast<float> (std::sqrt (sums[c] / length));
            sum += channelWeights[c].load (relaxed) * (rms * rms);
        }
    }

    // Silence gives log10 (0) = -infinity, which the clamp turns into the floor.
    float loudness = 10.0f * std::log10 (sum) - 0.691f;

    if (loudness < LoudnessHistogram::floorLevel)
        loudness = LoudnessHistogram::floorLevel;

    if (loudness > 0.0f)
        loudness = 0.0f;

    return LoudnessHistogram::roundToTenth (loudness);
}

float OSKALoudnessModule::evaluateWindow (OverlapFifo& fifo, int length, int hop) const noexcept
{
    double sums[numChannels];
    const int summed = fifo.readWindowPower (sums, length, hop);
    return loudnessFromSums (sums, summed);
}

int OSKALoudnessModule::stepLengthAt (int phase) const noexcept
{
    // Step i of the hop starts at floor (i * hop / 10); a phase between two starts (after a
    // reset that crossed a read) goes on to the next start.
    for (int i = 1; i <= stepsPerHop; ++i)
    {
        const int boundary = static_cast<int> (static_cast<juce::int64> (i) * momentaryHop / stepsPerHop);

        if (boundary > phase)
            return boundary - phase;
    }

    return juce::jmax (1, momentaryHop - phase);
}

bool OSKALoudnessModule::windowReady() const noexcept
{
    if (momentaryFifo == nullptr || shortTermFifo == nullptr)
        return false;

    return momentaryFifo->numReady() >= momentaryLength || shortTermFifo->numReady() >= shortTermLength;
}

void OSKALoudnessModule::computeBlocks() noexcept
{
    newMomentary.store (false, relaxed);
    newShortTerm.store (false, relaxed);
    newMomentaryStep.store (false, relaxed);

    if (momentaryFifo == nullptr || shortTermFifo == nullptr)
        return;

    const bool isMeasuring = measuring.load (relaxed) != 0;

    if (const auto resets = queueResets.load (relaxed); resets != countedResets)
    {
        countedResets = resets;
        gatingBlocks = 0;
    }

    // Momentary: a window on every 10 ms step, for the maximum; the windows on the 100 ms
    // grid are the gating blocks that are shown, counted and integrated.
    float largest = LoudnessHistogram::floorLevel;
    float largestShortTerm = LoudnessHistogram::floorLevel;
    int steps = 0;
    bool counted = false;
    bool countedShortTerm = false;
    float integrated = std::numeric_limits<float>::quiet_NaN();

    for (; steps < maxMomentaryStepsPerSlice && momentaryFifo->numReady() >= momentaryLength; ++steps)
    {
        const int phase = momentaryFifo->readPosition() % momentaryHop;
        const float value = evaluateWindow (*momentaryFifo, momentaryLength, stepLengthAt (phase));
        largest = juce::jmax (largest, value);

        if (phase != 0)
            continue;

        newMomentary.store (true, relaxed);
        results.momentary.store (value, relaxed);

        if (isMeasuring)
        {
            momentaryHistogram.add (value);
            counted = true;
        }

        // The history takes the short-term window that ends with this gating block (both
        // queues hold the same audio, so it is ready now if it will ever be) and the
        // integrated loudness after it.
        if (history != nullptr)
        {
            const float shortTerm = evaluateShortTerm (isMeasuring, largestShortTerm, countedShortTerm);

            if (isMeasuring)
            {
                integrated = momentaryHistogram.integratedLoudness();
                recordStep (value, shortTerm, integrated);
            }

            ++gatingBlocks;
        }
    }

    // The statistics of the histograms as they stand after the slice's last value (with a
    // history, already worked out for its last step).
    if (counted)
        results.integrated.store (
            std::isnan (integrated) ? momentaryHistogram.integratedLoudness() : integrated, relaxed);

    if (steps > 0)
    {
        sliceMaxMomentary.store (largest, relaxed);
        newMomentaryStep.store (true, relaxed);
    }

    // Short-term windows not taken above. With a history only while the momentary queue is
    // caught up: a short-term window taken ahead of its gating block would land in a later
    // step of the history.
    if (history == nullptr || steps < maxMomentaryStepsPerSlice)
        for (int i = 0; i < maxShortTermWindowsPerSlice; ++i)
            if (std::isnan (evaluateShortTerm (isMeasuring, largestShortTerm, countedShortTerm)))
                break;

    if (countedShortTerm)
    {
        const auto range = shortTermHistogram.computeRange();
        results.loudnessRange.store (range.range, relaxed);
        results.rangeLow.store (range.lower, relaxed);
        results.rangeHigh.store (range.upper, relaxed);
    }
}

float OSKALoudnessModule::evaluateShortTerm (bool isMeasuring, float& largest, bool& counted) noexcept
{
    if (shortTermFifo->numReady() < shortTermLength)
        return std::numeric_limits<float>::quiet_NaN();

    const float value = evaluateWindow (*shortTermFifo, shortTermLength, momentaryHop);
    largest = juce::jmax (largest, value);
    newShortTerm.store (true, relaxed);
    results.shortTerm.store (value, relaxed);
    sliceMaxShortTerm.store (largest, relaxed);

    if (isMeasuring)
    {
        shortTermHistogram.add (value);
        counted = true;
    }

    return value;
}

void OSKALoudnessModule::recordHistory (LoudnessHistory* newHistory,
                                        const TruePeakSteps* newStepPeaks) noexcept
{
    history = newHistory;
    stepPeaks = newStepPeaks;
}

void OSKALoudnessModule::recordStep (float momentary, float shortTerm, float integrated) noexcept
{
    const auto none = std::numeric_limits<float>::quiet_NaN();
    const auto peakOf = [this, none] (std::int64_t step)
    { return stepPeaks != nullptr ? stepPeaks->peakOfStep (step) : none; };

    // The first window after the queues were emptied ends with their fourth step; the three
    // before it have a true peak but no loudness yet.
    const auto stepsPerWindow = (std::int64_t)juce::jmax (1, momentaryLength / juce::jmax (1, momentaryHop));

    if (gatingBlocks == 0)
        for (std::int64_t step = 0; step + 1 < stepsPerWindow; ++step)
            history->push (none, none, none, peakOf (step));

    // An integrated loudness at the floor is none: nothing has passed the gates yet.
    history->push (momentary, shortTerm, integrated > LoudnessHistogram::floorLevel ? integrated : none,
                   peakOf (gatingBlocks + stepsPerWindow - 1));
}

int OSKALoudnessModule::useTimeSlice()
{
    computeBlocks();
    return timeSliceInterval;
}

void OSKALoudnessModule::setMeasuring (int newState) noexcept
{
    if (newState == measuring.load (relaxed))
        return;

    emptyQueues();
    resetFilters();
    measuring.store (newState, relaxed);
}

void OSKALoudnessModule::resetMeasurement() noexcept
{
    emptyQueues();
    filterResetRequested.store (true, std::memory_order_release);
    momentaryHistogram.clear();
    shortTermHistogram.clear();
    resetResults();
}

void OSKALoudnessModule::emptyQueues() noexcept
{
    if (momentaryFifo != nullptr)
        momentaryFifo->reset();

    if (shortTermFifo != nullptr)
        shortTermFifo->reset();

    queueResets.fetch_add (1, relaxed);
}

LoudnessResults OSKALoudnessModule::getResults() const noexcept
{
    LoudnessResults r;
    r.momentary = results.momentary.load (relaxed);
    r.shortTerm = results.shortTerm.load (relaxed);
    r.integrated = results.integrated.load (relaxed);
    r.loudnessRange = results.loudnessRange.load (relaxed);
    r.rangeLow = results.rangeLow.load (relaxed);
    r.rangeHigh = results.rangeHigh.load (relaxed);
    return r;
}

void OSKALoudnessModule::resetResults() noexcept
{
    for (auto* value : {&results.momentary, &results.shortTerm, &results.integrated, &results.loudnessRange,
                        &results.rangeLow, &results.rangeHigh})
        value->store (LoudnessHistogram::floorLevel, relaxed);
}
