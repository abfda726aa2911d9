#pragma once

#include "LogEvent.h"
#include "StepRecord.h"

#include <optional>
#include <vector>

// Finds the events the steps themselves show, step by step in time order:
// - silence: momentary loudness below -70 LUFS for silenceSeconds;
// - true-peak-over: a step's true peak above the limit (once per run of such steps);
// - loud: short-term loudness above the upper limit for loudSeconds.
// A gap between steps (the input was lost) ends every run.
class EventDetector
{
public:
    struct Settings
    {
        double silenceSeconds = 10.0;
        double loudSeconds = 10.0;
        std::optional<double> maxTruePeak; // dBTP
        std::optional<double> loudAbove;   // LUFS
    };

    static constexpr float silenceLevel = -70.0f;

    explicit EventDetector (const Settings& settings);

    // Appends the events this step completes to out.
    void add (const StepRecord& step, std::vector<LogEvent>& out);

private:
    struct Run
    {
        std::int64_t startMs = -1;
        bool reported = false;
    };

    // Starts, continues or ends a run; true when the run reached `seconds` with this step.
    static bool follow (Run& run, bool condition, const StepRecord& step, double seconds);

    Settings settings;
    Run silence, loud, over;
    std::int64_t lastMs = -1;
};
