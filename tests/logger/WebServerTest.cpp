#include "LogDatabase.h"
#include "WebServer.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <map>
#include <httplib.h>
#include <sqlite3.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
const char* const token = "s3cret-token-0123456789";

struct WebCase
{
    const char* name;
    std::string path;
    httplib::Headers headers;
    bool withToken; // the server needs the token
    int status;
    const char* error; // part of the JSON error, or null for a good answer
};

void PrintTo (const WebCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string bearer (const std::string& t)
{
    return "Bearer " + t;
}

// Holds plain TCP connections open without a request, as slow or hostile clients do.
struct IdleConnections
{
    IdleConnections (int port, int count)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons ((uint16_t)port);
        address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
        for (int i = 0; i < count; ++i)
        {
            const auto fd = ::socket (AF_INET, SOCK_STREAM, 0);
            if (fd >= 0 && ::connect (fd, reinterpret_cast<sockaddr*> (&address), sizeof (address)) == 0)
                fds.push_back (fd);
            else if (fd >= 0)
                ::close (fd);
        }
    }
    ~IdleConnections()
    {
        for (const auto fd : fds)
            ::close (fd);
    }
    std::vector<int> fds;
};

class WebRequests : public testing::TestWithParam<WebCase>
{
};

// Every bad request gets 400 (401 without the right token) with a short JSON error, never a
// 500 or a crash; good ones get 200. Every answer carries the security headers.
TEST_P (WebRequests, AnswerAsDocumented)
{
    const auto& c = GetParam();
    TemporaryFolder folder;
    {
        LogDatabase db;
        ASSERT_TRUE (db.open (folder["a.sqlite"], false).wasOk());
        db.beginSession (1'773'000'000'000, "test", 2, 48000.0, SpeakerLayout::surround51);
        std::vector<StepRecord> steps (600);
        for (size_t i = 0; i < steps.size(); ++i)
        {
            steps[i].timeMs = 1'773'000'000'000 + 100 * (std::int64_t) (i + 1);
            steps[i].momentary = steps[i].shortTerm = -23.0f - (float)(i % 10);
            steps[i].numChannels = 2;
        }
        ASSERT_TRUE (db.write (steps, {}).wasOk());
    }

    WebServer::Settings settings;
    settings.name = "a";
    settings.database = folder["a.sqlite"];
    if (c.withToken)
        settings.token = token;
    LiveFeed feed;
    WebServer server (settings, &feed);
    ASSERT_TRUE (server.start().wasOk());

    // Room for the one request under test only: the server is full.
    std::unique_ptr<IdleConnections> idle;
    if (c.status == 400 && juce::String (c.error) == "too many connections")
        idle = std::make_unique<IdleConnections> (server.port(), settings.maxConnections);

    httplib::Client client ("127.0.0.1", server.port());
    client.set_read_timeout (20);
    const auto result = client.Get (c.path, c.headers);
    ASSERT_TRUE (result) << httplib::to_string (result.error());
    EXPECT_EQ (result->status, c.status) << result->body;
    EXPECT_EQ (result->get_header_value ("X-Content-Type-Options"), "nosniff");
    const auto csp = result->get_header_value ("Content-Security-Policy");
    EXPECT_NE (csp.find ("script-src 'self'"), std::string::npos);
    EXPECT_EQ (csp.find ("unsafe-inline"), std::string::npos);

    if (c.error != nullptr)
    {
        EXPECT_EQ (result->get_header_value ("Content-Type"), "application/json");
        const auto body = juce::JSON::parse (juce::String (result->body));
        EXPECT_TRUE (body["error"].toString().contains (c.error)) << result->body;
        EXPECT_LT (result->body.size(), 200u);
    }
    idle.reset();
    server.stop();
}

const std::string range = "from=2026-03-08T20:00:00Z&to=2026-03-08T20:01:00Z";

INSTANTIATE_TEST_SUITE_P (
    Web, WebRequests,
    testing::Values (
        WebCase{"steps", "/api/steps?" + range + "&points=100", {}, false, 200, nullptr},
        WebCase{"page", "/", {}, false, 200, nullptr},
        WebCase{"malformedTime", "/api/steps?from=yesterday&to=2026-03-08T20:00Z", {}, false, 400, "from"},
        WebCase{"impossibleDate",
                "/api/events?from=2026-02-30T00:00Z&to=2026-03-08T20:00Z",
                {},
                false,
                400,
                "ISO 8601"},
        WebCase{
            "reversed", "/api/report?from=2026-03-08T21:00Z&to=2026-03-08T20:00Z", {}, false, 400, "after"},
        WebCase{"over31Days",
                "/api/steps?from=2026-01-01T00:00Z&to=2026-02-01T00:00:01Z",
                {},
                false,
                400,
                "31 days"},
        WebCase{"unknownParameter", "/api/events?" + range + "&limit=5", {}, false, 400, "unknown parameter"},
        WebCase{"repeatedParameter", "/api/steps?" + range + "&points=5&points=6", {}, false, 400, "twice"},
        WebCase{"badPoints", "/api/steps?" + range + "&points=-1", {}, false, 400, "points"},
        WebCase{"badFormat", "/api/report?" + range + "&format=xml", {}, false, 400, "format"},
        WebCase{"badTarget", "/api/report?" + range + "&target=loud", {}, false, 400, "target"},
        WebCase{"unknownChannel", "/api/steps?" + range + "&channel=other", {}, false, 400, "channel"},
        WebCase{"traversal", "/../../etc/passwd", {}, false, 400, "path"},
        WebCase{"encodedTraversal", "/%2e%2e/%2e%2e/etc/passwd", {}, false, 400, "path"},
        WebCase{"backslashTraversal", "/..%5c..%5cetc%5cpasswd", {}, false, 400, "path"},
        WebCase{"requestLineOver8kB", "/api/steps?from=" + std::string (9000, '1'), {}, false, 400, "8 kB"},
        WebCase{"tooManyConnections", "/api/channels", {}, false, 400, "too many connections"},
        WebCase{"noToken", "/api/channels", {}, true, 401, "token"},
        WebCase{"wrongToken",
                "/api/channels",
                {{"Authorization", bearer ("s3cret-token-0123456780")}},
                true,
                401,
                "token"},
        WebCase{"tokenPrefix", "/api/channels", {{"Authorization", bearer ("s3cret")}}, true, 401, "token"},
        WebCase{"tokenLonger",
                "/api/channels",
                {{"Authorization", bearer (std::string (token) + "x")}},
                true,
                401,
                "token"},
        WebCase{"bearer", "/api/channels", {{"Authorization", bearer (token)}}, true, 200, nullptr},
        WebCase{"cookie",
                "/api/channels",
                {{"Cookie", std::string ("x=1; tarn51_token=") + token}},
                true,
                200,
                nullptr},
        WebCase{"wrongCookie", "/api/channels", {{"Cookie", "tarn51_token=nope"}}, true, 401, "token"}),
    [] (const testing::TestParamInfo<WebCase>& param) { return std::string (param.param.name); });

struct FeedCase
{
    int published;
    std::uint64_t read;
    LiveFeed::Read expected;
};

class LiveFeedReads : public testing::TestWithParam<FeedCase>
{
};

// A reader gets every step the ring still holds, intact and in order; a step not yet published
// or already overwritten is reported as such, never handed out torn or as another step.
TEST_P (LiveFeedReads, HeldStepsOnly)
{
    const auto& c = GetParam();
    auto feed = std::make_unique<LiveFeed>();
    for (int i = 0; i < c.published; ++i)
    {
        StepRecord step;
        step.timeMs = 1000 + i;
        step.momentary = (float)-i;
        step.numChannels = 2;
        step.truePeak[1] = (float)i;
        feed->publish (step);
    }
    StepRecord out;
    ASSERT_EQ (feed->read (c.read, out), c.expected);
    if (c.expected == LiveFeed::Read::ok)
    {
        EXPECT_EQ (out.timeMs, 1000 + (std::int64_t)c.read);
        EXPECT_EQ (out.momentary, -(float)c.read);
        EXPECT_EQ (out.truePeak[1], (float)c.read);
        EXPECT_EQ (out.numChannels, 2);
    }
}

constexpr int ring = LiveFeed::capacity;
INSTANTIATE_TEST_SUITE_P (Web, LiveFeedReads,
                          testing::Values (FeedCase{0, 0, LiveFeed::Read::notYet},
                                           FeedCase{3, 0, LiveFeed::Read::ok},
                                           FeedCase{3, 2, LiveFeed::Read::ok},
                                           FeedCase{3, 3, LiveFeed::Read::notYet},
                                           FeedCase{ring, 0, LiveFeed::Read::ok},
                                           FeedCase{ring + 1, 0, LiveFeed::Read::overwritten},
                                           FeedCase{ring + 1, 1, LiveFeed::Read::ok},
                                           FeedCase{3 * ring + 5, 2 * ring + 4, LiveFeed::Read::overwritten},
                                           FeedCase{3 * ring + 5, 3 * ring + 4, LiveFeed::Read::ok}));

// How the steps got into the database: written in batches as the logger does; written, then
// retried with other values (ignored) and pruned inside a block; or written by the first schema
// version (no rollup) or the second (sessions without their arrangement) and brought up to date
// on opening.
enum class Stored
{
    written,
    retriedAndPruned,
    migrated,
    migratedFromVersion2
};

struct ColumnCase
{
    std::int64_t fromOffsetMs, toOffsetMs;
    std::int64_t columnMs; // columns starting at from; 0: as LogDatabase::columnsFor lays out points
    int points;
    Stored stored;
};

void PrintTo (const ColumnCase& c, std::ostream* os)
{
    *os << c.fromOffsetMs << ".." << c.toOffsetMs << " by " << c.columnMs << " / " << c.points << " points, "
        << (int)c.stored;
}

class HistoryColumns : public testing::TestWithParam<ColumnCase>
{
};

// Each column holds exactly the steps that end within it (after its start, by its end): its
// least and greatest values are those of a plain pass over the stored steps, whether the
// columns are read from the steps or, on the block grid, from the rollup plus the cut ends.
TEST_P (HistoryColumns, MinAndMaxOfTheirSteps)
{
    const auto& c = GetParam();
    TemporaryFolder folder;
    const auto file = folder["h.sqlite"];
    // Off the block grid, so that blocks at both ends are partly filled.
    constexpr std::int64_t start = 1'773'000'003'700;
    {
        LogDatabase db;
        ASSERT_TRUE (db.open (file, false).wasOk());
        ASSERT_GT (db.beginSession (start, "test", 12, 48000.0, SpeakerLayout::surround714), 0);
        std::vector<StepRecord> steps (2997);
        for (size_t i = 0; i < steps.size(); ++i)
        {
            steps[i].timeMs = start + 100 * (std::int64_t) (i + 1);
            steps[i].momentary = -20.0f - (float)((i * 37) % 50) - 0.01f * (float)i;
            steps[i].shortTerm = i % 7 == 0 || (i / 100) % 9 == 4 ? NAN : -20.0f - (float)((i * 13) % 30);
        }
        for (size_t i = 0; i < steps.size(); i += 10)
            ASSERT_TRUE (
                db.write ({steps.begin() + (long)i, steps.begin() + (long)std::min (i + 10, steps.size())},
                          {})
                    .wasOk());
        if (c.stored == Stored::retriedAndPruned)
        {
            for (auto& s : steps)
                s.momentary = s.shortTerm = 10.0f;
            ASSERT_TRUE (db.write ({steps.begin() + 200, steps.begin() + 400}, {}).wasOk());
            ASSERT_EQ (db.deleteBefore (start + 15'050), 150);
        }
    }
    const auto migrated = c.stored == Stored::migrated || c.stored == Stored::migratedFromVersion2;
    const auto sql = [&file] (const char* statements, int* value)
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ (sqlite3_open (file.getFullPathName().toRawUTF8(), &raw), SQLITE_OK);
        const auto take = [] (void* into, int, char** values, char**)
        {
            *(int*)into = values[0] != nullptr ? std::atoi (values[0]) : -1;
            return 0;
        };
        EXPECT_EQ (sqlite3_exec (raw, statements, take, value, nullptr), SQLITE_OK) << statements;
        sqlite3_close (raw);
    };
    // The older versions' sessions had no layout column.
    if (migrated)
        sql (c.stored == Stored::migrated
                 ? "ALTER TABLE sessions DROP COLUMN layout; DROP TABLE step_blocks; PRAGMA user_version = 1;"
                 : "ALTER TABLE sessions DROP COLUMN layout; PRAGMA user_version = 2;",
             nullptr);
    LogDatabase db;
    ASSERT_TRUE (db.open (file, false).wasOk());
    if (migrated)
    {
        // Brought up to the current version, its session read as 5.1, every step kept.
        int version = 0, layoutColumn = 0, stored = 0;
        sql ("PRAGMA user_version", &version);
        sql ("SELECT COUNT(*) FROM pragma_table_info('sessions') WHERE name = 'layout'", &layoutColumn);
        sql ("SELECT COUNT(*) FROM steps", &stored);
        EXPECT_EQ (version, LogDatabase::schemaVersion);
        EXPECT_EQ (layoutColumn, 1);
        EXPECT_EQ (stored, 2997);
        EXPECT_EQ (db.inputOf (start, start + 1000).layout, SpeakerLayout::surround51);
        EXPECT_EQ (db.inputOf (start, start + 1000).channels, 12);
    }

    const auto from = start + c.fromOffsetMs, to = start + c.toOffsetMs;
    const auto layout = c.columnMs > 0 ? LogDatabase::ColumnLayout{from, c.columnMs}
                                       : LogDatabase::columnsFor (from, to, c.points);
    std::map<std::int64_t, LogDatabase::Column> expected;
    ASSERT_TRUE (db.readSteps (from, to,
                               [&] (const StepRecord& s)
                               {
                                   auto& e = expected[(s.timeMs - layout.originMs - 1) / layout.columnMs];
                                   e.momentaryMin = std::fmin (e.momentaryMin, s.momentary);
                                   e.momentaryMax = std::fmax (e.momentaryMax, s.momentary);
                                   e.shortTermMin = std::fmin (e.shortTermMin, s.shortTerm);
                                   e.shortTermMax = std::fmax (e.shortTermMax, s.shortTerm);
                               })
                     .wasOk());

    std::vector<LogDatabase::Column> got;
    ASSERT_TRUE (db.readColumns (from, to, layout.originMs, layout.columnMs,
                                 [&got] (const LogDatabase::Column& col) { got.push_back (col); })
                     .wasOk());
    ASSERT_EQ (got.size(), expected.size());
    if (c.columnMs == 0)
    {
        EXPECT_LE ((to - layout.originMs + layout.columnMs - 1) / layout.columnMs, c.points);
    }
    for (const auto& g : got)
    {
        ASSERT_EQ (expected.count (g.index), 1u) << g.index;
        EXPECT_EQ (g.startMs, std::max (from, layout.originMs + g.index * layout.columnMs));
        const auto& e = expected[g.index];
        const auto same = [] (float a, float b) { return std::isnan (a) ? std::isnan (b) : a == b; };
        EXPECT_TRUE (same (g.momentaryMin, e.momentaryMin)) << g.index;
        EXPECT_TRUE (same (g.momentaryMax, e.momentaryMax)) << g.index;
        EXPECT_TRUE (same (g.shortTermMin, e.shortTermMin)) << g.index << " " << g.shortTermMin;
        EXPECT_TRUE (same (g.shortTermMax, e.shortTermMax)) << g.index << " " << g.shortTermMax;
    }
}

INSTANTIATE_TEST_SUITE_P (Web, HistoryColumns,
                          testing::Values (ColumnCase{0, 99'700, 100, 0, Stored::written},
                                           ColumnCase{0, 99'700, 1000, 0, Stored::written},
                                           ColumnCase{50, 60'050, 700, 0, Stored::written},
                                           ColumnCase{-5'000, 200'000, 33'333, 0, Stored::written},
                                           ColumnCase{1'000, 1'100, 100, 0, Stored::written},
                                           ColumnCase{3'000, 250'050, 0, 10, Stored::written},
                                           ColumnCase{-5'000, 400'000, 0, 7, Stored::written},
                                           ColumnCase{6'300, 296'300, 0, 29, Stored::written},
                                           ColumnCase{12'345, 287'655, 0, 3, Stored::migrated},
                                           ColumnCase{-5'000, 400'000, 0, 12, Stored::migrated},
                                           ColumnCase{-5'000, 400'000, 0, 12, Stored::migratedFromVersion2},
                                           ColumnCase{3'000, 250'050, 0, 10, Stored::retriedAndPruned},
                                           ColumnCase{-5'000, 400'000, 0, 12, Stored::retriedAndPruned}));
} // namespace
