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
//            sample_rate REAL, program TEXT, layout TEXT)
//   steps(time_ms INTEGER PRIMARY KEY, momentary INTEGER, short_term INTEGER, peaks BLOB)
//   events(id INTEGER PRIMARY KEY, time_ms INTEGER, kind TEXT, detail TEXT), index on time_ms
//   step_blocks(start_ms INTEGER PRIMARY KEY, steps INTEGER, momentary_min INTEGER,
//               momentary_max INTEGER, short_term_min INTEGER, short_term_max INTEGER, peaks BLOB)
//
// time_ms is the end of the step, UTC. Loudness is stored in hundredths of a LU (NULL while no
// full window lies behind the step); peaks holds one little-endian int16 per meter channel
// (in the session's arrangement, up to the last one the input feeds; at most 12), the step's
// true peak in hundredths of a dB (-32768 for silence and unfed channels). That keeps a 5.1
// step near 30 bytes. A session's layout is the name of the arrangement its channels were
// measured in ("5.1", "7.1.4"); NULL, as in sessions from before version 3, is 5.1.
//
// step_blocks rolls the steps up in blocks of blockMs on the clock: the block starting at
// start_ms holds the steps with start_ms < time_ms <= start_ms + blockMs, their count, the
// least and greatest loudness (NULL when none) and each channel's greatest peak. It is written
// in the same transaction as its steps, so long histories read a block instead of 100 rows.
// Version 1 databases (no rollup) and version 2 ones (no layout) are brought up to date when
// opened for writing.
class LogDatabase
{
public:
    static constexpr int schemaVersion = 3;
    static constexpr std::int64_t blockMs = 10'000;

    LogDatabase() = default;
    ~LogDatabase();
    LogDatabase (const LogDatabase&) = delete;
    LogDatabase& operator= (const LogDatabase&) = delete;

    // Opens or creates the database. Fails for a file that is not one of ours, or one of a newer
    // schema version. Read-only opens never create.
    juce::Result open (const juce::File& file, bool readOnly);
    void close();

    // A new session row; returns its id, or -1.
    // `layout` is the SpeakerLayout id the session measures in.
    std::int64_t beginSession (std::int64_t startedMs, const juce::String& input, int channels,
                               double sampleRate, int layout);

    // Writes steps and events in one transaction; on failure nothing is written and the error
    // (SQLite's text) is returned. A step whose time is already stored is ignored, so a retry
    // never duplicates and never rewrites a row.
    juce::Result write (const std::vector<StepRecord>& steps, const std::vector<LogEvent>& events);

    // Deletes steps and events older than the time. Returns the steps deleted, or -1.
    int deleteBefore (std::int64_t timeMs);

    // Steps with from < time_ms <= to, in time order.
    juce::Result readSteps (std::int64_t fromMs, std::int64_t toMs,
                            const std::function<void (const StepRecord&)>& visit);
    // How a range is cut into at most `points` columns: columns of at least 100 ms and
    // range / points, starting at from; or, once a column spans a block or more, columns of
    // whole blocks on the block grid (the first starting at or before from), so that they are
    // read from the rollup and still hold exactly their steps.
    struct ColumnLayout
    {
        std::int64_t originMs = 0, columnMs = 100;
    };
    static ColumnLayout columnsFor (std::int64_t fromMs, std::int64_t toMs, int points);

    // The steps with from < time_ms <= to, in columns of columnMs each: column i holds the steps
    // with origin + i columnMs < time_ms <= origin + (i + 1) columnMs (origin <= from). Per column
    // its index, its start (origin + i columnMs, or from for the first) and the least and
    // greatest momentary and short-term loudness (LUFS; NaN when none). Columns without steps are
    // not visited. Whole blocks come from the rollup when the columns lie on the block grid.
    struct Column
    {
        std::int64_t index = 0, startMs = 0;
        float momentaryMin = NAN, momentaryMax = NAN, shortTermMin = NAN, shortTermMax = NAN;
    };
    juce::Result readColumns (std::int64_t fromMs, std::int64_t toMs, std::int64_t originMs,
                              std::int64_t columnMs, const std::function<void (const Column&)>& visit);
    std::vector<LogEvent> readEvents (std::int64_t fromMs, std::int64_t toMs);
    // The input of the sessions that logged into the range: the session running at its start
    // and those begun within it (one begun at its end logs only after it). The most channels,
    // the highest rate (zero when none) and the widest arrangement (5.1 when none).
    struct Input
    {
        int channels = 0;
        double sampleRate = 0.0;
        int layout = SpeakerLayout::surround51;
    };
    Input inputOf (std::int64_t fromMs, std::int64_t toMs);
    // The first and last step times stored; false when there are none.
    bool stepTimes (std::int64_t& first, std::int64_t& last);

    // Encoding used by the steps table.
    static int encodeLevel (float value) noexcept;
    static float decodeLevel (int stored) noexcept;

    juce::String lastError() const;

private:
    juce::Result execute (const char* sql);
    juce::Result createSchema();
    juce::Result upgrade (int version, bool showProgress);
    juce::Result addRollup (bool showProgress);
    juce::Result rollUp (const std::vector<std::int64_t>& blockStarts);

    sqlite3* db = nullptr;
    sqlite3_stmt* insertStep = nullptr;
    sqlite3_stmt* insertEvent = nullptr;
    bool hasRollup = false;
    bool hasLayout = false;
};
