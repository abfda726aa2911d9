#pragma once

#include <cmath>
#include <cstdint>

// One 100 ms step as the logger keeps it: when it ended (UTC, ms since 1970), its momentary and
// short-term loudness (LUFS; NaN while no full window lies behind the step) and the true peak
// of each meter channel (L R C LFE Ls Rs) during the step, up to the last channel the input
// feeds (dBTP; -infinity for silence and unfed channels).
struct StepRecord
{
    static constexpr int maxChannels = 6;

    std::int64_t timeMs = 0;
    float momentary = NAN;
    float shortTerm = NAN;
    float truePeak[maxChannels]{-INFINITY, -INFINITY, -INFINITY, -INFINITY, -INFINITY, -INFINITY};
    int numChannels = 0;

    float maxTruePeak() const noexcept
    {
        float peak = -INFINITY;
        for (int c = 0; c < numChannels; ++c)
            peak = std::fmax (peak, truePeak[c]);
        return peak;
    }
};
