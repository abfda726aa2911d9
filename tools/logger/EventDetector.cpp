#include "EventDetector.h"

#include <cmath>

EventDetector::EventDetector (const Settings& s) : settings (s) {}

bool EventDetector::follow (Run& run, bool condition, const StepRecord& step, double seconds)
{
    if (!condition)
    {
        run = {};
        return false;
    }

    // The step covers the 100 ms before its time.
    if (run.startMs < 0)
        run.startMs = step.timeMs - 100;

    if (run.reported || (double)(step.timeMs - run.startMs) < seconds * 1000.0 - 0.5)
        return false;

    run.reported = true;
    return true;
}

void EventDetector::add (const StepRecord& step, std::vector<LogEvent>& out)
{
    // Steps more than a step apart: audio is missing in between, and no run spans a gap.
    if (lastMs >= 0 && step.timeMs - lastMs > 150)
        silence = loud = over = {};
    lastMs = step.timeMs;

    // Steps before the first full window say nothing about loudness.
    if (!std::isnan (step.momentary) &&
        follow (silence, step.momentary < silenceLevel, step, settings.silenceSeconds))
        out.push_back (
            {silence.startMs, "silence",
             "momentary loudness below -70 LUFS for " + juce::String (settings.silenceSeconds, 1) + " s"});

    if (settings.loudAbove && !std::isnan (step.shortTerm) &&
        follow (loud, (double)step.shortTerm > *settings.loudAbove + 0.05, step, settings.loudSeconds))
        out.push_back ({loud.startMs, "loud",
                        "short-term loudness above " + juce::String (*settings.loudAbove, 1) + " LUFS for " +
                            juce::String (settings.loudSeconds, 1) + " s"});

    if (settings.maxTruePeak)
    {
        // Judged as the readouts show it, rounded to 0.1 dB.
        const auto peak = step.maxTruePeak();
        const auto shown = std::round (peak * 10.0f) / 10.0f;
        if (follow (over, std::isfinite (peak) && (double)shown > *settings.maxTruePeak + 1.0e-6, step, 0.0))
        {
            int channel = 0;
            for (int c = 0; c < step.numChannels; ++c)
                if (step.truePeak[c] >= peak)
                    channel = c;
            out.push_back ({step.timeMs - 100, "true-peak-over",
                            juce::String (shown, 1) + " dBTP on channel " + juce::String (channel + 1) +
                                ", above " + juce::String (*settings.maxTruePeak, 1)});
        }
    }
}
