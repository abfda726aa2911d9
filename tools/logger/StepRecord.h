#pragma once

#include "engine/SpeakerLayout.h"

#include <cmath>
#include <cstdint>

// One 100 ms step as the logger keeps it: when it ended (UTC, ms since 1970), its momentary and
// short-term loudness (LUFS; NaN while no full window lies behind the step) and the true peak
// of each meter channel during the step, in the arrangement's order (5.1: L R C LFE Ls Rs;
// 7.1.4: L R C LFE Lss Rss Lrs Rrs Ltf Rtf Ltr Rtr), up to the last channel the input feeds
// (dBTP; -infinity for silence and unfed channels). Plain data: copied through the live feed.
struct StepRecord
{
    static constexpr int maxChannels = SpeakerLayout::maxChannels;
    static constexpr float silent = -INFINITY;

    std::int64_t timeMs = 0;
    float momentary = NAN;
    float shortTerm = NAN;
    float truePeak[maxChannels]{silent, silent, silent, silent, silent, silent,
                                silent, silent, silent, silent, silent, silent};
    int numChannels = 0;
    // The arrangement the peaks are in (a SpeakerLayout id). The database keeps it with the
    // session; steps read back take their session's.
    int layout = SpeakerLayout::surround51;

    float maxTruePeak() const noexcept
    {
        float peak = -INFINITY;
        for (int c = 0; c < numChannels; ++c)
            peak = std::fmax (peak, truePeak[c]);
        return peak;
    }
};
