#include "RangeReport.h"

#include "engine/LoudnessHistogram.h"
#include "processor/MeterReadings.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float absoluteGate = -70.0f;

double energyOf (double loudness)
{
    return std::pow (10.0, (loudness + 0.691) / 10.0);
}

double loudnessOf (double energy)
{
    return -0.691 + 10.0 * std::log10 (energy);
}

float rounded (double value)
{
    return (float)(std::round (value * 10.0) / 10.0);
}
} // namespace

// Hits are counted by the meter's 0.1 LU bins, as the meter counts them: a value that rounds
// to the threshold is a hit.
RangeReport::RangeReport (const Settings& s, int layout)
    : settings (s), momentaryHitBin (LoudnessHistogram::binOf (s.momentaryThreshold)),
      shortTermHitBin (LoudnessHistogram::binOf (s.shortTermThreshold))
{
    result.layout = SpeakerLayout::get (layout).id;
}

void RangeReport::take (float value, std::int64_t timeMs, int hitBin, std::vector<float>& values,
                        float& maximum, std::int64_t& maximumTime, int& hits)
{
    // Steps before the first full window have no value.
    if (std::isnan (value))
        return;
    values.push_back (value);
    if (std::isnan (maximum) || value > maximum)
    {
        maximum = value;
        maximumTime = timeMs;
    }
    if (LoudnessHistogram::binOf (value) >= hitBin)
        ++hits;
}

void RangeReport::add (const StepRecord& step)
{
    ++result.numSteps;

    take (step.momentary, step.timeMs, momentaryHitBin, momentary, result.maxMomentary,
          result.maxMomentaryTime, result.momentaryHits);
    take (step.shortTerm, step.timeMs, shortTermHitBin, shortTerm, result.maxShortTerm,
          result.maxShortTermTime, result.shortTermHits);

    const auto& stepLayout = SpeakerLayout::get (step.layout);
    if (stepLayout.id != result.layout && stepLayout.id != mappedLayout)
    {
        mappedLayout = stepLayout.id;
        for (int c = 0; c < StepRecord::maxChannels; ++c)
            channelMap[c] = c < stepLayout.numChannels
                                ? SpeakerLayout::get (result.layout).channelFor (stepLayout.speakers[c])
                                : -1;
    }

    for (int c = 0; c < step.numChannels; ++c)
    {
        if (const auto channel = stepLayout.id == result.layout ? c : channelMap[c]; channel >= 0)
            result.channelPeaks[channel] = std::fmax (result.channelPeaks[channel], step.truePeak[c]);
        if (step.truePeak[c] > result.maxTruePeak)
        {
            result.maxTruePeak = step.truePeak[c];
            result.maxTruePeakTime = step.timeMs;
        }
    }
}

double RangeReport::gatedLoudness (const std::vector<float>& blocks, bool relativeGate)
{
    double sum = 0.0;
    std::int64_t count = 0;
    for (const auto b : blocks)
        if (b > absoluteGate)
        {
            sum += energyOf (b);
            ++count;
        }

    if (count == 0)
        return (double)NAN;

    if (!relativeGate)
        return loudnessOf (sum / (double)count);

    const auto gate = loudnessOf (sum / (double)count) - 10.0;
    double gatedSum = 0.0;
    std::int64_t gatedCount = 0;
    for (const auto b : blocks)
        if (b > absoluteGate && (double)b > gate)
        {
            gatedSum += energyOf (b);
            ++gatedCount;
        }

    return gatedCount > 0 ? loudnessOf (gatedSum / (double)gatedCount) : (double)NAN;
}

double RangeReport::loudnessRangeOf (std::vector<float>& values, double& low, double& high)
{
    low = high = (double)NAN;
    double sum = 0.0;
    std::int64_t count = 0;
    for (const auto v : values)
        if (v > absoluteGate)
        {
            sum += energyOf (v);
            ++count;
        }

    if (count == 0)
        return (double)NAN;

    const auto gate = loudnessOf (sum / (double)count) - 20.0;
    values.erase (std::remove_if (values.begin(), values.end(),
                                  [gate] (float v) { return !(v > absoluteGate && (double)v > gate); }),
                  values.end());
    if (values.empty())
        return (double)NAN;

    std::sort (values.begin(), values.end());
    const auto at = [&values] (double proportion)
    {
        const auto index = (size_t)std::lround (proportion * (double)(values.size() - 1));
        return (double)values[index];
    };
    low = at (0.10);
    high = at (0.95);
    return high - low;
}

RangeReport::Result RangeReport::finish (std::int64_t fromMs, std::int64_t toMs, std::vector<LogEvent> events)
{
    result.fromMs = fromMs;
    result.toMs = toMs;
    result.events = std::move (events);
    result.integrated = gatedLoudness (momentary, settings.gating);
    result.loudnessRange = loudnessRangeOf (shortTerm, result.rangeLow, result.rangeHigh);

    if (settings.target)
    {
        // Judged as the readouts show the values, as tarn51-measure judges a file.
        MeterReadings readings;
        readings.integrated = std::isnan (result.integrated) ? -70.0f : rounded (result.integrated);
        readings.maxTruePeak = std::isfinite (result.maxTruePeak) ? rounded (result.maxTruePeak) : -70.0f;
        readings.maxShortTerm = std::isnan (result.maxShortTerm) ? -70.0f : rounded (result.maxShortTerm);
        readings.loudnessRange = std::isnan (result.loudnessRange) ? 0.0f : rounded (result.loudnessRange);
        result.verdict = settings.target->judge (readings, settings.standard);

        // A range with nothing stored cannot show compliance.
        if (result.numSteps == 0)
            result.verdict.failures.push_back ({"steps", 0.0, "no steps stored in the range"});
    }
    return result;
}

juce::Result RangeReport::compute (LogDatabase& db, std::int64_t fromMs, std::int64_t toMs,
                                   const Settings& settings, Result& result, int layout)
{
    const auto input = db.inputOf (fromMs, toMs);
    RangeReport report (settings, layout >= 0 ? layout : input.layout);
    if (const auto read = db.readSteps (fromMs, toMs, [&report] (const StepRecord& s) { report.add (s); });
        read.failed())
        return read;

    result = report.finish (fromMs, toMs, db.readEvents (fromMs, toMs));
    result.numChannels = input.channels;
    result.sampleRate = input.sampleRate;
    return juce::Result::ok();
}
