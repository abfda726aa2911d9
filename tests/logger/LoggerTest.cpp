#include "EventDetector.h"
#include "LogDatabase.h"
#include "LogTime.h"
#include "RangeReport.h"

#include "support/TemporaryFolder.h"
#include "support/TestAudioFiles.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
struct Run
{
    int status = -1;
    juce::String out;
};

Run run (const juce::String& program, const juce::StringArray& arguments)
{
    juce::ChildProcess child;
    juce::StringArray command{program};
    command.addArray (arguments);
    Run result;
    if (!child.start (command, juce::ChildProcess::wantStdOut))
        return result;
    result.out = child.readAllProcessOutput();
    child.waitForProcessToFinish (60000);
    result.status = (int)child.getExitCode();
    return result;
}

Run logger (const juce::StringArray& arguments)
{
    return run (TARN_LOGGER_PATH, arguments);
}

// A programme whose loudness changes, so that the gates, the range and the maxima all matter.
// (Its file is written from these in the test: a Spec held in gtest's static parameters would
// outlive JUCE's leak counters.)
struct Programme
{
    const char* name;
    int channels;
    double rate;
    std::vector<TestAudioFiles::Segment> segments;
    const char* standard; // sets the hit thresholds
};

class ReportMatchesMeasure : public testing::TestWithParam<Programme>
{
};

// The report over the logged range gives the numbers tarn51-measure gives for the same file.
TEST_P (ReportMatchesMeasure, WithinATenth)
{
    TemporaryFolder folder;
    const auto audio = folder["in.wav"];
    TestAudioFiles::Spec spec;
    spec.numChannels = GetParam().channels;
    spec.sampleRate = GetParam().rate;
    spec.segments = GetParam().segments;
    ASSERT_TRUE (TestAudioFiles::write (audio, spec));
    const auto db = folder["log.sqlite"].getFullPathName();

    const auto standard = GetParam().standard;
    ASSERT_EQ (
        logger ({"--file", audio.getFullPathName(), "--db", db, "--start", "2026-03-10T20:00:00Z"}).status,
        0);
    const auto report = logger ({"report", "--db", db, "--from", "2026-03-10T20:00:00Z", "--to",
                                 "2026-03-10T21:00:00Z", "--json", "--standard", standard});
    ASSERT_EQ (report.status, 0) << report.out;
    const auto measured =
        run (TARN_MEASURE_PATH, {"--json", "-q", "--standard", standard, audio.getFullPathName()});
    ASSERT_EQ (measured.status, 0);

    const auto r = juce::JSON::parse (report.out);
    const auto m = juce::JSON::parse (measured.out);
    // Hits, thresholds and counts are whole or exact: the tolerance leaves them no room.
    for (const auto* key :
         {"integrated", "loudnessRange", "maxMomentary", "maxShortTerm", "maxTruePeak", "momentaryHits",
          "shortTermHits", "momentaryThreshold", "shortTermThreshold", "channels", "sampleRate"})
    {
        ASSERT_FALSE (r[key].isVoid()) << key;
        EXPECT_NEAR ((double)r[key], (double)m[key], 0.1001) << key;
    }
    ASSERT_EQ (r["truePeak"].size(), m["truePeak"].size());
    for (int c = 0; c < m["truePeak"].size(); ++c)
        EXPECT_NEAR ((double)r["truePeak"][c], (double)m["truePeak"][c], 0.1001) << "channel " << c;
    EXPECT_EQ (r["events"][0]["kind"].toString(), "start");
    EXPECT_EQ (r["events"][r["events"].size() - 1]["kind"].toString(), "stop");
}

INSTANTIATE_TEST_SUITE_P (
    Logger, ReportMatchesMeasure,
    testing::Values (
        Programme{"steady", 2, 48000.0, {{-20.0f, 12.0}}, "ebu"},
        // Quiet passages that the relative gate drops, and a loud one the range and the hits see.
        Programme{"gated", 1, 44100.0, {{-18.0f, 10.0}, {-45.0f, 10.0}, {-8.0f, 5.0}}, "atsc"},
        Programme{"surround", 6, 48000.0, {{-30.0f, 6.0}, {-12.0f, 6.0}, {-3.0f, 1.0}}, "ebu"}),
    [] (const auto& p) { return std::string (p.param.name); });

// Immersive inputs: a tone in one channel of a 7 to 12 channel file shows in that channel's
// stored peaks only, the session records the arrangement, and the report names the channels
// and gives tarn51-measure's loudness and peaks.
struct ImmersiveCase
{
    const char* name;
    int channels;
    const char* layoutOption; // "" for none: the count decides
    int toneChannel;          // in the arrangement's order
    const char* arrangement;
};

class ImmersiveLog : public testing::TestWithParam<ImmersiveCase>
{
};

TEST_P (ImmersiveLog, PeaksInTheirChannel)
{
    const auto& c = GetParam();
    TemporaryFolder folder;
    const auto audio = folder["in.wav"];
    TestAudioFiles::Spec spec;
    spec.numChannels = c.channels;
    spec.segments = {{-20.0f, 4.0}, {-8.0f, 2.0}};
    spec.channelGainsDb.assign ((size_t)c.channels, TestAudioFiles::silent);
    spec.channelGainsDb[(size_t)c.toneChannel] = 0.0f;
    ASSERT_TRUE (TestAudioFiles::write (audio, spec));
    const auto db = folder["log.sqlite"].getFullPathName();

    juce::StringArray layout;
    if (*c.layoutOption != 0)
        layout = {"--layout", c.layoutOption};
    auto arguments =
        juce::StringArray{"--file", audio.getFullPathName(), "--db", db, "--start", "2026-03-10T20:00:00Z"};
    arguments.addArray (layout);
    ASSERT_EQ (logger (arguments).status, 0);

    EXPECT_EQ (run ("sqlite3", {db, "SELECT layout FROM sessions"}).out.trim(), c.arrangement);
    {
        LogDatabase database;
        ASSERT_TRUE (database.open (db, true).wasOk());
        const auto width = SpeakerLayout::get (database.inputOf (0, 1'800'000'000'000).layout).numChannels;
        int loud = 0;
        ASSERT_TRUE (database
                         .readSteps (0, 1'800'000'000'000,
                                     [&] (const StepRecord& s)
                                     {
                                         ASSERT_EQ (s.numChannels, width);
                                         for (int ch = 0; ch < s.numChannels; ++ch)
                                         {
                                             if (ch != c.toneChannel)
                                             {
                                                 EXPECT_EQ (s.truePeak[ch], -INFINITY) << ch;
                                             }
                                         }
                                         loud += s.truePeak[c.toneChannel] > -9.0f ? 1 : 0;
                                     })
                         .wasOk());
        EXPECT_GE (loud, 19);
    }

    auto reportArguments = juce::StringArray{
        "report", "--db", db, "--from", "2026-03-10T20:00:00Z", "--to", "2026-03-10T21:00:00Z", "--json"};
    const auto report = logger (reportArguments);
    ASSERT_EQ (report.status, 0) << report.out;
    auto measureArguments = juce::StringArray{"--json", "-q"};
    measureArguments.addArray (layout);
    measureArguments.add (audio.getFullPathName());
    const auto measured = run (TARN_MEASURE_PATH, measureArguments);
    ASSERT_EQ (measured.status, 0);

    const auto r = juce::JSON::parse (report.out);
    const auto m = juce::JSON::parse (measured.out);
    EXPECT_NEAR ((double)r["integrated"], (double)m["integrated"], 0.1001);
    ASSERT_TRUE (r["channels"].isArray());
    EXPECT_EQ (juce::JSON::toString (r["channels"], true), juce::JSON::toString (m["channels"], true));
    ASSERT_EQ (r["truePeak"].size(), m["truePeak"].size());
    for (int ch = 0; ch < m["truePeak"].size(); ++ch)
        EXPECT_NEAR ((double)r["truePeak"][ch], (double)m["truePeak"][ch], 0.1001) << "channel " << ch;

    // The text report and the CSV table name the channels too.
    reportArguments.removeString ("--json");
    SpeakerLayout::Named arrangement{};
    ASSERT_TRUE (SpeakerLayout::fromName (c.arrangement, arrangement));
    const auto named = juce::String (SpeakerLayout::get (arrangement.id).speakers[c.toneChannel].label);
    const auto text = logger (reportArguments).out;
    const auto peaks = juce::StringArray::fromTokens (text.fromFirstOccurrenceOf ("True peak:", false, false)
                                                          .upToFirstOccurrenceOf ("\n", false, false)
                                                          .trim(),
                                                      " ", "");
    ASSERT_EQ (peaks.size(), 2 * m["truePeak"].size() + 1) << text;
    EXPECT_NEAR (peaks[peaks.indexOf (named) + 1].getDoubleValue(), (double)m["truePeak"][c.toneChannel],
                 0.1001);
    reportArguments.add ("--csv");
    EXPECT_TRUE (logger (reportArguments).out.contains ("truePeak " + named)) << named;
}

INSTANTIATE_TEST_SUITE_P (Logger, ImmersiveLog,
                          testing::Values (ImmersiveCase{"count12", 12, "", 10, "7.1.4"},
                                           ImmersiveCase{"count8", 8, "", 5, "7.1"},
                                           ImmersiveCase{"named514", 10, "4+5+0", 7, "5.1.4"}),
                          [] (const auto& p) { return std::string (p.param.name); });

// Bad command lines and bad report ranges are usage errors (2), never a run or a report.
class UsageErrors : public testing::TestWithParam<std::vector<const char*>>
{
};

TEST_P (UsageErrors, ExitTwo)
{
    juce::StringArray arguments;
    for (const auto* a : GetParam())
        arguments.add (a);
    EXPECT_EQ (logger (arguments).status, 2) << arguments.joinIntoString (" ");
}

INSTANTIATE_TEST_SUITE_P (
    Logger, UsageErrors,
    testing::Values (
        std::vector<const char*>{"--db", "x.sqlite"},
        std::vector<const char*>{"--file", "a.wav", "--url", "http://127.0.0.1:9/", "--db", "x"},
        std::vector<const char*>{"--url", "http://127.0.0.1:9/", "--realtime", "--db", "x"},
        std::vector<const char*>{"--file", "a.wav"},
        std::vector<const char*>{"--file", "a.wav", "--db", "x", "--keep-days", "0"},
        std::vector<const char*>{"--file", "a.wav", "--db", "x", "--bogus"},
        std::vector<const char*>{"--file", "a.wav", "--db", "x", "--channels", "2"},
        std::vector<const char*>{"--jack", "--rate", "44100", "--db", "x"},
        std::vector<const char*>{"--jack", "--connect", "a:1", "a:2", "a:3", "--channels", "2", "--db", "x"},
        std::vector<const char*>{"--alsa", "hw:0", "--channels", "13", "--db", "x"},
        std::vector<const char*>{"--alsa", "hw:0", "--channels", "9", "--db", "x"},
        std::vector<const char*>{"--file", "a.wav", "--db", "x", "--layout", "9.1.6"},
        std::vector<const char*>{"--file", "a.wav", "--db", "x", "--http", "0.0.0.0:8080"},
        std::vector<const char*>{"--file", "a.wav", "--db", "x", "--http", "127.0.0.1"},
        std::vector<const char*>{"--file", "a.wav", "--db", "x", "--http", "127.0.0.1:70000"},
        std::vector<const char*>{"--file", "a.wav", "--db", "x", "--also-db", "y.sqlite"},
        std::vector<const char*>{"report", "--db", "x", "--from", "2026-03-10T20:00Z"},
        std::vector<const char*>{"report", "--db", "x", "--from", "yesterday", "--to", "2026-03-10"},
        std::vector<const char*>{"report", "--db", "x", "--from", "2026-03-10T21:00Z", "--to",
                                 "2026-03-10T20:00Z"},
        std::vector<const char*>{"report", "--db", "x", "--from", "2026-02-30", "--to", "2026-03-10"},
        std::vector<const char*>{"report", "--db", "x", "--from", "2026-03-09", "--to", "2026-03-10",
                                 "--json", "--csv"},
        std::vector<const char*>{"report", "--db", "x", "--from", "2026-03-09", "--to", "2026-03-10",
                                 "--ml-threshold", "-5"}));

struct TimeCase
{
    const char* text;
    std::int64_t utcMs;
};

class TimeParsing : public testing::TestWithParam<TimeCase>
{
};

TEST_P (TimeParsing, ZonesAndFractions)
{
    std::int64_t ms = 0;
    ASSERT_TRUE (LogTime::parse (GetParam().text, ms));
    EXPECT_EQ (ms, GetParam().utcMs);
    EXPECT_TRUE (LogTime::parse (LogTime::iso (ms), ms));
    EXPECT_EQ (ms, GetParam().utcMs);
}

INSTANTIATE_TEST_SUITE_P (Logger, TimeParsing,
                          testing::Values (TimeCase{"2026-03-10T20:00:00Z", 1773172800000},
                                           TimeCase{"2026-03-10T21:00:00+01:00", 1773172800000},
                                           TimeCase{"2026-03-10T15:30:00.250-0430", 1773172800250},
                                           TimeCase{"2026-03-10T20:00Z", 1773172800000}));

// Events the steps show: each kind needs its condition for its whole duration, a gap ends a run.
struct EventCase
{
    const char* name;
    float momentary, shortTerm, peak;
    int steps;
    bool gapHalfway;
    const char* expectedKind; // nullptr: no event
};

class Events : public testing::TestWithParam<EventCase>
{
};

TEST_P (Events, OnlyWhenHeldLongEnough)
{
    EventDetector::Settings settings;
    settings.silenceSeconds = 2.0;
    settings.loudSeconds = 2.0;
    settings.maxTruePeak = -1.0;
    settings.loudAbove = -22.0;
    EventDetector detector (settings);
    std::vector<LogEvent> events;
    const auto& c = GetParam();
    for (int i = 0; i < c.steps; ++i)
    {
        StepRecord step;
        step.timeMs = 100 * (i + 1) + (c.gapHalfway && i >= c.steps / 2 ? 5000 : 0);
        step.momentary = c.momentary;
        step.shortTerm = c.shortTerm;
        step.numChannels = 2;
        step.truePeak[1] = c.peak;
        detector.add (step, events);
    }

    if (c.expectedKind == nullptr)
        EXPECT_TRUE (events.empty());
    else
    {
        ASSERT_EQ (events.size(), 1u);
        EXPECT_EQ (events[0].kind, c.expectedKind);
        EXPECT_EQ (events[0].timeMs, 0);
    }
}

INSTANTIATE_TEST_SUITE_P (
    Logger, Events,
    testing::Values (EventCase{"silence", -80.0f, -80.0f, -90.0f, 20, false, "silence"},
                     EventCase{"shortSilence", -80.0f, -80.0f, -90.0f, 19, false, nullptr},
                     EventCase{"silenceAcrossGap", -80.0f, -80.0f, -90.0f, 30, true, nullptr},
                     EventCase{"loud", -20.0f, -21.9f, -10.0f, 20, false, "loud"},
                     EventCase{"atTheEdge", -20.0f, -22.0f, -1.0f, 40, false, nullptr},
                     EventCase{"peakOverOnce", -20.0f, -30.0f, -0.9f, 40, false, "true-peak-over"}),
    [] (const auto& p) { return std::string (p.param.name); });

// A database of a newer schema is refused, never written to.
TEST (LoggerDatabase, RefusesNewerSchema)
{
    TemporaryFolder folder;
    const auto file = folder["new.sqlite"];
    {
        LogDatabase db;
        ASSERT_TRUE (db.open (file, false).wasOk());
    }
    ASSERT_EQ (run ("sqlite3", {file.getFullPathName(), "PRAGMA user_version = 99;"}).status, 0);
    for (const bool readOnly : {false, true})
    {
        LogDatabase db;
        const auto opened = db.open (file, readOnly);
        ASSERT_TRUE (opened.failed());
        EXPECT_TRUE (opened.getErrorMessage().contains ("newer"));
    }
}

// A range over sessions in different arrangements gives each peak to the channel of the report's
// arrangement that carries that speaker, not to the channel of the same number.
TEST (LoggerDatabase, PeaksOfMixedArrangementsKeepTheirSpeakers)
{
    TemporaryFolder folder;
    LogDatabase db;
    ASSERT_TRUE (db.open (folder["mixed.sqlite"], false).wasOk());
    constexpr std::int64_t start = 1'773'000'000'000, second = 1000;
    // Each session: 10 steps with one loud channel (in its own arrangement's order).
    const struct
    {
        int layout, channels, channel;
        float peak;
    } sessions[] = {{SpeakerLayout::surround51, 6, 4, -9.0f},     // Ls
                    {SpeakerLayout::surround514, 10, 6, -6.0f},   // Ltf
                    {SpeakerLayout::surround714, 12, 6, -12.0f}}; // Lrs
    for (int i = 0; i < 3; ++i)
    {
        const auto began = start + i * second;
        ASSERT_GT (db.beginSession (began, "test", sessions[i].channels, 48000.0, sessions[i].layout), 0);
        std::vector<StepRecord> steps (10);
        for (int k = 0; k < 10; ++k)
        {
            steps[(size_t)k].timeMs = began + 100 * (k + 1);
            steps[(size_t)k].numChannels = sessions[i].channels;
            steps[(size_t)k].truePeak[sessions[i].channel] = sessions[i].peak;
        }
        ASSERT_TRUE (db.write (steps, {}).wasOk());
    }

    const auto peaksOf = [&db] (std::int64_t from, std::int64_t to, int layout)
    {
        RangeReport::Result r;
        EXPECT_TRUE (RangeReport::compute (db, from, to, {}, r, layout).wasOk());
        std::map<int, float> loud;
        for (int c = 0; c < StepRecord::maxChannels; ++c)
            if (std::isfinite (r.channelPeaks[c]))
                loud[c] = r.channelPeaks[c];
        return std::make_pair (r.layout, loud);
    };
    using Peaks = std::map<int, float>;
    // The whole range in its widest arrangement, 7.1.4: Ls on Lss, Ltf on Ltf, Lrs on Lrs.
    EXPECT_EQ (peaksOf (start, start + 3 * second, -1),
               std::make_pair ((int)SpeakerLayout::surround714, Peaks{{4, -9.0f}, {6, -12.0f}, {8, -6.0f}}));
    // The 5.1.4 session alone, in its own arrangement and in the whole range's (an hour row of
    // --daily under the day's columns).
    EXPECT_EQ (peaksOf (start + second, start + 2 * second, -1),
               std::make_pair ((int)SpeakerLayout::surround514, Peaks{{6, -6.0f}}));
    EXPECT_EQ (peaksOf (start + second, start + 2 * second, SpeakerLayout::surround714),
               std::make_pair ((int)SpeakerLayout::surround714, Peaks{{8, -6.0f}}));
}
} // namespace
