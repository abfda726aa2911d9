#include "WebServer.h"

#include "LogDatabase.h"
#include "LogTime.h"
#include "ReportOutput.h"
#include "WebAssets.h"
#include "WebQuery.h"

#include "DeliveryTarget.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

namespace
{
const char* const cookieName = "tarn51_token";

// One decimal, as every other reading the logger prints; null for none.
void appendLevel (std::string& out, double value)
{
    if (!std::isfinite (value))
    {
        out += "null";
        return;
    }
    char text[32];
    std::snprintf (text, sizeof (text), "%.1f", std::round (value * 10.0) / 10.0 + 0.0);
    out += text;
}

void appendString (std::string& out, const juce::String& text)
{
    out += juce::JSON::toString (juce::var (text), true).toStdString();
}

// The names of an arrangement's first channels, as a JSON array.
void appendLabels (std::string& out, const SpeakerLayout& layout, int count)
{
    out += "[";
    for (int c = 0; c < count; ++c)
    {
        if (c > 0)
            out += ",";
        appendString (out, layout.speakers[c].label);
    }
    out += "]";
}

std::string errorJson (const juce::String& message)
{
    std::string out = "{\"error\":";
    appendString (out, message);
    return out + "}\n";
}

void fail (httplib::Response& res, int status, const juce::String& message)
{
    res.status = status;
    res.set_content (errorJson (message), "application/json");
}

// Takes a connection's slot for as long as the connection is open, queued ones included, so
// that the routing can refuse the ones over the limit.
class CountingQueue : public httplib::TaskQueue
{
public:
    CountingQueue (std::size_t threads, std::atomic<int>& open) : pool (threads), connections (open) {}

    void enqueue (std::function<void()> fn) override
    {
        ++connections;
        pool.enqueue (
            [this, fn = std::move (fn)]
            {
                fn();
                --connections;
            });
    }

    void shutdown() override { pool.shutdown(); }

private:
    httplib::ThreadPool pool;
    std::atomic<int>& connections;
};

// httplib listens with a backlog of 5: a burst of clients (a control room's screens opening
// at once) would wait for SYN retransmits. Listening again on the bound socket raises it.
class Server : public httplib::Server
{
public:
    void raiseBacklog (int backlog) { ::listen (svr_sock_, backlog); }
};

struct Channel
{
    juce::String name;
    juce::File file;
    bool live = false;
};

// "ok", "lost" or "silent": lost while the input is away, silent below the absolute gate.
const char* stateOf (const StepRecord& step, LiveFeed::State state)
{
    if (state == LiveFeed::State::lost)
        return "lost";
    const bool silent =
        std::isfinite (step.momentary) ? step.momentary < -70.0f : !(step.maxTruePeak() > -INFINITY);
    return silent ? "silent" : "ok";
}

std::string stepEvent (std::uint64_t sequence, const StepRecord& step, LiveFeed::State state)
{
    std::string out = "id: " + std::to_string (sequence) + "\nevent: step\ndata: {\"seq\":";
    out += std::to_string (sequence);
    out += ",\"time\":\"" + LogTime::iso (step.timeMs).toStdString() + "\",\"momentary\":";
    appendLevel (out, step.momentary);
    out += ",\"shortTerm\":";
    appendLevel (out, step.shortTerm);
    out += ",\"truePeak\":[";
    for (int c = 0; c < step.numChannels; ++c)
    {
        if (c > 0)
            out += ",";
        appendLevel (out, step.truePeak[c]);
    }
    // The name of each peak's channel, so that the page need not know the arrangements.
    out += "],\"channels\":";
    appendLabels (out, SpeakerLayout::get (step.layout), step.numChannels);
    out += ",\"state\":\"";
    out += stateOf (step, state);
    return out + "\"}\n\n";
}
} // namespace

struct WebServer::Impl
{
    Settings settings;
    const LiveFeed* feed;
    std::vector<Channel> channels;
    Server server;
    std::thread thread;
    std::atomic<int> connections{0};
    std::atomic<bool> stopping{false};
    int boundPort = 0;

    Impl (const Settings& s, const LiveFeed* f) : settings (s), feed (f)
    {
        channels.push_back ({s.name.isNotEmpty() ? s.name : s.database.getFileNameWithoutExtension(),
                             s.database, f != nullptr});
        for (const auto& other : s.others)
        {
            auto name = other.getFileNameWithoutExtension();
            for (int n = 2; std::any_of (channels.begin(), channels.end(),
                                         [&name] (const Channel& c) { return c.name == name; });
                 ++n)
                name = other.getFileNameWithoutExtension() + "-" + juce::String (n);
            channels.push_back ({name, other, false});
        }

        const auto threads = (std::size_t)settings.maxConnections + 8;
        server.new_task_queue = [this, threads] { return new CountingQueue (threads, connections); };
        server.set_default_headers (
            {{"Content-Security-Policy", "default-src 'none'; script-src 'self'; style-src 'self'; "
                                         "img-src 'self' data:; connect-src 'self'; form-action 'self'; "
                                         "frame-ancestors 'none'; base-uri 'none'"},
             {"X-Content-Type-Options", "nosniff"},
             {"Referrer-Policy", "no-referrer"},
             {"X-Frame-Options", "DENY"},
             {"Cache-Control", "no-store"}});
        server.set_payload_max_length (16 * 1024);
        server.set_keep_alive_timeout (5);
        server.set_read_timeout (10);
        server.set_write_timeout (5);

        server.set_pre_routing_handler ([this] (const httplib::Request& req, httplib::Response& res)
                                        { return admit (req, res); });
        server.set_error_handler (
            [] (const httplib::Request&, httplib::Response& res)
            {
                // httplib answers an overlong request line with 414 and no body.
                if (res.status == 414 || res.status == 413)
                    fail (res, 400, res.status == 414 ? "request line over 8 kB" : "request too large");
                else if (res.body.empty())
                    fail (res, res.status == 404 ? 404 : 400,
                          res.status == 404 ? "not found" : "bad request");
            });
        server.set_exception_handler ([] (const httplib::Request&, httplib::Response& res, std::exception_ptr)
                                      { fail (res, 400, "cannot answer this request"); });

        for (const char* path : {"/", "/login", "/app.js", "/style.css", "/chart.min.js"})
            server.Get (path,
                        [] (const httplib::Request& req, httplib::Response& res)
                        {
                            const auto* asset = WebAssets::find (req.path);
                            if (asset == nullptr)
                            {
                                fail (res, 404, "not found");
                                return;
                            }
                            res.set_content (reinterpret_cast<const char*> (asset->data), asset->size,
                                             asset->contentType);
                        });
        server.Post ("/login",
                     [this] (const httplib::Request& req, httplib::Response& res) { login (req, res); });
        server.Get ("/api/channels", [this] (const httplib::Request& req, httplib::Response& res)
                    { listChannels (req, res); });
        server.Get ("/api/live",
                    [this] (const httplib::Request& req, httplib::Response& res) { live (req, res); });
        server.Get ("/api/steps",
                    [this] (const httplib::Request& req, httplib::Response& res) { steps (req, res); });
        server.Get ("/api/events",
                    [this] (const httplib::Request& req, httplib::Response& res) { events (req, res); });
        server.Get ("/api/report",
                    [this] (const httplib::Request& req, httplib::Response& res) { report (req, res); });
    }

    httplib::Server::HandlerResponse admit (const httplib::Request& req, httplib::Response& res)
    {
        using R = httplib::Server::HandlerResponse;
        if (connections.load() > settings.maxConnections)
        {
            fail (res, 400, "too many connections");
            res.set_header ("Connection", "close");
            return R::Handled;
        }

        const auto& path = req.path;
        if (path.empty() || path[0] != '/' || path.find ("..") != std::string::npos ||
            path.find ('\\') != std::string::npos || path.find ("//") != std::string::npos ||
            path.find ('\0') != std::string::npos || path.find ('%') != std::string::npos)
        {
            fail (res, 400, "path not allowed");
            return R::Handled;
        }

        if (settings.token.empty() || path == "/login" || path == "/style.css")
            return R::Unhandled;

        std::string given;
        const auto authorization = req.get_header_value ("Authorization");
        if (authorization.rfind ("Bearer ", 0) == 0)
            given = authorization.substr (7);
        else
            given = cookieToken (req.get_header_value ("Cookie"));

        if (tokensMatch (given, settings.token))
            return R::Unhandled;

        if (path == "/" && req.method == "GET")
        {
            res.status = 303;
            res.set_header ("Location", "/login");
            return R::Handled;
        }
        fail (res, 401, given.empty() ? "a token is needed" : "wrong token");
        res.set_header ("WWW-Authenticate", "Bearer");
        return R::Handled;
    }

    static std::string cookieToken (const std::string& cookies)
    {
        const auto prefix = std::string (cookieName) + "=";
        for (size_t start = 0; start < cookies.size();)
        {
            auto end = cookies.find (';', start);
            if (end == std::string::npos)
                end = cookies.size();
            auto first = cookies.find_first_not_of (' ', start);
            if (first < end && cookies.compare (first, prefix.size(), prefix) == 0)
                return cookies.substr (first + prefix.size(), end - first - prefix.size());
            start = end + 1;
        }
        return {};
    }

    void login (const httplib::Request& req, httplib::Response& res)
    {
        const auto given = req.get_param_value ("token");
        if (settings.token.empty() || !tokensMatch (given, settings.token))
        {
            const auto* page = WebAssets::find ("/login");
            res.status = 401;
            res.set_content (reinterpret_cast<const char*> (page->data), page->size, page->contentType);
            return;
        }
        res.status = 303;
        res.set_header ("Set-Cookie", std::string (cookieName) + "=" + settings.token +
                                          "; Path=/; HttpOnly; SameSite=Strict");
        res.set_header ("Location", "/");
    }

    bool query (const httplib::Request& req, httplib::Response& res,
                std::initializer_list<const char*> allowed, WebQuery& q, const Channel*& channel)
    {
        if (const auto parsed = WebQuery::parse (req.params, allowed, q); parsed.failed())
        {
            fail (res, 400, parsed.getErrorMessage());
            return false;
        }
        channel = &channels.front();
        if (q.channel.isNotEmpty())
        {
            const auto found = std::find_if (channels.begin(), channels.end(),
                                             [&q] (const Channel& c) { return c.name == q.channel; });
            if (found == channels.end())
            {
                fail (res, 400, "unknown channel");
                return false;
            }
            channel = &*found;
        }
        return true;
    }

    static bool openDatabase (const Channel& channel, LogDatabase& db, httplib::Response& res)
    {
        if (db.open (channel.file, true).wasOk())
            return true;
        fail (res, 503, "the database cannot be read now");
        return false;
    }

    void listChannels (const httplib::Request& req, httplib::Response& res)
    {
        WebQuery q;
        const Channel* unused = nullptr;
        if (!query (req, res, {}, q, unused))
            return;

        // The page colours its readouts by the standard and the short-term threshold.
        const char* standards[] = {"ebu", "atsc", "arib"};
        std::string out = "{\"standard\":\"";
        out += standards[juce::jlimit (0, 2, settings.report.standard)];
        out += "\",\"shortTermThreshold\":";
        appendLevel (out, settings.report.shortTermThreshold);
        out += ",\"channels\":[";
        for (const auto& c : channels)
        {
            if (&c != &channels.front())
                out += ",";
            out += "{\"name\":";
            appendString (out, c.name);
            out += c.live ? ",\"live\":true" : ",\"live\":false";
            LogDatabase db;
            std::int64_t first = 0, last = 0;
            LogDatabase::Input input;
            if (db.open (c.file, true).wasOk() && db.stepTimes (first, last))
            {
                input = db.inputOf (first - 1, last);
                out += ",\"first\":\"" + LogTime::iso (first).toStdString() + "\",\"last\":\"" +
                       LogTime::iso (last).toStdString() + "\"";
            }
            else
                out += ",\"first\":null,\"last\":null";
            out += ",\"channels\":" + std::to_string (input.channels) +
                   ",\"sampleRate\":" + std::to_string ((long long)std::llround (input.sampleRate));
            // The arrangement of the stored peaks and its channels' names, in order.
            const auto& layout = SpeakerLayout::get (input.layout);
            out += ",\"layout\":";
            appendString (out, layout.name);
            out += ",\"speakers\":";
            appendLabels (out, layout, layout.numChannels);
            out += "}";
        }
        res.set_content (out + "]}\n", "application/json");
    }

    void live (const httplib::Request& req, httplib::Response& res)
    {
        WebQuery q;
        const Channel* channel = nullptr;
        if (!query (req, res, {"channel"}, q, channel))
            return;
        if (feed == nullptr || !channel->live)
        {
            fail (res, 400, "no live feed for this channel");
            return;
        }

        // A new client starts at the newest step; one that reconnects goes on after the last
        // step it had, while that is still held.
        const auto newest = feed->next();
        auto nextSequence = newest > 0 ? newest - 1 : 0;
        const auto lastId = req.get_header_value ("Last-Event-ID");
        if (!lastId.empty() && lastId.size() < 20 &&
            lastId.find_first_not_of ("0123456789") == std::string::npos)
        {
            const auto resume = std::stoull (lastId) + 1;
            if (resume <= newest && newest - resume < (std::uint64_t)LiveFeed::capacity / 2)
                nextSequence = resume;
        }

        res.set_header ("X-Accel-Buffering", "no");
        res.set_chunked_content_provider (
            "text/event-stream",
            [this, nextSequence, quiet = 0, first = true] (size_t, httplib::DataSink& sink) mutable
            {
                if (first)
                {
                    first = false;
                    const std::string hello = "retry: 1000\n\n";
                    if (!sink.write (hello.data(), hello.size()))
                        return false;
                }
                for (;;)
                {
                    if (stopping.load())
                        return false;

                    std::string out;
                    StepRecord step;
                    for (int n = 0; n < 50; ++n)
                    {
                        const auto read = feed->read (nextSequence, step);
                        if (read == LiveFeed::Read::notYet)
                            break;
                        if (read == LiveFeed::Read::overwritten)
                            return false; // too far behind: dropped, never waited for
                        out += stepEvent (nextSequence++, step, feed->state());
                    }

                    if (!out.empty())
                    {
                        quiet = 0;
                        return sink.write (out.data(), out.size());
                    }

                    // Without steps (the input lost) the state still goes out once a second,
                    // which also finds clients that have gone.
                    if (++quiet >= 50)
                    {
                        quiet = 0;
                        const std::string state = std::string ("event: state\ndata: {\"state\":\"") +
                                                  (feed->state() == LiveFeed::State::lost ? "lost" : "ok") +
                                                  "\"}\n\n";
                        return sink.write (state.data(), state.size());
                    }
                    std::this_thread::sleep_for (std::chrono::milliseconds (20));
                }
            });
    }

    void steps (const httplib::Request& req, httplib::Response& res)
    {
        WebQuery q;
        const Channel* channel = nullptr;
        if (!query (req, res, {"from", "to", "points", "channel"}, q, channel))
            return;
        LogDatabase db;
        if (!openDatabase (*channel, db, res))
            return;

        const auto layout = LogDatabase::columnsFor (q.fromMs, q.toMs, q.points);
        const auto columnMs = layout.columnMs;
        std::string times, stMin, stMax, mMin, mMax;
        const auto join = [] (std::string& column, double value)
        {
            if (!column.empty())
                column += ",";
            appendLevel (column, value);
        };
        const auto read = db.readColumns (q.fromMs, q.toMs, layout.originMs, columnMs,
                                          [&] (const LogDatabase::Column& c)
                                          {
                                              if (!times.empty())
                                                  times += ",";
                                              times += "\"" + LogTime::iso (c.startMs).toStdString() + "\"";
                                              join (stMin, c.shortTermMin);
                                              join (stMax, c.shortTermMax);
                                              join (mMin, c.momentaryMin);
                                              join (mMax, c.momentaryMax);
                                          });
        if (read.failed())
        {
            fail (res, 503, "the database cannot be read now");
            return;
        }

        std::string out = "{\"channel\":";
        appendString (out, channel->name);
        out += ",\"from\":\"" + LogTime::iso (q.fromMs).toStdString() + "\",\"to\":\"" +
               LogTime::iso (q.toMs).toStdString() + "\",\"columnMs\":" + std::to_string (columnMs);
        out += ",\"time\":[" + times + "],\"shortTermMin\":[" + stMin + "],\"shortTermMax\":[" + stMax +
               "],\"momentaryMin\":[" + mMin + "],\"momentaryMax\":[" + mMax + "]}\n";
        res.set_content (out, "application/json");
    }

    void events (const httplib::Request& req, httplib::Response& res)
    {
        WebQuery q;
        const Channel* channel = nullptr;
        if (!query (req, res, {"from", "to", "channel"}, q, channel))
            return;
        LogDatabase db;
        if (!openDatabase (*channel, db, res))
            return;

        // A range of lost input can hold many; the page needs the first thousands only.
        constexpr size_t maxEvents = 10000;
        const auto found = db.readEvents (q.fromMs, q.toMs);
        std::string out = "{\"channel\":";
        appendString (out, channel->name);
        out += ",\"truncated\":";
        out += found.size() > maxEvents ? "true" : "false";
        out += ",\"events\":[";
        for (size_t i = 0; i < juce::jmin (maxEvents, found.size()); ++i)
        {
            out += i > 0 ? ",{\"time\":\"" : "{\"time\":\"";
            out += LogTime::iso (found[i].timeMs).toStdString() + "\",\"kind\":";
            appendString (out, found[i].kind);
            out += ",\"detail\":";
            appendString (out, found[i].detail);
            out += "}";
        }
        res.set_content (out + "]}\n", "application/json");
    }

    void report (const httplib::Request& req, httplib::Response& res)
    {
        WebQuery q;
        const Channel* channel = nullptr;
        if (!query (req, res, {"from", "to", "target", "format", "channel", "download"}, q, channel))
            return;

        auto s = settings.report;
        if (q.target == "none")
            s.target.reset();
        else if (q.target.isNotEmpty())
        {
            DeliveryTarget::Request request;
            request.name = q.target;
            DeliveryTarget target;
            if (DeliveryTarget::fromRequest (request, target).failed())
            {
                fail (res, 400, "unknown target");
                return;
            }
            s.target = target;
        }

        LogDatabase db;
        if (!openDatabase (*channel, db, res))
            return;
        RangeReport::Result result;
        if (RangeReport::compute (db, q.fromMs, q.toMs, s, result).failed())
        {
            fail (res, 503, "the database cannot be read now");
            return;
        }

        juce::String body;
        const char* type = "application/json";
        if (q.format == "csv")
        {
            body = ReportOutput::csvHeader (s.target.has_value(), result.layout) +
                   ReportOutput::csvRow ("range", result, s, result.layout);
            type = "text/csv; charset=utf-8";
        }
        else if (q.format == "txt")
        {
            body = ReportOutput::text (result, s);
            type = "text/plain; charset=utf-8";
        }
        else
            body = ReportOutput::json (result, s);

        if (q.download)
        {
            // The channel's name is the user's: only plain characters go into the header.
            auto base = channel->name.retainCharacters (
                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_");
            if (base.isEmpty())
                base = "channel";
            res.set_header ("Content-Disposition",
                            ("attachment; filename=\"" + base + "-report." + q.format + "\"").toStdString());
        }
        res.set_content (body.toStdString(), type);
    }
};

WebServer::WebServer (const Settings& settings, const LiveFeed* feed)
    : impl (std::make_unique<Impl> (settings, feed))
{
}

WebServer::~WebServer()
{
    stop();
}

juce::Result WebServer::start()
{
    auto& s = impl->settings;
    auto host = s.address.toStdString();
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr (1, host.size() - 2);
    if (s.port == 0)
        impl->boundPort = impl->server.bind_to_any_port (host);
    else if (impl->server.bind_to_port (host, s.port))
        impl->boundPort = s.port;
    if (impl->boundPort <= 0)
        return juce::Result::fail ("cannot listen on " + s.address + ":" + juce::String (s.port));

    impl->server.raiseBacklog (s.maxConnections + 64);
    impl->thread = std::thread ([this] { impl->server.listen_after_bind(); });
    return juce::Result::ok();
}

int WebServer::port() const noexcept
{
    return impl->boundPort;
}

void WebServer::stop()
{
    if (!impl->thread.joinable())
        return;
    impl->stopping.store (true);
    impl->server.stop();
    impl->thread.join();
}

bool WebServer::isLoopback (const juce::String& address)
{
    const auto host = address.trimCharactersAtStart ("[").trimCharactersAtEnd ("]");
    if (host == "localhost" || host == "::1")
        return true;
    juce::StringArray parts;
    parts.addTokens (host, ".", {});
    if (parts.size() != 4 || parts[0] != "127")
        return false;
    for (const auto& p : parts)
        if (p.isEmpty() || !p.containsOnly ("0123456789") || p.length() > 3 || p.getIntValue() > 255)
            return false;
    return true;
}

bool WebServer::tokensMatch (const std::string& given, const std::string& expected) noexcept
{
    // Every byte of the expected token is compared, whatever the given one holds.
    volatile unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (size_t i = 0; i < expected.size(); ++i)
        difference = difference | (unsigned char)(expected[i] ^ (i < given.size() ? given[i] : 0));
    return difference == 0 && !expected.empty();
}
