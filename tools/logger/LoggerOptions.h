#pragma once

#include "DeliveryTarget.h"
#include "MeasureOptions.h"

#include <juce_core/juce_core.h>

#include <cstdint>
#include <optional>

// The logger's command lines: `tarn51-logger INPUT [options]` logs, `tarn51-logger report
// [options]` reports on a stored range. A usage error leaves a failed result with the message.
class LoggerOptions
{
public:
    enum class Input
    {
        none,
        file,
        url,
        alsa,
        jack
    };

    bool report = false;
    bool help = false;

    // Logging.
    Input input = Input::none;
    juce::String source; // file, URL or ALSA device
    juce::StringArray connect;
    int channels = 2;          // --jack and --alsa (JACK: one per --connect port by default)
    double sampleRate = 48000; // --alsa
    bool realtime = false;
    std::optional<std::int64_t> startMs; // a file's step times start here instead of now
    int keepDays = 0;
    double silenceSeconds = 10.0;
    double loudSeconds = 10.0;
    std::optional<double> maxTruePeak;

    // The web page (--http ADDRESS:PORT); port -1 when off.
    juce::String httpAddress;
    int httpPort = -1;
    juce::String httpTokenFile;
    juce::StringArray alsoDb;

    // Both.
    juce::String name;
    juce::String dbPath;
    MeasureOptions meter; // standard, gating, thresholds, layout, block size
    std::optional<DeliveryTarget> target;

    // Reporting.
    std::int64_t fromMs = 0, toMs = 0;
    bool json = false, csv = false, daily = false;

    static juce::Result parse (const juce::StringArray& arguments, LoggerOptions& options);
    static juce::String usage (bool report);

    // --db, else $XDG_DATA_HOME/Velnor/tarn51-logger/NAME.sqlite (~/.local/share when unset).
    juce::File databaseFile() const;
};
