#pragma once

#include "engine/SpeakerLayout.h"
#include "processor/RelaxedAtomic.h"

#include <cstdint>

// The results the editor shows and the report writes, built by the processor on the audio
// thread in every block.
//
// Threads: the audio thread writes every field; the editor copies the whole structure on its
// timer and clears the over flags. Each field is therefore a relaxed atomic (RelaxedAtomic):
// reading or writing one field is defined behaviour on any thread, and a field reads and
// assigns like the plain value it holds. The structure stays copyable in one statement; such
// a copy takes each field on its own, so it may mix values of two consecutive blocks (for
// example a new momentary loudness next to the previous integrated loudness), which the
// display accepts for one refresh.
//
// Loudness in LUFS, ranges in LU, peaks in dBTP, positions as proportions of a meter's height
// (0 bottom, 1 top), times in host seconds. -70 stands for "nothing measured yet".
struct MeterReadings
{
    static constexpr int numChannels = SpeakerLayout::maxChannels;

    // The arrangement of the meter's channels (a SpeakerLayout id): which of the per-channel
    // fields below are in use and what they are called.
    RelaxedAtomic<std::int32_t> layout{SpeakerLayout::surround51};

    RelaxedAtomic<float> momentary{-70.0f};
    RelaxedAtomic<float> momentaryPosition{0.0f};
    RelaxedAtomic<float> shortTerm{-70.0f};
    RelaxedAtomic<float> integrated{-70.0f};    // rounded to 0.1
    RelaxedAtomic<float> loudnessRange{-70.0f}; // rounded to 0.1
    RelaxedAtomic<float> rangeLowPosition{0.0f};
    RelaxedAtomic<float> rangeHighPosition{0.0f};
    RelaxedAtomic<float> shortTermPosition{0.0f};
    // Latched: a true peak exceeded "TruePeak Max Level"; the editor clears it.
    RelaxedAtomic<std::int32_t> truePeakOver{0};
    // Highest rounded true peak per channel since the last reset.
    RelaxedAtomic<float> peakHold[numChannels]{-70.0f, -70.0f, -70.0f, -70.0f, -70.0f, -70.0f,
                                               -70.0f, -70.0f, -70.0f, -70.0f, -70.0f, -70.0f};
    // Position of the last block's rounded true peak per channel; not clamped (silence is below 0).
    RelaxedAtomic<float> peakPosition[numChannels]{};
    // Latched per-channel over flags; the editor clears them.
    RelaxedAtomic<std::int32_t> channelOver[numChannels]{};
    // Samples processed while the measurement ran.
    RelaxedAtomic<double> measuredSamples{0.0};
    RelaxedAtomic<float> maxMomentary{-70.0f};
    RelaxedAtomic<double> maxMomentaryTime{0.0};
    RelaxedAtomic<float> maxShortTerm{-70.0f};
    RelaxedAtomic<double> maxShortTermTime{0.0};
    RelaxedAtomic<float> maxTruePeak{-70.0f};
    RelaxedAtomic<double> maxTruePeakTime{0.0};
    // Momentary and short-term values at or above their hit thresholds.
    RelaxedAtomic<std::int32_t> momentaryHits{0};
    RelaxedAtomic<std::int32_t> shortTermHits{0};

    // Measuring time after which the loudness range counts as settled: before it, too few
    // short-term values lie behind it to say much about a programme.
    static constexpr double stableRangeSeconds = 60.0;

    static bool isRangeStable (double samplesMeasured, double sampleRate) noexcept
    {
        return sampleRate > 0.0 && samplesMeasured >= stableRangeSeconds * sampleRate;
    }
};
