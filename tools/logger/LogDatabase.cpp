#include "LogDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
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
    return execute (
        "BEGIN;"
        "CREATE TABLE IF NOT EXISTS sessions (id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL,"
        " input TEXT, channels INTEGER, sample_rate REAL, program TEXT);"
        "CREATE TABLE IF NOT EXISTS steps (time_ms INTEGER PRIMARY KEY, momentary INTEGER,"
        " short_term INTEGER, peaks BLOB);"
        "CREATE TABLE IF NOT EXISTS events (id INTEGER PRIMARY KEY, time_ms INTEGER NOT NULL,"
        " kind TEXT NOT NULL, detail TEXT);"
        "CREATE INDEX IF NOT EXISTS events_time ON events (time_ms);"
        "PRAGMA user_version = 1;"
        "COMMIT;");
}

std::int64_t LogDatabase::beginSession (std::int64_t startedMs, const juce::String& input, int channels,
                                        double sampleRate)
{
    Statement insert (db, "INSERT INTO sessions (started_ms, input, channels, sample_rate, program)"
                          " VALUES (?, ?, ?, ?, 'tarn51-logger')");
    if (insert.statement == nullptr)
        return -1;
    sqlite3_bind_int64 (insert.statement, 1, startedMs);
    sqlite3_bind_text (insert.statement, 2, input.toRawUTF8(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int (insert.statement, 3, channels);
    sqlite3_bind_double (insert.statement, 4, sampleRate);
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
    }

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
    Statement steps (db, "DELETE FROM steps WHERE time_ms < ?");
    Statement events (db, "DELETE FROM events WHERE time_ms < ?");
    if (steps.statement == nullptr || events.statement == nullptr)
        return -1;
    sqlite3_bind_int64 (steps.statement, 1, timeMs);
    sqlite3_bind_int64 (events.statement, 1, timeMs);
    if (sqlite3_step (steps.statement) != SQLITE_DONE)
        return -1;
    const auto deleted = sqlite3_changes (db);
    sqlite3_step (events.statement);
    return deleted;
}

juce::Result LogDatabase::readSteps (std::int64_t fromMs, std::int64_t toMs,
                                     const std::function<void (const StepRecord&)>& visit)
{
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

juce::Result LogDatabase::readColumns (std::int64_t fromMs, std::int64_t toMs, std::int64_t columnMs,
                                       const std::function<void (const Column&)>& visit)
{
    // A plain range scan of the primary key, merged here: grouping in SQL sorts every row first.
    Statement query (db, "SELECT time_ms, momentary, short_term FROM steps WHERE time_ms > ? AND time_ms <= ?"
                         " ORDER BY time_ms");
    if (query.statement == nullptr)
        return juce::Result::fail (lastError());
    sqlite3_bind_int64 (query.statement, 1, fromMs);
    sqlite3_bind_int64 (query.statement, 2, toMs);
    columnMs = juce::jmax ((std::int64_t)1, columnMs);

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
        c.momentaryMin = mMin == none ? NAN : decodeLevel (mMin);
        c.momentaryMax = mMax == -none ? NAN : decodeLevel (mMax);
        c.shortTermMin = sMin == none ? NAN : decodeLevel (sMin);
        c.shortTermMax = sMax == -none ? NAN : decodeLevel (sMax);
        visit (c);
        mMin = sMin = none;
        mMax = sMax = -none;
    };

    int status;
    while ((status = sqlite3_step (query.statement)) == SQLITE_ROW)
    {
        const auto column = (sqlite3_column_int64 (query.statement, 0) - fromMs - 1) / columnMs;
        if (column != current)
        {
            emit();
            current = column;
        }
        if (sqlite3_column_type (query.statement, 1) != SQLITE_NULL)
        {
            const auto m = sqlite3_column_int (query.statement, 1);
            mMin = std::min (mMin, m);
            mMax = std::max (mMax, m);
        }
        if (sqlite3_column_type (query.statement, 2) != SQLITE_NULL)
        {
            const auto st = sqlite3_column_int (query.statement, 2);
            sMin = std::min (sMin, st);
            sMax = std::max (sMax, st);
        }
    }
    emit();
    return status == SQLITE_DONE ? juce::Result::ok() : juce::Result::fail (lastError());
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

void LogDatabase::inputOf (std::int64_t fromMs, std::int64_t toMs, int& channels, double& sampleRate)
{
    channels = 0;
    sampleRate = 0.0;
    Statement query (db, "SELECT MAX(channels), MAX(sample_rate) FROM sessions WHERE"
                         " (started_ms > ?1 AND started_ms <= ?2) OR id = (SELECT id FROM sessions"
                         " WHERE started_ms <= ?1 ORDER BY started_ms DESC, id DESC LIMIT 1)");
    if (query.statement == nullptr)
        return;
    sqlite3_bind_int64 (query.statement, 1, fromMs);
    sqlite3_bind_int64 (query.statement, 2, toMs);
    if (sqlite3_step (query.statement) == SQLITE_ROW)
    {
        channels = sqlite3_column_int (query.statement, 0);
        sampleRate = sqlite3_column_double (query.statement, 1);
    }
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
