#include "LogWriter.h"

#include <iostream>

LogWriter::LogWriter (LogDatabase& database, StepQueue& q, const Settings& s)
    : db (database), queue (q), settings (s), detector (s.events)
{
    popped.resize (4096);
}

LogWriter::~LogWriter()
{
    stop();
}

void LogWriter::start()
{
    stopping = false;
    thread = std::thread ([this] { run(); });
}

void LogWriter::stop()
{
    if (!thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> guard (lock);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
}

void LogWriter::addEvent (const LogEvent& event)
{
    const std::lock_guard<std::mutex> guard (lock);
    incoming.push_back (event);
}

void LogWriter::run()
{
    for (;;)
    {
        bool last;
        {
            std::unique_lock<std::mutex> guard (lock);
            wake.wait_for (guard, std::chrono::milliseconds (settings.intervalMs),
                           [this] { return stopping; });
            last = stopping;
        }

        flush();

        if (last)
            return;
    }
}

void LogWriter::takeSteps()
{
    for (;;)
    {
        const auto n = queue.pop (popped.data(), (int)popped.size());
        for (int i = 0; i < n; ++i)
        {
            detector.add (popped[(size_t)i], events);
            backlog.push_back (popped[(size_t)i]);
        }
        if (n < (int)popped.size())
            break;
    }

    if (const auto overflows = queue.takeOverflows(); overflows > 0)
        droppedUnreported += overflows;

    // A full backlog gives up its oldest steps: the newest tell what is on air now.
    while ((int)backlog.size() > settings.backlogSteps)
    {
        backlog.pop_front();
        ++droppedUnreported;
    }
}

bool LogWriter::flush()
{
    takeSteps();

    {
        const std::lock_guard<std::mutex> guard (lock);
        events.insert (events.end(), incoming.begin(), incoming.end());
        incoming.clear();
    }

    const auto now = juce::Time::currentTimeMillis();

    if (droppedUnreported > 0)
    {
        dropped += droppedUnreported;
        events.push_back (
            {now, "steps-dropped",
             juce::String (droppedUnreported) + " steps dropped: the queue to the database was full"});
        std::cerr << "tarn51-logger: " << droppedUnreported
                  << " steps dropped, the queue to the database was full" << std::endl;
        droppedUnreported = 0;
    }

    if (backlog.empty() && events.empty())
        return true;

    if (failing)
        events.push_back (
            {now, "storage-back",
             "writing again; " + juce::String ((juce::int64)backlog.size()) + " held steps written"});

    batch.assign (backlog.begin(), backlog.end());
    if (const auto result = db.write (batch, events); result.failed())
    {
        if (failing)
            events.pop_back();
        else
            events.push_back ({now, "storage-full", "cannot write: " + result.getErrorMessage()});
        if (!failing.exchange (true))
            std::cerr << "tarn51-logger: cannot write to the database (" << result.getErrorMessage()
                      << "); holding up to " << settings.backlogSteps / 10 << " s of steps" << std::endl;
        return false;
    }

    if (failing.exchange (false))
        std::cerr << "tarn51-logger: writing to the database again" << std::endl;

    written += (std::int64_t)backlog.size();
    backlog.clear();
    events.clear();

    if (settings.keepDays > 0 && now - lastPruneMs >= 60 * 60 * 1000)
    {
        lastPruneMs = now;
        db.deleteBefore (now - (std::int64_t)settings.keepDays * 24 * 60 * 60 * 1000);
    }
    return true;
}
