#include "LoggerOptions.h"

#include "LogTime.h"
#include "WebServer.h"

#include "InputLayout.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>

namespace
{
bool number (const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod (text.c_str(), &end);
    return !text.empty() && end != text.c_str() && *end == 0 && std::isfinite (value);
}

juce::Result checkNumber (const char* option, const std::string& text, double minimum, double maximum,
                          double& value)
{
    if (!number (text, value) || value < minimum || value > maximum)
        return juce::Result::fail (juce::String (option) + " needs a number from " + juce::String (minimum) +
                                   " to " + juce::String (maximum) + ", not \"" + juce::String (text) + "\"");
    return juce::Result::ok();
}

struct Texts
{
    std::string file, url, alsa, start, keepDays, silence, loud, maxTruePeak,
        standard = "ebu", gating = "on", layout = "auto", block, from, to, target, targetLoudness, tolerance,
        maxShortTerm, name, db, momentaryThreshold, shortTermThreshold, channels, rate, http, tokenFile;
    std::vector<std::string> connect, alsoDb;
    bool jack = false, realtime = false, json = false, csv = false, daily = false, help = false;
};

void declare (CLI::App& app, Texts& t, bool report)
{
    app.set_help_flag();
    app.allow_extras (false);
    app.add_flag ("-h,--help", t.help);
    app.add_option ("--name", t.name);
    app.add_option ("--db", t.db);
    app.add_option ("--standard", t.standard);
    app.add_option ("--gating", t.gating);
    app.add_option ("--target", t.target);
    app.add_option ("--target-loudness", t.targetLoudness);
    app.add_option ("--tolerance", t.tolerance);
    app.add_option ("--max-short-term", t.maxShortTerm);
    app.add_option ("--max-true-peak", t.maxTruePeak);

    if (report)
    {
        app.add_option ("--from", t.from);
        app.add_option ("--to", t.to);
        app.add_flag ("--json", t.json);
        app.add_flag ("--csv", t.csv);
        app.add_flag ("--daily", t.daily);
        app.add_option ("--ml-threshold", t.momentaryThreshold);
        app.add_option ("--st-threshold", t.shortTermThreshold);
        return;
    }

    app.add_option ("--file", t.file);
    app.add_option ("--url", t.url);
    app.add_option ("--alsa", t.alsa);
    app.add_flag ("--jack", t.jack);
    app.add_option ("--connect", t.connect)->expected (1, 64);
    app.add_flag ("--realtime", t.realtime);
    app.add_option ("--channels", t.channels);
    app.add_option ("--rate", t.rate);
    app.add_option ("--start", t.start);
    app.add_option ("--keep-days", t.keepDays);
    app.add_option ("--silence-seconds", t.silence);
    app.add_option ("--loud-seconds", t.loud);
    app.add_option ("--layout", t.layout);
    app.add_option ("--block", t.block);
    app.add_option ("--http", t.http);
    app.add_option ("--http-token-file", t.tokenFile);
    app.add_option ("--also-db", t.alsoDb)->expected (1, 64);
}

// ADDRESS:PORT, the address an IPv4 one, a name, or an IPv6 one in brackets.
juce::Result parseHttp (const std::string& text, LoggerOptions& o)
{
    const auto whole = juce::String (text);
    const auto colon = whole.lastIndexOfChar (':');
    const auto address = whole.substring (0, colon);
    const auto port = whole.substring (colon + 1);
    const bool bracketed = address.startsWith ("[") && address.endsWith ("]");
    if (colon <= 0 || port.isEmpty() || !port.containsOnly ("0123456789") || port.length() > 5 ||
        port.getIntValue() > 65535 || (address.contains (":") && !bracketed) ||
        address.containsAnyOf (" /?#@"))
        return juce::Result::fail ("--http needs ADDRESS:PORT (127.0.0.1:8080, [::1]:8080), not \"" + whole +
                                   "\"");
    o.httpAddress = address;
    o.httpPort = port.getIntValue();
    return juce::Result::ok();
}

juce::Result interpret (const Texts& t, bool report, LoggerOptions& o)
{
    double value = 0.0;
    DeliveryTarget::Request request;
    request.name = t.target;
    if (request.name.isNotEmpty() && !DeliveryTarget::isName (request.name))
        return juce::Result::fail ("--target must be one of " + DeliveryTarget::namesText());

    const struct
    {
        const char* option;
        const std::string& text;
        double minimum, maximum;
        std::optional<double>& into;
    } limits[] = {{"--target-loudness", t.targetLoudness, -60.0, 0.0, request.loudness},
                  {"--tolerance", t.tolerance, 0.0, 20.0, request.tolerance},
                  {"--max-short-term", t.maxShortTerm, -60.0, 0.0, request.maxShortTerm},
                  {"--max-true-peak", t.maxTruePeak, -60.0, 20.0, request.maxTruePeak}};
    for (const auto& l : limits)
        if (!l.text.empty())
        {
            if (const auto checked = checkNumber (l.option, l.text, l.minimum, l.maximum, value);
                checked.failed())
                return checked;
            l.into = value;
        }

    if (!request.isEmpty())
    {
        DeliveryTarget target;
        if (const auto made = DeliveryTarget::fromRequest (request, target); made.failed())
            return made;
        o.target = target;
    }
    o.maxTruePeak = request.maxTruePeak;

    const juce::StringArray standards{"ebu", "atsc", "arib"};
    o.meter.standard = standards.indexOf (juce::String (t.standard));
    if (o.meter.standard < 0)
        return juce::Result::fail ("--standard must be one of ebu|atsc|arib");
    if (t.gating != "on" && t.gating != "off")
        return juce::Result::fail ("--gating must be on or off");
    o.meter.gating = t.gating == "on";

    o.name = t.name;
    o.dbPath = t.db;
    if (o.name.containsAnyOf ("/\\") || o.name.startsWith ("."))
        return juce::Result::fail ("--name must be a plain name, not \"" + o.name + "\"");
    if (o.name.isEmpty() && o.dbPath.isEmpty())
        return juce::Result::fail ("name the database: --db PATH or --name NAME");

    if (report)
    {
        o.json = t.json;
        o.csv = t.csv;
        o.daily = t.daily;
        if (o.json && o.csv)
            return juce::Result::fail ("--json and --csv exclude each other");

        // The hit thresholds' own range, as tarn51-measure takes them.
        const struct
        {
            const char* option;
            const std::string& text;
            std::optional<float>& into;
        } thresholds[] = {{"--ml-threshold", t.momentaryThreshold, o.meter.momentaryThreshold},
                          {"--st-threshold", t.shortTermThreshold, o.meter.shortTermThreshold}};
        for (const auto& threshold : thresholds)
            if (!threshold.text.empty())
            {
                if (const auto checked = checkNumber (threshold.option, threshold.text, -30.0, -10.0, value);
                    checked.failed())
                    return checked;
                threshold.into = (float)value;
            }

        if (t.from.empty())
            return juce::Result::fail ("--from TIME is needed");
        if (!LogTime::parse (t.from, o.fromMs))
            return juce::Result::fail ("--from needs an ISO 8601 or local time, not \"" +
                                       juce::String (t.from) + "\"");
        if (t.to.empty() && o.daily)
            o.toMs = o.fromMs + 24 * 60 * 60 * 1000;
        else if (t.to.empty())
            return juce::Result::fail ("--to TIME is needed");
        else if (!LogTime::parse (t.to, o.toMs))
            return juce::Result::fail ("--to needs an ISO 8601 or local time, not \"" + juce::String (t.to) +
                                       "\"");
        if (o.toMs <= o.fromMs)
            return juce::Result::fail ("--to must come after --from");
        return juce::Result::ok();
    }

    const int inputs =
        (t.file.empty() ? 0 : 1) + (t.url.empty() ? 0 : 1) + (t.alsa.empty() ? 0 : 1) + (t.jack ? 1 : 0);
    if (inputs != 1)
        return juce::Result::fail ("name one input: --file FILE, --url URL, --alsa DEVICE or --jack");

    o.input = !t.file.empty()  ? LoggerOptions::Input::file
              : !t.url.empty() ? LoggerOptions::Input::url
              : t.jack         ? LoggerOptions::Input::jack
                               : LoggerOptions::Input::alsa;
    o.source = juce::String (!t.file.empty() ? t.file : !t.url.empty() ? t.url : t.jack ? "JACK" : t.alsa);
    for (const auto& port : t.connect)
        o.connect.add (juce::String (port));
    if (!o.connect.isEmpty() && !t.jack)
        return juce::Result::fail ("--connect goes with --jack");
    if (!t.connect.empty())
        o.channels = juce::jlimit (1, SpeakerLayout::maxChannels, (int)t.connect.size());
    if ((!t.channels.empty() || !t.rate.empty()) && !t.jack && t.alsa.empty())
        return juce::Result::fail ("--channels and --rate go with --jack or --alsa");
    if (!t.channels.empty())
    {
        if (const auto checked = checkNumber ("--channels", t.channels, 1, SpeakerLayout::maxChannels, value);
            checked.failed() || value != std::floor (value))
            return juce::Result::fail ("--channels needs a whole number from 1 to " +
                                       juce::String (SpeakerLayout::maxChannels));
        o.channels = (int)value;
    }
    // One input port per channel takes one port each: JACK would mix further ones into them.
    if ((int)t.connect.size() > o.channels || (int)t.connect.size() > SpeakerLayout::maxChannels)
        return juce::Result::fail ("--connect names one port per channel, at most --channels (" +
                                   juce::String (SpeakerLayout::maxChannels) + ")");
    if (!t.rate.empty())
    {
        if (const auto checked = checkNumber ("--rate", t.rate, 8000, 384000, value); checked.failed())
            return checked;
        if (t.jack)
            return juce::Result::fail ("--rate goes with --alsa: JACK's server sets the rate");
        o.sampleRate = value;
    }
    if (t.realtime && t.file.empty())
        return juce::Result::fail ("--realtime goes with --file");
    o.realtime = t.realtime;

    if (!t.start.empty())
    {
        std::int64_t start = 0;
        if (t.file.empty() || !LogTime::parse (t.start, start))
            return juce::Result::fail ("--start needs --file and an ISO 8601 or local time");
        o.startMs = start;
    }

    if (!t.keepDays.empty())
    {
        if (const auto checked = checkNumber ("--keep-days", t.keepDays, 1, 36500, value);
            checked.failed() || value != std::floor (value))
            return juce::Result::fail ("--keep-days needs a whole number of days from 1 to 36500");
        o.keepDays = (int)value;
    }
    if (!t.silence.empty())
        if (const auto checked = checkNumber ("--silence-seconds", t.silence, 0.1, 86400, o.silenceSeconds);
            checked.failed())
            return checked;
    if (!t.loud.empty())
        if (const auto checked = checkNumber ("--loud-seconds", t.loud, 0.1, 86400, o.loudSeconds);
            checked.failed())
            return checked;

    if (!t.http.empty())
        if (const auto parsed = parseHttp (t.http, o); parsed.failed())
            return parsed;
    // Off the loopback interface anyone on the network could read the logs.
    if (!t.http.empty() && t.tokenFile.empty() && !WebServer::isLoopback (o.httpAddress))
        return juce::Result::fail ("--http on an address other than loopback needs --http-token-file");
    if ((!t.tokenFile.empty() || !t.alsoDb.empty()) && t.http.empty())
        return juce::Result::fail ("--http-token-file and --also-db go with --http");
    o.httpTokenFile = juce::String (t.tokenFile);
    for (const auto& other : t.alsoDb)
        o.alsoDb.add (juce::String (other));

    if (const auto parsed = MeasureOptions::parseLayout (juce::String (t.layout), o.meter); parsed.failed())
        return juce::Result::fail ("--layout " + parsed.getErrorMessage());
    // A device has no speakers: its count and --layout decide now (9 to 11 channels need a name).
    if (o.input == LoggerOptions::Input::jack || o.input == LoggerOptions::Input::alsa)
    {
        InputLayout layout;
        if (const auto laid =
                InputLayout::forSpeakers (o.channels, {}, o.meter.layout, layout, o.meter.namedLayout);
            laid.failed())
            return laid;
    }

    if (!t.block.empty())
    {
        if (const auto checked = checkNumber ("--block", t.block, 16, 65536, value);
            checked.failed() || value != std::floor (value))
            return juce::Result::fail ("--block needs a whole number of samples from 16 to 65536");
        o.meter.blockSize = (int)value;
    }
    return juce::Result::ok();
}
} // namespace

juce::Result LoggerOptions::parse (const juce::StringArray& arguments, LoggerOptions& options)
{
    options = {};
    auto args = arguments;
    options.report = args.size() > 0 && args[0] == "report";
    if (options.report)
        args.remove (0);

    CLI::App app;
    Texts texts;
    declare (app, texts, options.report);

    std::vector<std::string> reversed;
    for (int i = args.size(); --i >= 0;)
        reversed.push_back (args[i].toStdString());

    try
    {
        app.parse (reversed);
    }
    catch (const CLI::ParseError& e)
    {
        return juce::Result::fail (juce::String (e.what()));
    }

    options.help = texts.help;
    if (options.help)
        return juce::Result::ok();
    return interpret (texts, options.report, options);
}

juce::File LoggerOptions::databaseFile() const
{
    if (dbPath.isNotEmpty())
        return juce::File::getCurrentWorkingDirectory().getChildFile (dbPath);

    auto data = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_HOME", {});
    if (data.isEmpty() || !juce::File::isAbsolutePath (data))
        data = juce::File::getSpecialLocation (juce::File::userHomeDirectory)
                   .getChildFile (".local/share")
                   .getFullPathName();
    return juce::File (data).getChildFile ("Velnor/tarn51-logger").getChildFile (name + ".sqlite");
}

juce::String LoggerOptions::usage (bool report)
{
    if (report)
        return "Usage: tarn51-logger report (--db PATH | --name NAME) --from TIME --to TIME [options]\n"
               "  --from, --to TIME   ISO 8601 (2026-03-10T20:00:00Z, ...+01:00) or local time\n"
               "                      (2026-03-10 20:00); steps that end after --from and by --to\n"
               "  --daily             a row per hour and one for the range (--to defaults to 24 h)\n"
               "  --json | --csv      one JSON object, or a CSV table; text otherwise\n"
               "  --target ebu-r128|ebu-r128-s1|atsc-a85, --target-loudness LUFS, --tolerance LU,\n"
               "  --max-true-peak dBTP, --max-short-term LUFS   judge the range against a target\n"
               "  --standard ebu|atsc|arib, --gating on|off\n"
               "  --ml-threshold, --st-threshold LUFS   override the standard's momentary and short-term\n"
               "                      hit thresholds (-30 to -10); hits count the stored steps\n"
               "Exit status: 0 reported (and met the target), 1 error, 2 usage error, 3 failed the target.\n";

    return "Usage: tarn51-logger INPUT (--db PATH | --name NAME) [options]\n"
           "       tarn51-logger report --help\n"
           "Inputs (one):\n"
           "  --file FILE [--realtime]  a file, paced at its own rate with --realtime; step times\n"
           "                            are the start (now, or --start TIME) plus the position\n"
           "  --url URL                 a live stream FFmpeg opens (HTTP/Icecast, HLS, UDP, RTP, SRT, RTMP)\n"
           "  --alsa DEVICE [--rate HZ] an ALSA capture device (default 48000 Hz)\n"
           "  --jack [--connect PORT...] a JACK client \"tarn51-logger\", its inputs connected to the ports\n"
           "  --channels N              the device's channels, 1 to 12 (default 2, or one per --connect "
           "port)\n"
           "Options:\n"
           "  --db PATH                 the database; default "
           "$XDG_DATA_HOME/Velnor/tarn51-logger/NAME.sqlite\n"
           "  --keep-days N             delete steps older than N days (checked hourly)\n"
           "  --silence-seconds S       silence event after S s below -70 LUFS (default 10)\n"
           "  --loud-seconds S          loud event after S s of short-term above the target (default 10)\n"
           "  --max-true-peak dBTP      true-peak event limit (else the target's)\n"
           "  --target ..., --standard ebu|atsc|arib, --block N\n"
           "  --layout auto|itu|c24|dts|NAME  as tarn51-measure's: the input's speakers, else by count\n"
           "                            (7 -> 7.0, 8 -> 7.1, 12 -> 7.1.4; 9 to 11 need a NAME such as\n"
           "                            5.1.4, 7.1.2 or 4+5+0)\n"
           "  --http ADDRESS:PORT       serve the web page and its API (live, history, events, reports)\n"
           "  --http-token-file FILE    every request needs this token; required off loopback\n"
           "  --also-db PATH...         other loggers' databases the page also shows, read-only\n"
           "SIGTERM or SIGINT ends logging with the last second written.\n"
           "Exit status: 0 ended cleanly, 1 error, 2 usage error.\n";
}
