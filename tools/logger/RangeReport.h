#pragma once

#include "LogDatabase.h"

#include "DeliveryTarget.h"

#include <optional>
#include <vector>

// The loudness of a stored time range, from its steps alone: gated integrated loudness over
// the stored momentary blocks (400 ms every 100 ms, the gating blocks of the measurement),
// loudness range over the stored short-term values, the maxima with their times, the hit
// counts, the range's events and a target's verdict.
class RangeReport
{
public:
    struct Settings
    {
        int standard = 0; // 0 EBU, 1 ATSC, 2 ARIB
        bool gating = true;
        float momentaryThreshold = -10.0f;
        float shortTermThreshold = -10.0f;
        std::optional<DeliveryTarget> target;
    };

    struct Result
    {
        std::int64_t fromMs = 0, toMs = 0;
        std::int64_t numSteps = 0;
        int numChannels = 0;                    // input channels of the sessions in the range (the most)
        double sampleRate = 0.0;                // their rate (the highest)
        int layout = SpeakerLayout::surround51; // the channel peaks' (theirs, the widest, or asked)
        double integrated = NAN, loudnessRange = NAN, rangeLow = NAN, rangeHigh = NAN;
        float maxMomentary = NAN, maxShortTerm = NAN, maxTruePeak = -INFINITY;
        std::int64_t maxMomentaryTime = 0, maxShortTermTime = 0, maxTruePeakTime = 0;
        // Per meter channel, in the arrangement's order.
        float channelPeaks[StepRecord::maxChannels]{
            StepRecord::silent, StepRecord::silent, StepRecord::silent, StepRecord::silent,
            StepRecord::silent, StepRecord::silent, StepRecord::silent, StepRecord::silent,
            StepRecord::silent, StepRecord::silent, StepRecord::silent, StepRecord::silent};
        int momentaryHits = 0, shortTermHits = 0;
        std::vector<LogEvent> events;
        DeliveryTarget::Verdict verdict;

        bool failedTarget (const Settings& s) const { return s.target && !verdict.passed(); }
    };

    // Accumulates steps in time order; finish() then computes the result. The channel peaks
    // are kept in `layout`; a step measured in another arrangement gives each channel's peak to
    // the channel of `layout` that carries that speaker (SpeakerLayout::channelFor).
    explicit RangeReport (const Settings& settings, int layout = SpeakerLayout::surround51);
    void add (const StepRecord& step);
    Result finish (std::int64_t fromMs, std::int64_t toMs, std::vector<LogEvent> events);

    // The whole report for a range of a database, its channel peaks in `layout` (by default,
    // -1, the range's own arrangement: the widest of its sessions).
    static juce::Result compute (LogDatabase& db, std::int64_t fromMs, std::int64_t toMs,
                                 const Settings& settings, Result& result, int layout = -1);

    // BS.1770 gating over block loudness values (LUFS; NaN ignored): absolute gate at -70,
    // relative gate 10 LU below the mean of the blocks above it. NaN when nothing passes.
    static double gatedLoudness (const std::vector<float>& blocks, bool relativeGate);

    // Loudness range over short-term values: absolute gate at -70, relative gate 20 LU below
    // their mean, then the 10th to 95th percentile. Sorts the values. Low and high are set.
    static double loudnessRangeOf (std::vector<float>& values, double& low, double& high);

private:
    // One loudness value of a step (momentary or short-term): kept for the statistics, and
    // counted for its maximum and hits.
    static void take (float value, std::int64_t timeMs, int hitBin, std::vector<float>& values,
                      float& maximum, std::int64_t& maximumTime, int& hits);

    Settings settings;
    Result result;
    std::vector<float> momentary, shortTerm;
    int momentaryHitBin, shortTermHitBin;
    // The channel of the report's arrangement for each channel of the last step's, when the two
    // differ (-1: none, as an LFE channel where the report has none).
    int mappedLayout = -1;
    int channelMap[StepRecord::maxChannels]{};
};
