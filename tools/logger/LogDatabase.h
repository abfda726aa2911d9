#pragma once

#include "LogEvent.h"
#include "StepRecord.h"

#include <functional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One logged input's SQLite database: a row per 100 ms step, the events, and a row per logging
// session. WAL mode, so that reports read while the logger writes. Schema (version in
// PRAGMA user_version):
//
//   sessions(id INTEGER PRIMARY KEY, started_ms INTEGER, input TEXT, channels INTEGER,
//            sample_rate REAL, program TEXT)
//   steps(time_ms INTEGER PRIMARY KEY, momentary INTEGER, short_term INTEGER, peaks BLOB)
//   events(id INTEGER PRIMARY KEY, time_ms INTEGER, kind TEXT, detail TEXT), index on time_ms
//
// time_ms is the end of the step, UTC. Loudness is stored in hundredths of a LU (NULL while no
// full window lies behind the step); peaks holds one little-endian int16 per meter channel
// (L R C LFE Ls Rs, up to the last one the input feeds), the step's true peak in hundredths of
// a dB (-32768 for silence and unfed channels). That keeps a step near 30 bytes.
class LogDatabase
{
public:
    static constexpr int schemaVersion = 1;

    LogDatabase() = default;
    ~LogDatabase();
    LogDatabase (const LogDatabase&) = delete;
    LogDatabase& operator= (const LogDatabase&) = delete;

    // Opens or creates the database. Fails for a file that is not one of ours, or one of a newer
    // schema version. Read-only opens never create.
    juce::Result open (const juce::File& file, bool readOnly);
    void close();

    // A new session row; returns its id, or -1.
    std::int64_t beginSession (std::int64_t startedMs, const juce::String& input, int channels,
                               double sampleRate);

    // Writes steps and events in one transaction; on failure nothing is written and the error
    // (SQLite's text) is returned. A step whose time is already stored is ignored, so a retry
    // never duplicates and never rewrites a row.
    juce::Result write (const std::vector<StepRecord>& steps, const std::vector<LogEvent>& events);

    // Deletes steps and events older than the time. Returns the steps deleted, or -1.
    int deleteBefore (std::int64_t timeMs);

    // Steps with from < time_ms <= to, in time order.
    juce::Result readSteps (std::int64_t fromMs, std::int64_t toMs,
                            const std::function<void (const StepRecord&)>& visit);
    // The steps with from < time_ms <= to, in columns of columnMs each (the first starts at
    // from): per column its index and the least and greatest momentary and short-term loudness
    // (LUFS; NaN when none). Columns without steps are not visited.
    struct Column
    {
        std::int64_t index = 0;
        float momentaryMin = NAN, momentaryMax = NAN, shortTermMin = NAN, shortTermMax = NAN;
    };
    juce::Result readColumns (std::int64_t fromMs, std::int64_t toMs, std::int64_t columnMs,
                              const std::function<void (const Column&)>& visit);
    std::vector<LogEvent> readEvents (std::int64_t fromMs, std::int64_t toMs);
    // The input of the sessions that logged into the range: the session running at its start
    // and those begun within it. The most channels and the highest rate; zero when none.
    void inputOf (std::int64_t fromMs, std::int64_t toMs, int& channels, double& sampleRate);
    // The first and last step times stored; false when there are none.
    bool stepTimes (std::int64_t& first, std::int64_t& last);

    // Encoding used by the steps table.
    static int encodeLevel (float value) noexcept;
    static float decodeLevel (int stored) noexcept;

    juce::String lastError() const;

private:
    juce::Result execute (const char* sql);
    juce::Result createSchema();

    sqlite3* db = nullptr;
    sqlite3_stmt* insertStep = nullptr;
    sqlite3_stmt* insertEvent = nullptr;
};
