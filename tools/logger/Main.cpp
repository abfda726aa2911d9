#include "LogDatabase.h"
#include "LogTime.h"
#include "LoggerOptions.h"
#include "RangeReport.h"
#include "ReportOutput.h"
#include "StreamLogger.h"
#include "WebServer.h"

#include "MeterSetup.h"

#include <csignal>
#include <cstdio>
#include <iostream>

namespace
{
std::atomic<bool> stopRequested{false};

void onSignal (int)
{
    stopRequested.store (true);
}

int usageError (const juce::String& message, bool report)
{
    std::fprintf (stderr, "tarn51-logger: %s\n\n%s", message.toRawUTF8(),
                  LoggerOptions::usage (report).toRawUTF8());
    return 2;
}

RangeReport::Settings reportSettings (const LoggerOptions& o)
{
    RangeReport::Settings settings;
    settings.standard = o.meter.standard;
    settings.gating = o.meter.gating;
    settings.target = o.target;
    MeterSetup::hitThresholds (o.meter, settings.momentaryThreshold, settings.shortTermThreshold);
    return settings;
}

int report (const LoggerOptions& o)
{
    LogDatabase db;
    if (const auto opened = db.open (o.databaseFile(), true); opened.failed())
    {
        std::cerr << "tarn51-logger: " << opened.getErrorMessage() << std::endl;
        return 1;
    }

    const auto settings = reportSettings (o);

    RangeReport::Result whole;
    if (const auto computed = RangeReport::compute (db, o.fromMs, o.toMs, settings, whole); computed.failed())
    {
        std::cerr << "tarn51-logger: " << computed.getErrorMessage() << std::endl;
        return 1;
    }

    juce::String out;
    if (o.daily)
    {
        // The spot-check table: an hour a row, then the whole range; every row's channel peaks
        // in the whole range's arrangement, the table's columns.
        out << ReportOutput::csvHeader (o.target.has_value(), whole.layout);
        constexpr std::int64_t hour = 60 * 60 * 1000;
        for (auto start = o.fromMs; start < o.toMs; start += hour)
        {
            RangeReport::Result part;
            if (const auto computed = RangeReport::compute (db, start, juce::jmin (o.toMs, start + hour),
                                                            settings, part, whole.layout);
                computed.failed())
            {
                std::cerr << "tarn51-logger: " << computed.getErrorMessage() << std::endl;
                return 1;
            }
            out << ReportOutput::csvRow (LogTime::iso (start).substring (11, 16), part, settings,
                                         whole.layout);
        }
        out << ReportOutput::csvRow ("day", whole, settings, whole.layout);
        if (o.json)
            out = ReportOutput::json (whole, settings);
    }
    else if (o.json)
        out = ReportOutput::json (whole, settings);
    else if (o.csv)
        out = ReportOutput::csvHeader (o.target.has_value(), whole.layout) +
              ReportOutput::csvRow ("range", whole, settings, whole.layout);
    else
        out = ReportOutput::text (whole, settings);

    std::fputs (out.toRawUTF8(), stdout);
    return whole.failedTarget (settings) ? 3 : 0;
}
} // namespace

int main (int argc, char* argv[])
{
    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    LoggerOptions options;
    const auto parsed = LoggerOptions::parse (arguments, options);
    if (parsed.failed())
        return usageError (parsed.getErrorMessage(), options.report);

    if (options.help)
    {
        std::fputs (LoggerOptions::usage (options.report).toRawUTF8(), stdout);
        return 0;
    }

    if (options.report)
        return report (options);

    std::signal (SIGTERM, onSignal);
    std::signal (SIGINT, onSignal);
    std::signal (SIGPIPE, SIG_IGN);
    if (options.httpPort < 0)
        return StreamLogger::run (options, stopRequested);

    WebServer::Settings web;
    if (options.httpTokenFile.isNotEmpty())
    {
        const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (options.httpTokenFile);
        web.token = file.loadFileAsString().trim().toStdString();
        if (web.token.empty())
        {
            std::cerr << "tarn51-logger: no token in " << file.getFullPathName() << std::endl;
            return 1;
        }
    }
    web.address = options.httpAddress;
    web.port = options.httpPort;
    web.name = options.name;
    web.database = options.databaseFile();
    for (const auto& other : options.alsoDb)
        web.others.add (juce::File::getCurrentWorkingDirectory().getChildFile (other));
    web.report = reportSettings (options);

    LiveFeed feed;
    WebServer server (web, &feed);
    if (const auto started = server.start(); started.failed())
    {
        std::cerr << "tarn51-logger: " << started.getErrorMessage() << std::endl;
        return 1;
    }
    std::cerr << "tarn51-logger: serving http://" << options.httpAddress << ":" << server.port() << "/"
              << std::endl;
    const auto status = StreamLogger::run (options, stopRequested, &feed);
    server.stop();
    return status;
}
