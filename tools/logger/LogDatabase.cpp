#include "LogDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>

namespace
{
constexpr int silentPeak = std::numeric_limits<std::int16_t>::min();

struct Statement
{
    Statement (sqlite3* db, const char* sql) { sqlite3_prepare_v2 (db, sql, -1, &statement, nullptr); }
    ~Statement() { sqlite3_finalize (statement); }
    sqlite3_stmt* statement = nullptr;
};

// Floor and ceiling to the block grid, right for times before 1970 too.
std::int64_t blockFloor (std::int64_t timeMs)
{
    const auto rest = ((timeMs % LogDatabase::blockMs) + LogDatabase::blockMs) % LogDatabase::blockMs;
    return timeMs - rest;
}

std::int64_t blockCeil (std::int64_t timeMs)
{
    return -blockFloor (-timeMs);
}

// The start of the block a step ending at timeMs belongs to (start < timeMs <= start + block).
std::int64_t blockOf (std::int64_t timeMs)
{
    return blockFloor (timeMs - 1);
}

// A block's sums over its steps, in the stored hundredths.
struct BlockSum
{
    static constexpr int none = std::numeric_limits<int>::max();

    int steps = 0;
    int momentaryMin = none, momentaryMax = -none, shortTermMin = none, shortTermMax = -none;
    int numPeaks = 0;
    int peaks[StepRecord::maxChannels]{};

    // Adds the step in the current row of a query whose columns from `first` on are momentary,
    // short_term and peaks.
    void add (sqlite3_stmt* row, int first)
    {
        ++steps;
        if (sqlite3_column_type (row, first) != SQLITE_NULL)
        {
            const auto m = sqlite3_column_int (row, first);
            momentaryMin = std::min (momentaryMin, m);
            momentaryMax = std::max (momentaryMax, m);
        }
        if (sqlite3_column_type (row, first + 1) != SQLITE_NULL)
        {
            const auto s = sqlite3_column_int (row, first + 1);
            shortTermMin = std::min (shortTermMin, s);
            shortTermMax = std::max (shortTermMax, s);
        }
        const auto* bytes = static_cast<const unsigned char*> (sqlite3_column_blob (row, first + 2));
        const auto channels = std::min (StepRecord::maxChannels, sqlite3_column_bytes (row, first + 2) / 2);
        for (int c = numPeaks; c < channels; ++c)
            peaks[c] = silentPeak;
        numPeaks = std::max (numPeaks, channels);
        for (int c = 0; c < channels; ++c)
            peaks[c] = std::max (peaks[c], (int)(std::int16_t) (bytes[2 * c] | (bytes[2 * c + 1] << 8)));
    }

    // Binds start_ms, steps, the four loudness bounds and peaks to `insert`, and runs it.
    bool store (sqlite3_stmt* insert, std::int64_t startMs) const
    {
        sqlite3_reset (insert);
        sqlite3_bind_int64 (insert, 1, startMs);
        sqlite3_bind_int (insert, 2, steps);
        const auto bind = [insert] (int index, int value, bool present)
        {
            if (present)
                sqlite3_bind_int (insert, index, value);
            else
                sqlite3_bind_null (insert, index);
        };
        bind (3, momentaryMin, momentaryMin != none);
        bind (4, momentaryMax, momentaryMax != -none);
        bind (5, shortTermMin, shortTermMin != none);
        bind (6, shortTermMax, shortTermMax != -none);
        unsigned char bytes[StepRecord::maxChannels * 2];
        for (int c = 0; c < numPeaks; ++c)
        {
            bytes[2 * c] = (unsigned char)(peaks[c] & 0xff);
            bytes[2 * c + 1] = (unsigned char)((peaks[c] >> 8) & 0xff);
        }
        sqlite3_bind_blob (insert, 7, bytes, numPeaks * 2, SQLITE_TRANSIENT);
        return sqlite3_step (insert) == SQLITE_DONE;
    }
};

constexpr const char* insertBlockSql = "INSERT OR REPLACE INTO step_blocks (start_ms, steps, momentary_min,"
                                       " momentary_max, short_term_min, short_term_max, peaks)"
                                       " VALUES (?, ?, ?, ?, ?, ?, ?)";
constexpr const char* createRollupSql =
    "CREATE TABLE IF NOT EXISTS step_blocks (start_ms INTEGER PRIMARY KEY, steps INTEGER NOT NULL,"
    " momentary_min INTEGER, momentary_max INTEGER, short_term_min INTEGER, short_term_max INTEGER,"
    " peaks BLOB);";

// A session's stored arrangement; none stored, or one this program does not know: 5.1.
int layoutOf (const char* name)
{
    SpeakerLayout::Named named{SpeakerLayout::surround51, 0x3Fu};
    return name != nullptr && SpeakerLayout::fromName (name, named) ? (int)named.id
                                                                    : (int)SpeakerLayout::surround51;
}
} // namespace

LogDatabase::~LogDatabase()
{
    close();
}

void LogDatabase::close()
{
    sqlite3_finalize (insertStep);
    sqlite3_finalize (insertEvent);
    insertStep = insertEvent = nullptr;
    sqlite3_close (db);
    db = nullptr;
    hasRollup = hasLayout = false;
}

juce::String LogDatabase::lastError() const
{
    return db != nullptr ? juce::String::fromUTF8 (sqlite3_errmsg (db)) : juce::String ("no database");
}

juce::Result LogDatabase::execute (const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec (db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return juce::Result::ok();
    const auto text = juce::String::fromUTF8 (message != nullptr ? message : "unknown error");
    sqlite3_free (message);
    return juce::Result::fail (text);
}

juce::Result LogDatabase::open (const juce::File& file, bool readOnly)
{
    close();

    if (readOnly && !file.existsAsFile())
        return juce::Result::fail ("no database at " + file.getFullPathName());

    if (!readOnly)
        file.getParentDirectory().createDirectory();

    const auto flags = readOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (sqlite3_open_v2 (file.getFullPathName().toRawUTF8(), &db, flags, nullptr) != SQLITE_OK)
    {
        const auto error = lastError();
        close();
        return juce::Result::fail ("cannot open " + file.getFullPathName() + ": " + error);
    }

    // A reader or a checkpoint may hold the file for a moment; the writer retries on its next
    // second anyway, so it waits little.
    sqlite3_busy_timeout (db, readOnly ? 5000 : 200);

    int version = -1;
    {
        Statement query (db, "PRAGMA user_version");
        if (query.statement == nullptr || sqlite3_step (query.statement) != SQLITE_ROW)
        {
            const auto error = lastError();
            close();
            return juce::Result::fail (file.getFullPathName() + " is not a logger database: " + error);
        }
        version = sqlite3_column_int (query.statement, 0);
    }

    if (version > schemaVersion)
    {
        close();
        return juce::Result::fail (file.getFullPathName() + " has schema version " + juce::String (version) +
                                   ", newer than this program's " + juce::String (schemaVersion) +
                                   "; use a newer tarn51-logger");
    }

    if (readOnly)
    {
        if (version == 0)
        {
            close();
            return juce::Result::fail (file.getFullPathName() + " is not a logger database");
        }
        // A database of the first version (an older logger may still be writing it) has no
        // rollup: its columns come from the steps alone.
        hasRollup = version >= 2;
        // Before version 3 every session was measured in 5.1.
        hasLayout = version >= 3;
        return juce::Result::ok();
    }

    if (const auto wal = execute ("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"); wal.failed())
    {
        close();
        return juce::Result::fail ("cannot open " + file.getFullPathName() + ": " + wal.getErrorMessage());
    }

    if (version == 0)
        if (const auto created = createSchema(); created.failed())
        {
            close();
            return juce::Result::fail ("cannot create " + file.getFullPathName() + ": " +
                                       created.getErrorMessage());
        }

    if (version >= 1 && version < schemaVersion)
        if (const auto upgraded = upgrade (version, true); upgraded.failed())
        {
            close();
            return juce::Result::fail ("cannot bring " + file.getFullPathName() +
                                       " up to date: " + upgraded.getErrorMessage());
        }
    hasRollup = true;
    hasLayout = true;

    sqlite3_prepare_v2 (
        db, "INSERT OR IGNORE INTO steps (time_ms, momentary, short_term, peaks) VALUES (?, ?, ?, ?)", -1,
        &insertStep, nullptr);
    sqlite3_prepare_v2 (db, "INSERT INTO events (time_ms, kind, detail) VALUES (?, ?, ?)", -1, &insertEvent,
                        nullptr);
    if (insertStep == nullptr || insertEvent == nullptr)
    {
        const auto error = lastError();
        close();
        return juce::Result::fail (file.getFullPathName() + " is not a logger database: " + error);
    }
    return juce::Result::ok();
}

juce::Result LogDatabase::createSchema()
{
    const auto sql =
        juce::String (
            "BEGIN;"
            "CREATE TABLE IF NOT EXISTS sessions (id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL,"
            " input TEXT, channels INTEGER, sample_rate REAL, program TEXT, layout TEXT);"
            "CREATE TABLE IF NOT EXISTS steps (time_ms INTEGER PRIMARY KEY, momentary INTEGER,"
            " short_term INTEGER, peaks BLOB);"
            "CREATE TABLE IF NOT EXISTS events (id INTEGER PRIMARY KEY, time_ms INTEGER NOT NULL,"
            " kind TEXT NOT NULL, detail TEXT);"
            "CREATE INDEX IF NOT EXISTS events_time ON events (time_ms);") +
        createRollupSql + "PRAGMA user_version = " + juce::String (schemaVersion) + "; COMMIT;";
    return execute (sql.toRawUTF8());
}

juce::Result LogDatabase::upgrade (int version, bool showProgress)
{
    // One transaction: a killed migration leaves the old version as it was, and the next open
    // starts over.
    if (const auto begun = execute ("BEGIN IMMEDIATE"); begun.failed())
        return begun;
    const auto fail = [this] (const juce::String& error)
    {
        execute ("ROLLBACK");
        return juce::Result::fail (error);
    };
    if (version < 2)
        if (const auto added = addRollup (showProgress); added.failed())
            return fail (added.getErrorMessage());
    // The sessions before had no arrangement column: NULL reads as 5.1, all they could measure.
    if (version < 3)
        if (const auto added = execute ("ALTER TABLE sessions ADD COLUMN layout TEXT"); added.failed())
            return fail (added.getErrorMessage());

    if (const auto versioned =
            execute (("PRAGMA user_version = " + juce::String (schemaVersion)).toRawUTF8());
        versioned.failed())
        return fail (versioned.getErrorMessage());
    if (const auto committed = execute ("COMMIT"); committed.failed())
        return fail (committed.getErrorMessage());
    return juce::Result::ok();
}

juce::Result LogDatabase::addRollup (bool showProgress)
{
    const auto fail = [] (const juce::String& error) { return juce::Result::fail (error); };
    if (const auto created = execute (createRollupSql); created.failed())
        return fail (created.getErrorMessage());

    std::int64_t total = 0;
    {
        Statement count (db, "SELECT COUNT(*) FROM steps");
        if (count.statement == nullptr || sqlite3_step (count.statement) != SQLITE_ROW)
            return fail (lastError());
        total = sqlite3_column_int64 (count.statement, 0);
    }
    showProgress = showProgress && total >= 100'000;
    if (showProgress)
        std::cerr << "tarn51-logger: adding the history rollup for " << total << " steps" << std::flush;

    Statement scan (db, "SELECT time_ms, momentary, short_term, peaks FROM steps ORDER BY time_ms");
    Statement insert (db, insertBlockSql);
    if (scan.statement == nullptr || insert.statement == nullptr)
        return fail (lastError());

    BlockSum sum;
    std::int64_t block = 0, done = 0;
    int shownTenths = 0, status;
    while ((status = sqlite3_step (scan.statement)) == SQLITE_ROW)
    {
        const auto start = blockOf (sqlite3_column_int64 (scan.statement, 0));
        if (sum.steps > 0 && start != block)
        {
            if (!sum.store (insert.statement, block))
                return fail (lastError());
            sum = {};
        }
        block = start;
        sum.add (scan.statement, 1);
        if (showProgress && ++done * 10 / total > shownTenths)
        {
            shownTenths = (int)(done * 10 / total);
            std::cerr << " " << shownTenths * 10 << "%" << std::flush;
        }
    }
    if (status != SQLITE_DONE || (sum.steps > 0 && !sum.store (insert.statement, block)))
        return fail (lastError());
    if (showProgress)
        std::cerr << std::endl;
    return juce::Result::ok();
}

juce::Result LogDatabase::rollUp (const std::vector<std::int64_t>& blockStarts)
{
    // Each block again from its steps: exact whatever came before (retried steps, pruning).
    Statement scan (db, "SELECT momentary, short_term, peaks FROM steps WHERE time_ms > ? AND time_ms <= ?");
    Statement insert (db, insertBlockSql);
    Statement remove (db, "DELETE FROM step_blocks WHERE start_ms = ?");
    if (scan.statement == nullptr || insert.statement == nullptr || remove.statement == nullptr)
        return juce::Result::fail (lastError());
    for (const auto start : blockStarts)
    {
        sqlite3_reset (scan.statement);
        sqlite3_bind_int64 (scan.statement, 1, start);
        sqlite3_bind_int64 (scan.statement, 2, start + blockMs);
        BlockSum sum;
        int status;
        while ((status = sqlite3_step (scan.statement)) == SQLITE_ROW)
            sum.add (scan.statement, 0);
        if (status != SQLITE_DONE)
            return juce::Result::fail (lastError());
        if (sum.steps > 0 ? !sum.store (insert.statement, start) : false)
            return juce::Result::fail (lastError());
        if (sum.steps == 0)
        {
            sqlite3_reset (remove.statement);
            sqlite3_bind_int64 (remove.statement, 1, start);
            if (sqlite3_step (remove.statement) != SQLITE_DONE)
                return juce::Result::fail (lastError());
        }
    }
    return juce::Result::ok();
}

std::int64_t LogDatabase::beginSession (std::int64_t startedMs, const juce::String& input, int channels,
                                        double sampleRate, int layout)
{
    Statement insert (db, "INSERT INTO sessions (started_ms, input, channels, sample_rate, program, layout)"
                          " VALUES (?, ?, ?, ?, 'tarn51-logger', ?)");
    if (insert.statement == nullptr)
        return -1;
    sqlite3_bind_int64 (insert.statement, 1, startedMs);
    sqlite3_bind_text (insert.statement, 2, input.toRawUTF8(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int (insert.statement, 3, channels);
    sqlite3_bind_double (insert.statement, 4, sampleRate);
    sqlite3_bind_text (insert.statement, 5, SpeakerLayout::get (layout).name, -1, SQLITE_STATIC);
    if (sqlite3_step (insert.statement) != SQLITE_DONE)
        return -1;
    return sqlite3_last_insert_rowid (db);
}

int LogDatabase::encodeLevel (float value) noexcept
{
    if (std::isnan (value))
        return silentPeak;
    return (int)std::lround (juce::jlimit (-327.67f, 327.67f, value) * 100.0f);
}

float LogDatabase::decodeLevel (int stored) noexcept
{
    return stored <= silentPeak ? -INFINITY : (float)stored / 100.0f;
}

juce::Result LogDatabase::write (const std::vector<StepRecord>& steps, const std::vector<LogEvent>& events)
{
    if (db == nullptr)
        return juce::Result::fail ("no database");

    if (const auto begun = execute ("BEGIN IMMEDIATE"); begun.failed())
        return begun;

    const auto fail = [this]
    {
        const auto error = lastError();
        execute ("ROLLBACK");
        return juce::Result::fail (error);
    };

    std::vector<std::int64_t> touched;
    for (const auto& step : steps)
    {
        sqlite3_reset (insertStep);
        sqlite3_bind_int64 (insertStep, 1, step.timeMs);
        if (std::isnan (step.momentary))
            sqlite3_bind_null (insertStep, 2);
        else
            sqlite3_bind_int (insertStep, 2, encodeLevel (step.momentary));
        if (std::isnan (step.shortTerm))
            sqlite3_bind_null (insertStep, 3);
        else
            sqlite3_bind_int (insertStep, 3, encodeLevel (step.shortTerm));

        unsigned char peaks[StepRecord::maxChannels * 2];
        for (int c = 0; c < step.numChannels; ++c)
        {
            const auto value = std::isfinite (step.truePeak[c]) ? encodeLevel (step.truePeak[c]) : silentPeak;
            peaks[2 * c] = (unsigned char)(value & 0xff);
            peaks[2 * c + 1] = (unsigned char)((value >> 8) & 0xff);
        }
        sqlite3_bind_blob (insertStep, 4, peaks, step.numChannels * 2, SQLITE_TRANSIENT);

        if (sqlite3_step (insertStep) != SQLITE_DONE)
            return fail();
        // A step already stored was ignored and leaves its block as it is.
        if (sqlite3_changes (db) > 0 &&
            std::find (touched.begin(), touched.end(), blockOf (step.timeMs)) == touched.end())
            touched.push_back (blockOf (step.timeMs));
    }
    if (!rollUp (touched).wasOk())
        return fail();

    for (const auto& event : events)
    {
        sqlite3_reset (insertEvent);
        sqlite3_bind_int64 (insertEvent, 1, event.timeMs);
        sqlite3_bind_text (insertEvent, 2, event.kind.toRawUTF8(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text (insertEvent, 3, event.detail.toRawUTF8(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step (insertEvent) != SQLITE_DONE)
            return fail();
    }

    if (const auto committed = execute ("COMMIT"); committed.failed())
    {
        execute ("ROLLBACK");
        return committed;
    }
    return juce::Result::ok();
}

int LogDatabase::deleteBefore (std::int64_t timeMs)
{
    // Steps, events and the rollup together: the block the cut falls in is summed again from
    // the steps it keeps.
    if (db == nullptr || execute ("BEGIN IMMEDIATE").failed())
        return -1;
    const auto cutBlock = blockOf (timeMs);
    Statement steps (db, "DELETE FROM steps WHERE time_ms < ?");
    Statement events (db, "DELETE FROM events WHERE time_ms < ?");
    Statement blocks (db, "DELETE FROM step_blocks WHERE start_ms < ?");
    if (steps.statement == nullptr || events.statement == nullptr || blocks.statement == nullptr)
    {
        execute ("ROLLBACK");
        return -1;
    }
    sqlite3_bind_int64 (steps.statement, 1, timeMs);
    sqlite3_bind_int64 (events.statement, 1, timeMs);
    sqlite3_bind_int64 (blocks.statement, 1, cutBlock);
    if (sqlite3_step (steps.statement) != SQLITE_DONE)
    {
        execute ("ROLLBACK");
        return -1;
    }
    const auto deleted = sqlite3_changes (db);
    if (sqlite3_step (events.statement) != SQLITE_DONE || sqlite3_step (blocks.statement) != SQLITE_DONE ||
        rollUp ({cutBlock}).failed() || execute ("COMMIT").failed())
    {
        execute ("ROLLBACK");
        return -1;
    }
    return deleted;
}

juce::Result LogDatabase::readSteps (std::int64_t fromMs, std::int64_t toMs,
                                     const std::function<void (const StepRecord&)>& visit)
{
    // The arrangement of each step is its session's: the last one begun before the step ended.
    // Only the sessions from the one running at the range's start on (a stream logger begins
    // one at every reconnection).
    std::vector<std::pair<std::int64_t, int>> sessions;
    {
        const auto sql = juce::String ("SELECT started_ms, ") + (hasLayout ? "layout" : "NULL") +
                         " FROM sessions WHERE started_ms < ?2 AND started_ms >= IFNULL((SELECT"
                         " MAX(started_ms) FROM sessions WHERE started_ms <= ?1), ?1)"
                         " ORDER BY started_ms, id";
        Statement query (db, sql.toRawUTF8());
        if (query.statement == nullptr)
            return juce::Result::fail (lastError());
        sqlite3_bind_int64 (query.statement, 1, fromMs);
        sqlite3_bind_int64 (query.statement, 2, toMs);
        while (sqlite3_step (query.statement) == SQLITE_ROW)
            sessions.emplace_back (sqlite3_column_int64 (query.statement, 0),
                                   layoutOf ((const char*)sqlite3_column_text (query.statement, 1)));
    }
    size_t session = 0;

    Statement query (db, "SELECT time_ms, momentary, short_term, peaks FROM steps"
                         " WHERE time_ms > ? AND time_ms <= ? ORDER BY time_ms");
    if (query.statement == nullptr)
        return juce::Result::fail (lastError());
    sqlite3_bind_int64 (query.statement, 1, fromMs);
    sqlite3_bind_int64 (query.statement, 2, toMs);

    int status;
    while ((status = sqlite3_step (query.statement)) == SQLITE_ROW)
    {
        StepRecord step;
        step.timeMs = sqlite3_column_int64 (query.statement, 0);
        while (session < sessions.size() && sessions[session].first < step.timeMs)
            ++session;
        step.layout = session > 0 ? sessions[session - 1].second : SpeakerLayout::surround51;
        step.momentary = sqlite3_column_type (query.statement, 1) == SQLITE_NULL
                             ? NAN
                             : decodeLevel (sqlite3_column_int (query.statement, 1));
        step.shortTerm = sqlite3_column_type (query.statement, 2) == SQLITE_NULL
                             ? NAN
                             : decodeLevel (sqlite3_column_int (query.statement, 2));
        const auto* peaks = static_cast<const unsigned char*> (sqlite3_column_blob (query.statement, 3));
        step.numChannels =
            juce::jmin (StepRecord::maxChannels, sqlite3_column_bytes (query.statement, 3) / 2);
        for (int c = 0; c < step.numChannels; ++c)
            step.truePeak[c] = decodeLevel ((std::int16_t) (peaks[2 * c] | (peaks[2 * c + 1] << 8)));
        visit (step);
    }

    return status == SQLITE_DONE ? juce::Result::ok() : juce::Result::fail (lastError());
}

LogDatabase::ColumnLayout LogDatabase::columnsFor (std::int64_t fromMs, std::int64_t toMs, int points)
{
    points = std::max (1, points);
    ColumnLayout layout;
    layout.originMs = fromMs;
    layout.columnMs = std::max ((std::int64_t)100, (toMs - fromMs + points - 1) / points);
    if (layout.columnMs < blockMs)
        return layout;
    // Whole blocks from the block before from: still no more than `points` columns to the end.
    layout.originMs = blockFloor (fromMs);
    layout.columnMs = blockCeil ((toMs - layout.originMs + points - 1) / points);
    return layout;
}

juce::Result LogDatabase::readColumns (std::int64_t fromMs, std::int64_t toMs, std::int64_t originMs,
                                       std::int64_t columnMs,
                                       const std::function<void (const Column&)>& visit)
{
    columnMs = std::max ((std::int64_t)1, columnMs);
    originMs = std::min (originMs, fromMs);

    // Stored hundredths; the sentinels stand for no value in the column yet.
    constexpr int none = std::numeric_limits<int>::max();
    int mMin = none, mMax = -none, sMin = none, sMax = -none;
    std::int64_t current = -1;
    const auto emit = [&]
    {
        if (current < 0)
            return;
        Column c;
        c.index = current;
        c.startMs = std::max (fromMs, originMs + current * columnMs);
        c.momentaryMin = mMin == none ? NAN : decodeLevel (mMin);
        c.momentaryMax = mMax == -none ? NAN : decodeLevel (mMax);
        c.shortTermMin = sMin == none ? NAN : decodeLevel (sMin);
        c.shortTermMax = sMax == -none ? NAN : decodeLevel (sMax);
        visit (c);
        mMin = sMin = none;
        mMax = sMax = -none;
    };
    // Adds a row whose columns from 1 on are the least and greatest momentary and short-term
    // values (a step gives each twice), ending at endMs, to its column.
    const auto add = [&] (sqlite3_stmt* row, std::int64_t endMs)
    {
        const auto column = (endMs - originMs - 1) / columnMs;
        if (column != current)
        {
            emit();
            current = column;
        }
        if (sqlite3_column_type (row, 1) != SQLITE_NULL)
        {
            mMin = std::min (mMin, sqlite3_column_int (row, 1));
            mMax = std::max (mMax, sqlite3_column_int (row, 2));
        }
        if (sqlite3_column_type (row, 3) != SQLITE_NULL)
        {
            sMin = std::min (sMin, sqlite3_column_int (row, 3));
            sMax = std::max (sMax, sqlite3_column_int (row, 4));
        }
    };

    // A plain range scan of the primary key, merged here: grouping in SQL sorts every row first.
    Statement steps (db, "SELECT time_ms, momentary, momentary, short_term, short_term FROM steps"
                         " WHERE time_ms > ? AND time_ms <= ? ORDER BY time_ms");
    if (steps.statement == nullptr)
        return juce::Result::fail (lastError());
    const auto scanSteps = [&] (std::int64_t after, std::int64_t upTo)
    {
        sqlite3_reset (steps.statement);
        sqlite3_bind_int64 (steps.statement, 1, after);
        sqlite3_bind_int64 (steps.statement, 2, upTo);
        int status;
        while ((status = sqlite3_step (steps.statement)) == SQLITE_ROW)
            add (steps.statement, sqlite3_column_int64 (steps.statement, 0));
        return status == SQLITE_DONE;
    };

    const auto onGrid = originMs == blockFloor (originMs) && columnMs % blockMs == 0;
    const auto firstWhole = blockCeil (fromMs), endOfWhole = blockFloor (toMs);
    if (!hasRollup || !onGrid || endOfWhole - firstWhole < blockMs)
    {
        if (!scanSteps (fromMs, toMs))
            return juce::Result::fail (lastError());
        emit();
        return juce::Result::ok();
    }

    // The blocks wholly inside the range, and the steps of the ends that cut a block, in one
    // read transaction so that a write in between cannot show up in one part only.
    if (const auto begun = execute ("BEGIN"); begun.failed())
        return begun;
    Statement blocks (db, "SELECT start_ms, momentary_min, momentary_max, short_term_min, short_term_max"
                          " FROM step_blocks WHERE start_ms >= ? AND start_ms < ? ORDER BY start_ms");
    auto ok = blocks.statement != nullptr && scanSteps (fromMs, firstWhole);
    if (ok)
    {
        sqlite3_bind_int64 (blocks.statement, 1, firstWhole);
        sqlite3_bind_int64 (blocks.statement, 2, endOfWhole);
        int status;
        while ((status = sqlite3_step (blocks.statement)) == SQLITE_ROW)
            add (blocks.statement, sqlite3_column_int64 (blocks.statement, 0) + blockMs);
        ok = status == SQLITE_DONE && scanSteps (endOfWhole, toMs);
    }
    const auto error = lastError();
    execute ("COMMIT");
    if (!ok)
        return juce::Result::fail (error);
    emit();
    return juce::Result::ok();
}

std::vector<LogEvent> LogDatabase::readEvents (std::int64_t fromMs, std::int64_t toMs)
{
    std::vector<LogEvent> events;
    Statement query (db, "SELECT time_ms, kind, detail FROM events WHERE time_ms >= ? AND time_ms <= ?"
                         " ORDER BY time_ms, id");
    if (query.statement == nullptr)
        return events;
    sqlite3_bind_int64 (query.statement, 1, fromMs);
    sqlite3_bind_int64 (query.statement, 2, toMs);
    while (sqlite3_step (query.statement) == SQLITE_ROW)
        events.push_back ({sqlite3_column_int64 (query.statement, 0),
                           juce::String::fromUTF8 ((const char*)sqlite3_column_text (query.statement, 1)),
                           juce::String::fromUTF8 ((const char*)sqlite3_column_text (query.statement, 2))});
    return events;
}

LogDatabase::Input LogDatabase::inputOf (std::int64_t fromMs, std::int64_t toMs)
{
    Input input;
    const auto sql = juce::String ("SELECT channels, sample_rate, ") + (hasLayout ? "layout" : "NULL") +
                     " FROM sessions WHERE (started_ms > ?1 AND started_ms < ?2) OR id = (SELECT id FROM"
                     " sessions WHERE started_ms <= ?1 ORDER BY started_ms DESC, id DESC LIMIT 1)";
    Statement query (db, sql.toRawUTF8());
    if (query.statement == nullptr)
        return input;
    sqlite3_bind_int64 (query.statement, 1, fromMs);
    sqlite3_bind_int64 (query.statement, 2, toMs);
    while (sqlite3_step (query.statement) == SQLITE_ROW)
    {
        input.channels = std::max (input.channels, sqlite3_column_int (query.statement, 0));
        input.sampleRate = std::max (input.sampleRate, sqlite3_column_double (query.statement, 1));
        const auto layout = layoutOf ((const char*)sqlite3_column_text (query.statement, 2));
        if (SpeakerLayout::get (layout).numChannels > SpeakerLayout::get (input.layout).numChannels)
            input.layout = layout;
    }
    return input;
}

bool LogDatabase::stepTimes (std::int64_t& first, std::int64_t& last)
{
    Statement query (db, "SELECT MIN(time_ms), MAX(time_ms) FROM steps");
    if (query.statement == nullptr || sqlite3_step (query.statement) != SQLITE_ROW ||
        sqlite3_column_type (query.statement, 0) == SQLITE_NULL)
        return false;
    first = sqlite3_column_int64 (query.statement, 0);
    last = sqlite3_column_int64 (query.statement, 1);
    return true;
}
