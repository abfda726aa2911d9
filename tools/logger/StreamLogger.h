#pragma once

#include "LiveFeed.h"
#include "LoggerOptions.h"

#include <atomic>

// Logs one input into its database until the input ends (a file) or stop is set (SIGTERM):
// takes the database's lock, appends a session, measures on the reading thread and writes
// on the writer's. A stream that drops or fails to open is retried with backoff, 1 s doubling
// up to 30 s, with an input-lost event and an input-back event; gaps stay gaps.
class StreamLogger
{
public:
    // Exit status: 0 ended cleanly, 1 error (the message on stderr). Every step also goes to
    // the feed when one is given, and the feed is told when the input is lost and back.
    static int run (const LoggerOptions& options, const std::atomic<bool>& stop, LiveFeed* feed = nullptr);
};
