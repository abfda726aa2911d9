#pragma once

#include "LiveFeed.h"
#include "RangeReport.h"

#include <juce_core/juce_core.h>

#include <memory>
#include <string>

// The logger's web page and its HTTP API (--http), on threads of their own: the live steps
// from the feed as Server-Sent Events, history decimated per pixel column, events, reports and
// the list of databases. Read-only; serves only its embedded files. Every request needs the
// token when one is set (Authorization: Bearer, or the cookie the login form sets). Bad
// requests get 400 with a short JSON error. Connections beyond maxConnections are refused.
class WebServer
{
public:
    struct Settings
    {
        juce::String address = "127.0.0.1";
        int port = 0; // 0: any free port (see port())
        std::string token;
        juce::String name; // the logger's own database, whose steps the feed carries
        juce::File database;
        juce::Array<juce::File> others; // read-only databases of other loggers
        RangeReport::Settings report;   // standard, gating, thresholds and target of reports
        int maxConnections = 256;
    };

    // feed: the running logger's steps, or null when there is no live view.
    WebServer (const Settings& settings, const LiveFeed* feed);
    ~WebServer();

    // Binds and serves on a thread of its own.
    juce::Result start();
    int port() const noexcept;
    void stop();

    // 127.0.0.0/8, ::1 and localhost.
    static bool isLoopback (const juce::String& address);
    // Equality in a time that depends on the lengths only, not on where they differ.
    static bool tokensMatch (const std::string& given, const std::string& expected) noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
