#pragma once

#include "EventDetector.h"
#include "LogDatabase.h"
#include "StepQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// The database side of the logger, on a thread of its own: once a second it takes the steps
// the measuring side queued, finds their events and writes both in one transaction. When a
// write fails (disk full, a lock held too long) the steps wait in a bounded backlog and go in
// with the next write that succeeds; when the backlog is full the oldest are dropped, with an
// event. Measuring never waits for it.
class LogWriter
{
public:
    struct Settings
    {
        EventDetector::Settings events;
        int keepDays = 0;                // 0 keeps everything
        int backlogSteps = 10 * 60 * 60; // an hour of steps
        int intervalMs = 1000;
    };

    LogWriter (LogDatabase& database, StepQueue& queue, const Settings& settings);
    ~LogWriter();

    void start();
    // Writes what is left (events included) and ends the thread.
    void stop();

    // Adds an event from any thread other than the audio side; written with the next second.
    void addEvent (const LogEvent& event);

    // Writes everything queued now, on the caller's thread (the thread must not run).
    bool flush();

    std::int64_t stepsWritten() const noexcept { return written.load(); }
    std::int64_t stepsDropped() const noexcept { return dropped.load(); }
    bool isFailing() const noexcept { return failing.load(); }

private:
    void run();
    void takeSteps();

    LogDatabase& db;
    StepQueue& queue;
    Settings settings;
    EventDetector detector;

    std::mutex lock; // events from other threads, and the stop flag
    std::condition_variable wake;
    std::vector<LogEvent> incoming;
    bool stopping = false;

    std::deque<StepRecord> backlog;
    std::vector<StepRecord> batch;
    std::vector<StepRecord> popped;
    std::vector<LogEvent> events;
    std::int64_t droppedUnreported = 0;
    juce::int64 lastPruneMs = 0;
    std::atomic<std::int64_t> written{0}, dropped{0};
    std::atomic<bool> failing{false};
    std::thread thread;
};
