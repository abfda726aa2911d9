#include "engine/OSKALoudnessModule.h"

#include <cmath>
#include <limits>

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

const KWeightingRow& rowForRate (double sampleRate) noexcept
{
    const auto rate = static_cast<int> (sampleRate);

    for (const auto& row : kWeightingTable)
        if (row.rate == rate)
            return row;

    return kWeightingTable[1];
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

// With GCC and Clang on x86, six channels run as the lanes of one eight-float AVX vector:
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

__attribute__ ((target ("avx"))) void kWeightSixAvx (float* const* samples, int numSamples, Biquad* pre,
                                                     Biquad* rlb) noexcept
{
    BiquadLanes p, r;
    p.load (pre, 6);
    r.load (rlb, 6);

    for (int i = 0; i < numSamples; ++i)
    {
        EightFloats x{samples[0][i], samples[1][i], samples[2][i],
                      samples[3][i], samples[4][i], samples[5][i]};
        p.process (x);
        r.process (x);

        for (int c = 0; c < 6; ++c)
            samples[c][i] = x[c];
    }

    p.store (pre, 6);
    r.store (rlb, 6);
}

const bool hasAvx = []
{
    __builtin_cpu_init();
    return __builtin_cpu_supports ("avx") != 0;
}();
#else
#define TARN_K_WEIGHTING_AVX 0
#endif

template <int channels>
void kWeight (float* const* samples, int numSamples, Biquad* pre, Biquad* rlb) noexcept
{
#if TARN_K_WEIGHTING_AVX
    if constexpr (channels == 6)
        if (hasAvx)
            return kWeightSixAvx (samples, numSamples, pre, rlb);
#endif

    kWeightEach<channels> (samples, numSamples, pre, rlb);
}

juce::IIRCoefficients makeCoefficients (float b0, float b1, float b2, float a1, float a2) noexcept
{
    return juce::IIRCoefficients ((double)b0, (double)b1, (double)b2, 1.0, (double)a1, (double)a2);
}
} // namespace

OSKALoudnessModule::OSKALoudnessModule() = default;

void OSKALoudnessModule::updateFilterCoefficients() noexcept
{
    const auto& row = rowForRate (sampleRate);
    const auto pre = makeCoefficients (row.b0, row.b1, row.b2, row.a1, row.a2);
    const auto rlb = makeCoefficients (1.0f, -2.0f, 1.0f, row.rlbA1, row.rlbA2);

    for (int c = 0; c < numChannels; ++c)
    {
        preFilters[c].setCoefficients (pre);
        rlbFilters[c].setCoefficients (rlb);
    }
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

    momentaryFifo = std::make_unique<OverlapFifo> (momentaryCapacity, momentaryOverlap, chunk);
    shortTermFifo = std::make_unique<OverlapFifo> (shortTermCapacity, shortTermOverlap, chunk);

    momentaryBlock = std::make_unique<juce::AudioSampleBuffer> (numChannels, momentaryLength);
    shortTermBlock = std::make_unique<juce::AudioSampleBuffer> (numChannels, shortTermLength);
}

void OSKALoudnessModule::feed() noexcept
{
    const int numSamples = inputBuffer.getNumSamples();
    const int channels = juce::jmin (inputBuffer.getNumChannels(), numChannels);

    bool allActive = true;

    for (int c = 0; c < channels; ++c)
        allActive =
            allActive && FilterAccess::isActive (preFilters[c]) && FilterAccess::isActive (rlbFilters[c]);

    if (channels == numChannels && allActive)
    {
        float* samples[numChannels];
        Biquad pre[numChannels], rlb[numChannels];

        for (int c = 0; c < numChannels; ++c)
        {
            samples[c] = inputBuffer.getWritePointer (c);
            FilterAccess::lockOf (preFilters[c]).enter();
            FilterAccess::lockOf (rlbFilters[c]).enter();
            pre[c].load (preFilters[c]);
            rlb[c].load (rlbFilters[c]);
        }

        kWeight<numChannels> (samples, numSamples, pre, rlb);

        for (int c = 0; c < numChannels; ++c)
        {
            pre[c].store (preFilters[c]);
            rlb[c].store (rlbFilters[c]);
            FilterAccess::lockOf (rlbFilters[c]).exit();
            FilterAccess::lockOf (preFilters[c]).exit();
        }
    }
    else
    {
        for (int c = 0; c < channels; ++c)
        {
            float* samples = inputBuffer.getWritePointer (c);
            preFilters[c].processSamples (samples, numSamples);
            rlbFilters[c].processSamples (samples, numSamples);
        }
    }

    if (momentaryFifo == nullptr || shortTermFifo == nullptr)
        return;

    momentaryFifo->write (inputBuffer);
    shortTermFifo->write (inputBuffer);
}

void OSKALoudnessModule::resetFilters() noexcept
{
    for (int c = 0; c < numChannels; ++c)
    {
        preFilters[c].reset();
        rlbFilters[c].reset();
    }
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
            sum += channelWeights[c] * (rms * rms);
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
    resetFilters();
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
