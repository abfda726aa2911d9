#include "StreamLogger.h"

#include "AlsaInput.h"
#include "JackInput.h"
#include "LiveMeter.h"
#include "LogDatabase.h"
#include "LogWriter.h"

#include "FFmpegAudioReader.h"
#include "InputLayout.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <iostream>
#include <thread>

namespace
{
constexpr int readSamples = 4800;

void fail (const juce::String& message)
{
    std::cerr << "tarn51-logger: " << message << std::endl;
}

// Held for the life of the process: a second logger on the same database is refused. The
// kernel lets go of it when the process ends in any way, kill -9 included.
class DatabaseLock
{
public:
    bool take (const juce::File& database)
    {
        const auto path = database.getFullPathName() + ".lock";
        fd = ::open (path.toRawUTF8(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        return fd >= 0 && ::flock (fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~DatabaseLock()
    {
        if (fd >= 0)
            ::close (fd);
    }

private:
    int fd = -1;
};

void setLost (LiveFeed* feed, bool lost)
{
    if (feed != nullptr)
        feed->setState (lost ? LiveFeed::State::lost : LiveFeed::State::ok);
}

// Waits for the time or the stop flag; false when stopped.
bool sleepUnlessStopped (int milliseconds, const std::atomic<bool>& stop)
{
    for (int waited = 0; waited < milliseconds && !stop.load(); waited += 50)
        std::this_thread::sleep_for (std::chrono::milliseconds (juce::jmin (50, milliseconds - waited)));
    return !stop.load();
}

// Logs a JACK or ALSA input until stopped: the device measures in its own callback or thread,
// this thread only watches for it going away, and opens it again with backoff.
// Returns the exit status: 1 when the input's channels cannot be measured.
int logDevice (const LoggerOptions& o, LiveInput& input, LogDatabase& db, LogWriter& writer, StepQueue& queue,
               const std::atomic<bool>& stop, LiveFeed* feed)
{
    InputLayout layout;
    if (const auto laid =
            InputLayout::forSpeakers (o.channels, {}, o.meter.layout, layout, o.meter.namedLayout);
        laid.failed())
    {
        fail (laid.getErrorMessage());
        return 1;
    }

    int backoffMs = 1000;
    bool lost = false;
    while (!stop.load())
    {
        LiveMeter meter (queue);
        meter.setFeed (feed);
        const auto anchor = juce::Time::currentTimeMillis();
        if (const auto opened = input.open (meter, layout, o.meter, anchor); opened.failed())
        {
            if (!lost)
            {
                lost = true;
                setLost (feed, true);
                fail ("input lost: " + opened.getErrorMessage());
                writer.addEvent ({anchor, "input-lost", opened.getErrorMessage()});
            }
            if (!sleepUnlessStopped (backoffMs, stop))
                break;
            backoffMs = juce::jmin (30000, backoffMs * 2);
            continue;
        }

        db.beginSession (anchor, input.description(), input.numChannels(), input.sampleRate(),
                         layout.meterLayout);
        if (lost)
        {
            lost = false;
            setLost (feed, false);
            std::cerr << "tarn51-logger: input back: " << input.description() << std::endl;
            writer.addEvent ({anchor, "input-back", input.description()});
        }
        backoffMs = 1000;

        while (!stop.load() && !input.isLost())
            std::this_thread::sleep_for (std::chrono::milliseconds (50));
        const auto wasLost = input.isLost();
        input.close();
        if (!wasLost)
            break;

        lost = true;
        setLost (feed, true);
        fail ("input lost: " + input.description() + " went away");
        writer.addEvent ({juce::Time::currentTimeMillis(), "input-lost", input.description() + " went away"});
        if (!sleepUnlessStopped (backoffMs, stop))
            break;
        backoffMs = juce::jmin (30000, backoffMs * 2);
    }
    return 0;
}
} // namespace

int StreamLogger::run (const LoggerOptions& o, const std::atomic<bool>& stop, LiveFeed* feed)
{
    const auto file = o.databaseFile();
    file.getParentDirectory().createDirectory();

    DatabaseLock lock;
    if (!lock.take (file))
    {
        fail ("another tarn51-logger is logging to " + file.getFullPathName() + "; one logger per database");
        return 1;
    }

    LogDatabase db;
    if (const auto opened = db.open (file, false); opened.failed())
    {
        fail (opened.getErrorMessage());
        return 1;
    }

    // A minute of steps between the measuring side and the writer.
    StepQueue queue (600);
    LogWriter::Settings settings;
    settings.keepDays = o.keepDays;
    settings.events.silenceSeconds = o.silenceSeconds;
    settings.events.loudSeconds = o.loudSeconds;
    settings.events.maxTruePeak = o.maxTruePeak;
    if (o.target)
    {
        if (!settings.events.maxTruePeak)
            settings.events.maxTruePeak = o.target->maxTruePeak;
        if (o.target->maxShortTerm)
            settings.events.loudAbove = o.target->maxShortTerm;
        else if (o.target->loudness)
            settings.events.loudAbove = *o.target->loudness + o.target->tolerance;
    }

    const bool isFile = o.input == LoggerOptions::Input::file;
    // A file logged as fast as it decodes fills the queue in a fraction of a second: the writer
    // then takes it far more often than once a second, or the file would log at 60 times its
    // own speed at most.
    if (isFile && !o.realtime)
        settings.intervalMs = 20;
    LogWriter writer (db, queue, settings);
    const auto startedMs = o.startMs ? *o.startMs : juce::Time::currentTimeMillis();
    writer.addEvent ({startedMs, "start", "logging " + o.source});
    writer.start();
    std::cerr << "tarn51-logger: logging " << o.source << " to " << file.getFullPathName() << std::endl;

    int status = 0;
    int backoffMs = 1000;
    bool lost = false;
    bool sessionStarted = false;
    std::vector<float> samples;
    std::vector<float*> channels;
    std::int64_t fileEndMs = startedMs;

    std::unique_ptr<LiveInput> device;
    if (o.input == LoggerOptions::Input::jack)
        device = std::make_unique<JackInput> (o.channels, o.connect);
    else if (o.input == LoggerOptions::Input::alsa)
        device = std::make_unique<AlsaInput> (o.source, o.channels, o.sampleRate);
    if (device != nullptr)
        status = logDevice (o, *device, db, writer, queue, stop, feed);

    while (device == nullptr && !stop.load())
    {
        juce::String error;
        bool usageError = false;
        auto reader = FFmpegAudioReader::open (o.source, TrackSelection{}, error, usageError, !isFile);
        InputLayout layout;
        LiveMeter meter (queue);
        meter.setFeed (feed);
        const auto anchor = isFile ? startedMs : juce::Time::currentTimeMillis();

        juce::Result ready = juce::Result::fail (error);
        if (reader != nullptr)
        {
            ready = InputLayout::forSpeakers ((int)reader->numChannels, reader->speakers(), o.meter.layout,
                                              layout, o.meter.namedLayout);
            if (ready.wasOk())
                ready = meter.prepare (reader->sampleRate, (int)reader->numChannels, layout, o.meter, anchor);
        }

        if (ready.failed())
        {
            if (isFile)
            {
                fail (o.source + ": " + ready.getErrorMessage());
                status = 1;
                break;
            }
            if (!lost)
            {
                lost = true;
                setLost (feed, true);
                fail ("input lost: " + o.source + ": " + ready.getErrorMessage());
                writer.addEvent ({juce::Time::currentTimeMillis(), "input-lost", ready.getErrorMessage()});
            }
            if (!sleepUnlessStopped (backoffMs, stop))
                break;
            backoffMs = juce::jmin (30000, backoffMs * 2);
            continue;
        }

        if (!sessionStarted || !isFile)
            db.beginSession (anchor, o.source + " (" + reader->description() + ")", (int)reader->numChannels,
                             reader->sampleRate, layout.meterLayout);
        sessionStarted = true;

        if (lost)
        {
            lost = false;
            setLost (feed, false);
            std::cerr << "tarn51-logger: input back: " << o.source << std::endl;
            writer.addEvent ({anchor, "input-back", reader->description()});
        }
        backoffMs = 1000;

        const auto numChannels = (int)reader->numChannels;
        samples.assign ((size_t)(numChannels * readSamples), 0.0f);
        channels.resize ((size_t)numChannels);
        for (int c = 0; c < numChannels; ++c)
            channels[(size_t)c] = samples.data() + c * readSamples;

        const auto rate = reader->sampleRate;
        const auto startClock = juce::Time::getMillisecondCounterHiRes();
        for (;;)
        {
            if (stop.load())
                break;

            const auto n = reader->readNext (channels.data(), numChannels, readSamples);
            if (n > 0)
                meter.process (channels.data(), numChannels, n);

            if (isFile && o.realtime)
            {
                const auto due = startClock + (double)meter.samplesMeasured() * 1000.0 / rate;
                const auto now = juce::Time::getMillisecondCounterHiRes();
                if (due > now)
                    sleepUnlessStopped ((int)(due - now), stop);
            }
            else if (isFile)
            {
                // As fast as it decodes, but never faster than the writer takes the steps.
                while (queue.freeSpace() < readSamples / 480 + 8 && !stop.load())
                    std::this_thread::sleep_for (std::chrono::milliseconds (2));
            }

            if (n < readSamples)
                break;
        }

        fileEndMs = anchor + (std::int64_t) ((double)meter.samplesMeasured() * 1000.0 / rate);
        if (stop.load() || isFile)
            break;

        lost = true;
        setLost (feed, true);
        fail ("input lost: " + o.source + ": the stream ended");
        writer.addEvent ({juce::Time::currentTimeMillis(), "input-lost", "the stream ended"});
        if (!sleepUnlessStopped (backoffMs, stop))
            break;
        backoffMs = juce::jmin (30000, backoffMs * 2);
    }

    // A file's steps are stamped with its own positions, so its stop lies at its end, within
    // the range a report over the file covers.
    const auto stoppedMs = isFile && !stop.load() ? fileEndMs : juce::Time::currentTimeMillis();
    writer.addEvent ({stoppedMs, "stop", stop.load() ? "stopped by a signal" : "input ended"});
    writer.stop();

    if (writer.isFailing())
    {
        fail ("the last steps could not be written: the database is not writable");
        return 1;
    }
    std::cerr << "tarn51-logger: stopped; " << writer.stepsWritten() << " steps written" << std::endl;
    return status;
}
