#include <gtest/gtest.h>

#include "MeasureRunner.h"

#include "report/LoudnessReport.h"
#include "report/ReadoutText.h"
#include "support/TemporaryFolder.h"
#include "support/TestAudioFiles.h"

#include <cmath>
#include <regex>

using TestAudioFiles::Format;
using TestAudioFiles::Spec;

namespace
{
juce::File writeFile (const TemporaryFolder& folder, const juce::String& name, const Spec& spec)
{
    const auto file = folder[name];
    EXPECT_TRUE (TestAudioFiles::write (file, spec)) << name;
    return file;
}

double num (const juce::var& object, const char* key)
{
    const auto v = object.getProperty (key, juce::var());
    EXPECT_TRUE (v.isDouble() || v.isInt() || v.isInt64()) << key << " is missing or not a number";
    return static_cast<double> (v);
}

std::vector<double> truePeaks (const juce::var& object)
{
    std::vector<double> peaks;
    if (const auto* a = object.getProperty ("truePeak", juce::var()).getArray())
        for (const auto& v : *a)
            peaks.push_back (static_cast<double> (v));
    return peaks;
}

void expectPeaks (const juce::var& object, const std::vector<double>& expected, double tolerance)
{
    const auto peaks = truePeaks (object);
    ASSERT_EQ (peaks.size(), 6u);
    for (size_t c = 0; c < 6; ++c)
        EXPECT_NEAR (peaks[c], expected[c], expected[c] <= -70.0 ? 0.0 : tolerance) << "channel " << c;
}

// Loudness of 1 kHz sines in the channels L R C LFE Ls Rs (peak dBFS; -70 for none): a full
// scale sine in one front channel reads -3.01 LUFS, the surrounds weigh 1.41, LFE nothing.
double sineLoudness (const std::vector<double>& internalLevels)
{
    const double weights[] = {1.0, 1.0, 1.0, 0.0, 1.41, 1.41};
    double power = 0.0;
    for (size_t c = 0; c < 6; ++c)
        if (internalLevels[c] > -70.0)
            power += weights[c] * std::pow (10.0, (internalLevels[c] - 3.0103) / 10.0);
    return 10.0 * std::log10 (power);
}

// Loud first, then one dB quieter every 100 ms: the first momentary and short-term windows
// are the loudest, the first block has the highest peak.
std::vector<TestAudioFiles::Segment> descendingStairs()
{
    std::vector<TestAudioFiles::Segment> s;
    for (int i = 0; i < 40; ++i)
        s.push_back ({-10.0f - static_cast<float> (i), 0.1});
    return s;
}
} // namespace

TEST (MeasureCli, Ebu3341Case1ReadsMinus23Everywhere)
{
    const TemporaryFolder folder;
    Spec spec;
    spec.segments = TestAudioFiles::ebu3341Case1();
    const auto file = writeFile (folder, "case1.wav", spec);

    // Thresholds just below the programme: every momentary and short-term value is a hit.
    const auto run =
        runMeasure ({"--json", "--ml-threshold", "-24", "--st-threshold", "-24", file.getFullPathName()});
    ASSERT_EQ (run.status, 0) << run.err;
    EXPECT_TRUE (run.err.isEmpty()) << "no progress line unless stderr is a terminal: " << run.err;

    const auto objects = run.jsonObjects();
    ASSERT_EQ (objects.size(), 1);
    const auto& o = objects[0];

    EXPECT_EQ (o["file"].toString(), file.getFullPathName());
    EXPECT_EQ (num (o, "sampleRate"), 48000.0);
    EXPECT_EQ (num (o, "channels"), 2.0);
    EXPECT_NEAR (num (o, "durationSeconds"), 20.0, 1e-9);
    EXPECT_NEAR (num (o, "measuredSeconds"), 20.0, 1e-9);
    EXPECT_EQ (o["standard"].toString(), "EBU");
    EXPECT_NEAR (num (o, "integrated"), -23.0, 0.1);
    EXPECT_NEAR (num (o, "maxMomentary"), -23.0, 0.1);
    EXPECT_NEAR (num (o, "maxShortTerm"), -23.0, 0.1);
    EXPECT_GE (num (o, "loudnessRange"), 0.0);
    EXPECT_LE (num (o, "loudnessRange"), 0.5);
    EXPECT_NEAR (num (o, "maxTruePeak"), -23.0, 0.2);
    expectPeaks (o, {-23.0, -23.0, -70.0, -70.0, -70.0, -70.0}, 0.2);

    // 400 ms and 3 s windows every 100 ms over 20 s: none may be lost.
    EXPECT_EQ (num (o, "momentaryHits"), 197.0);
    EXPECT_EQ (num (o, "shortTermHits"), 171.0);
    // 20 s are too few for a settled loudness range.
    EXPECT_EQ (o["loudnessRangeStable"], juce::var (false));
    EXPECT_EQ (num (o, "momentaryThreshold"), -24.0);
    EXPECT_EQ (num (o, "shortTermThreshold"), -24.0);

    // The remaining keys are there and numbers.
    for (auto key : {"rangeLow", "rangeHigh", "maxMomentaryTime", "maxShortTermTime", "maxTruePeakTime"})
        num (o, key);
}

TEST (MeasureCli, Ebu3342Case1HasARangeOf10LU)
{
    const TemporaryFolder folder;
    Spec spec;
    spec.segments = TestAudioFiles::ebu3342Case1();
    const auto file = writeFile (folder, "lra1.wav", spec);

    const auto run = runMeasure ({"--json", file.getFullPathName()});
    ASSERT_EQ (run.status, 0) << run.err;
    const auto o = run.jsonObjects()[0];

    EXPECT_NEAR (num (o, "loudnessRange"), 10.0, 1.0);
    EXPECT_EQ (o["loudnessRangeStable"], juce::var (false)); // 40 s
    EXPECT_NEAR (num (o, "rangeLow"), -30.0, 1.0);
    EXPECT_NEAR (num (o, "rangeHigh"), -20.0, 1.0);
    // The power mean of -20 and -30 LUFS; the relative gate at about -32.6 keeps both halves.
    EXPECT_NEAR (num (o, "integrated"), -22.6, 0.3);
    EXPECT_NEAR (num (o, "maxShortTerm"), -20.0, 0.1);
    EXPECT_NEAR (num (o, "durationSeconds"), 40.0, 1e-9);
    // EBU program thresholds.
    EXPECT_EQ (num (o, "momentaryThreshold"), -15.0);
    EXPECT_EQ (num (o, "shortTermThreshold"), -18.0);
}

TEST (MeasureCli, GatingOffKeepsTheQuietHalf)
{
    const TemporaryFolder folder;
    Spec spec;
    spec.segments = {{-40.0f, 30.0}, {-20.0f, 30.0}};
    const auto file = writeFile (folder, "gate.wav", spec);

    const auto gated = runMeasure ({"--json", file.getFullPathName()});
    const auto ungated = runMeasure ({"--json", "--gating", "off", file.getFullPathName()});
    ASSERT_EQ (gated.status, 0);
    ASSERT_EQ (ungated.status, 0);

    // Gated, the -40 half falls below the relative gate; ungated it halves the power.
    EXPECT_NEAR (num (gated.jsonObjects()[0], "integrated"), -20.0, 0.3);
    EXPECT_NEAR (num (ungated.jsonObjects()[0], "integrated"), -23.0, 0.3);
    // A minute measured: the range has settled.
    EXPECT_EQ (gated.jsonObjects()[0]["loudnessRangeStable"], juce::var (true));
}

TEST (MeasureCli, FiveChannelExtensibleFileIsMappedByItsMask)
{
    const TemporaryFolder folder;

    // L R LFE Ls Rs (mask 0x3b): counting channels would make the third one the centre.
    juce::AudioChannelSet layout;
    for (auto type : {juce::AudioChannelSet::left, juce::AudioChannelSet::right, juce::AudioChannelSet::LFE,
                      juce::AudioChannelSet::leftSurround, juce::AudioChannelSet::rightSurround})
        layout.addChannel (type);

    Spec spec;
    spec.numChannels = 5;
    spec.layout = layout;
    spec.segments = {{-20.0f, 10.0}};
    spec.channelGainsDb = {0.0f, -2.0f, -4.0f, -6.0f, -8.0f};
    const auto file = writeFile (folder, "five.wav", spec);

    const auto run = runMeasure ({"--json", file.getFullPathName()});
    ASSERT_EQ (run.status, 0) << run.err;
    const auto o = run.jsonObjects()[0];

    EXPECT_EQ (num (o, "channels"), 5.0);
    expectPeaks (o, {-20.0, -22.0, -70.0, -24.0, -26.0, -28.0}, 0.2);
    EXPECT_NEAR (num (o, "integrated"), sineLoudness ({-20.0, -22.0, -70.0, -24.0, -26.0, -28.0}), 0.2);
}

TEST (MeasureCli, SixChannelOrdersFollowTheLayoutOption)
{
    const TemporaryFolder folder;
    Spec spec;
    spec.numChannels = 6;
    spec.segments = {{-10.0f, 5.0}};
    spec.channelGainsDb = {0.0f, -4.0f, -8.0f, -12.0f, -16.0f, -20.0f};
    const auto file = writeFile (folder, "six.wav", spec); // no mask: by count

    struct Case
    {
        const char* layout;
        std::vector<double> peaks; // internal order L R C LFE Ls Rs
    };

    for (const auto& c :
         {Case{"auto", {-10, -14, -18, -22, -26, -30}}, Case{"itu", {-10, -14, -18, -22, -26, -30}},
          Case{"c24", {-10, -18, -14, -30, -22, -26}}, Case{"dts", {-10, -14, -26, -30, -18, -22}}})
    {
        SCOPED_TRACE (c.layout);
        const auto run = runMeasure ({"--json", "--layout", c.layout, file.getFullPathName()});
        ASSERT_EQ (run.status, 0) << run.err;
        expectPeaks (run.jsonObjects()[0], c.peaks, 0.2);
    }
}

TEST (MeasureCli, OggVorbisSurroundUsesTheVorbisChannelOrder)
{
    const TemporaryFolder folder;
    Spec spec;
    spec.format = Format::oggVorbis;
    spec.bitsPerSample = 16;
    spec.numChannels = 6;
    // A low tone, which the encoder keeps in its band-limited LFE channel too.
    spec.frequency = 100.0;
    spec.segments = {{-6.0f, 5.0}};
    // Vorbis order: L C R Ls Rs LFE.
    spec.channelGainsDb = {0.0f, -4.0f, -8.0f, -12.0f, -16.0f, -30.0f};
    const auto file = writeFile (folder, "six.ogg", spec);

    const auto run = runMeasure ({"--json", file.getFullPathName()});
    ASSERT_EQ (run.status, 0) << run.err;
    const auto peaks = truePeaks (run.jsonObjects()[0]);
    ASSERT_EQ (peaks.size(), 6u);
    EXPECT_NEAR (peaks[0], -6.0, 1.0);
    EXPECT_NEAR (peaks[1], -14.0, 1.0);
    EXPECT_NEAR (peaks[2], -10.0, 1.0);
    EXPECT_NEAR (peaks[4], -18.0, 1.0);
    EXPECT_NEAR (peaks[5], -22.0, 1.0);
    // The codec's band-limited LFE channel comes back some 3 dB louder, still far below the rest.
    EXPECT_NEAR (peaks[3], -34.0, 4.0);
}

TEST (MeasureCli, EveryFormatReadsTheSameProgramme)
{
    const TemporaryFolder folder;
    Spec spec;
    spec.bitsPerSample = 16;
    spec.segments = {{-23.0f, 6.0}};

    juce::StringArray args{"--json"};
    for (auto [format, name] : {std::pair{Format::wav, "a.wav"}, std::pair{Format::aiff, "a.aiff"},
                                std::pair{Format::flac, "a.flac"}})
    {
        spec.format = format;
        args.add (writeFile (folder, name, spec).getFullPathName());
    }

    spec.format = Format::wav;
    spec.bitsPerSample = 32;
    args.add (writeFile (folder, "float.wav", spec).getFullPathName());

    const auto run = runMeasure (args);
    ASSERT_EQ (run.status, 0) << run.err;
    const auto objects = run.jsonObjects();
    ASSERT_EQ (objects.size(), 4);

    for (const auto& o : objects)
    {
        SCOPED_TRACE (o["file"].toString());
        EXPECT_NEAR (num (o, "integrated"), -23.0, 0.1);
        EXPECT_NEAR (num (o, "durationSeconds"), 6.0, 1e-9);
        EXPECT_NEAR (num (o, "maxTruePeak"), -23.0, 0.2);
    }
}

TEST (MeasureCli, BlockSizeDoesNotChangeTheResult)
{
    const TemporaryFolder folder;
    Spec spec;
    spec.segments = descendingStairs();
    const auto file = writeFile (folder, "stairs.wav", spec);

    const auto a = runMeasure ({"--json", file.getFullPathName()});
    const auto b = runMeasure ({"--json", "--block", "77", file.getFullPathName()});
    const auto c = runMeasure ({"--json", "--block=48000", file.getFullPathName()});
    ASSERT_EQ (a.status, 0);
    ASSERT_EQ (b.status, 0);
    ASSERT_EQ (c.status, 0);

    for (const auto* other : {&b, &c})
        for (auto key : {"integrated", "loudnessRange", "maxMomentary", "maxShortTerm", "maxTruePeak",
                         "momentaryHits", "shortTermHits", "measuredSeconds"})
            EXPECT_NEAR (num (other->jsonObjects()[0], key), num (a.jsonObjects()[0], key), 1e-3) << key;

    // Numbers as the report prints them, times to the millisecond: never a double's digits
    // (-8.800000000000001).
    for (const auto* run : {&a, &b, &c})
        EXPECT_FALSE (std::regex_search (run->out.toStdString(), std::regex ("[0-9]\\.[0-9]{4,}")))
            << run->out;
}

TEST (MeasureCli, InputsThatCannotBeMeasuredAreNamedAndTheRestMeasured)
{
    const TemporaryFolder folder;

    const auto text = folder["notes.wav"];
    ASSERT_TRUE (text.replaceWithText ("This is not audio, only a text with a .wav name.\n"));

    // Ten channels with no speakers named: 5.1.4 or 7.1.2, which only --layout can tell.
    Spec ten;
    ten.numChannels = 10;
    ten.segments = {{-20.0f, 1.0}};
    const auto tenFile = writeFile (folder, "ten.wav", ten);

    Spec slow;
    slow.sampleRate = 4000.0;
    slow.segments = {{-20.0f, 1.0}};
    const auto slowFile = writeFile (folder, "slow.wav", slow);

    Spec good;
    good.segments = {{-20.0f, 1.0}};
    const auto goodFile = writeFile (folder, "good.wav", good);

    const auto missing = folder["missing.wav"].getFullPathName();

    const auto run = runMeasure ({"--json", missing, text.getFullPathName(), tenFile.getFullPathName(),
                                  goodFile.getFullPathName(), slowFile.getFullPathName()});
    EXPECT_EQ (run.status, 1);

    // The good file is still measured.
    const auto objects = run.jsonObjects();
    ASSERT_EQ (objects.size(), 1);
    EXPECT_EQ (objects[0]["file"].toString(), goodFile.getFullPathName());

    juce::StringArray errors;
    errors.addLines (run.err.trimEnd());
    ASSERT_EQ (errors.size(), 4) << run.err;
    EXPECT_TRUE (errors[0].contains (missing) && errors[0].contains ("no such file")) << errors[0];
    EXPECT_TRUE (errors[1].contains (text.getFullPathName()) && errors[1].contains ("not an audio file"))
        << errors[1];
    EXPECT_TRUE (errors[2].contains (tenFile.getFullPathName()) && errors[2].contains ("10 channels") &&
                 errors[2].contains ("--layout"))
        << errors[2];
    EXPECT_TRUE (errors[3].contains (slowFile.getFullPathName()) && errors[3].contains ("4000") &&
                 errors[3].contains ("8000 to 384000 Hz"))
        << errors[3];

    // One input that fails is enough for status 1.
    EXPECT_EQ (runMeasure ({missing}).status, 1);
}

TEST (MeasureCli, UsageErrorsExitWith2)
{
    const TemporaryFolder folder;
    Spec good;
    good.segments = {{-20.0f, 0.5}};
    const auto file = writeFile (folder, "good.wav", good).getFullPathName();

    const std::vector<juce::StringArray> wrong{
        {},
        {"--bogus", file},
        {"--standard", "ebu128", file},
        {"--gating", "maybe", file},
        {"--layout", "dolby", file},
        {"--block", "0", file},
        {"--block", "12.5", file},
        {"--block", "x", file},
        {"--ml-threshold", "loud", file},
        {"--ml-threshold", "-5", file},
        {"--st-threshold", "-31", file},
        {"--reference", file},
        {"--json", "--report"},
        {"--quiet=yes", file},
    };

    for (const auto& args : wrong)
    {
        SCOPED_TRACE (args.joinIntoString (" ").toStdString());
        const auto run = runMeasure (args);
        EXPECT_EQ (run.status, 2);
        EXPECT_TRUE (run.out.isEmpty());
        EXPECT_TRUE (run.err.startsWith ("tarn51-measure: ")) << run.err;
        EXPECT_TRUE (run.err.contains ("usage: tarn51-measure")) << run.err;
    }

    const auto help = runMeasure ({"--help"});
    EXPECT_EQ (help.status, 0);
    EXPECT_TRUE (help.out.contains ("--reference"));
}

TEST (MeasureCli, TextOutputIsTheReportsStatisticsLines)
{
    const TemporaryFolder folder;
    Spec spec;
    spec.segments = descendingStairs();
    const auto file = writeFile (folder, "stairs.wav", spec);

    // Blocks of 100 ms, so each window ends with a block and its maximum carries that block's
    // start time.
    const auto json = runMeasure ({"--json", "--block", "4800", file.getFullPathName()});
    const auto text = runMeasure ({"--block", "4800", file.getFullPathName()});
    ASSERT_EQ (json.status, 0);
    ASSERT_EQ (text.status, 0);
    const auto o = json.jsonObjects()[0];

    // The first 400 ms hold -10 to -13 dBFS.
    EXPECT_NEAR (num (o, "maxMomentary"), 10.0 * std::log10 ((0.1 + 0.0794328 + 0.0630957 + 0.0501187) / 4.0),
                 0.1);
    EXPECT_NEAR (num (o, "maxTruePeak"), -10.0, 0.2);

    const auto value = [&o] (const char* key)
    { return ReadoutText::value (static_cast<float> (num (o, key)), ""); };

    const auto lines = text.outLines();
    ASSERT_EQ (lines.size(), 10) << text.out;
    EXPECT_EQ (lines[0], file.getFullPathName());
    EXPECT_EQ (lines[1], "Program Loudness: " + value ("integrated") + " LUFS");
    EXPECT_EQ (lines[2], "Loudness Range: " + value ("loudnessRange") + " LU");
    EXPECT_EQ (lines[3], "Max. S.T. Loudness: " + value ("maxShortTerm") + " LUFS at 00:00:02:900");
    EXPECT_EQ (lines[4], "Max. Mom. Loudness: " + value ("maxMomentary") + " LUFS at 00:00:00:300");
    EXPECT_EQ (lines[5], "Max. True Peak: -10.0  dBTP at 00:00:00:000");
    EXPECT_EQ (lines[6], "Mom. Loudness threshold: -15");
    EXPECT_EQ (lines[7], "Mom. Loudness hits over threshold:  " +
                             juce::String (static_cast<int> (num (o, "momentaryHits"))));
    EXPECT_EQ (lines[8], "S.T. Loudness threshold: -18");
    EXPECT_EQ (lines[9], "S.T. Loudness hits over threshold:  " +
                             juce::String (static_cast<int> (num (o, "shortTermHits"))));
    // Momentary values from -11.4 down: the first four windows reach -15.
    EXPECT_EQ (num (o, "momentaryHits"), 4.0);
}

TEST (MeasureCli, ReferenceProgrammeAndTheAtscProgram)
{
    const auto run = runMeasure ({"--reference", "--json"});
    ASSERT_EQ (run.status, 0) << run.err;
    const auto o = run.jsonObjects()[0];
    EXPECT_EQ (o["file"].toString(), "reference");
    EXPECT_EQ (num (o, "channels"), 2.0);
    EXPECT_NEAR (num (o, "durationSeconds"), 20.0, 1e-9);
    EXPECT_NEAR (num (o, "integrated"), -23.0, 0.1);
    expectPeaks (o, {-23.0, -23.0, -70.0, -70.0, -70.0, -70.0}, 0.2);
    // The first block holds the highest peak, and equal peaks later do not move its time.
    EXPECT_EQ (num (o, "maxTruePeakTime"), 0.0);

    const auto atsc = runMeasure ({"--reference", "--standard", "atsc"});
    ASSERT_EQ (atsc.status, 0) << atsc.err;
    const auto lines = atsc.outLines();
    ASSERT_EQ (lines.size(), 10);
    EXPECT_EQ (lines[1], "Program Loudness: -23.0  LKFS");
    EXPECT_TRUE (lines[3].startsWith ("Max. S.T. Loudness: -23.0  LKFS at ")) << lines[3];
    EXPECT_TRUE (lines[4].startsWith ("Max. Mom. Loudness: -23.0  LKFS at ")) << lines[4];
    EXPECT_EQ (lines[5], "Max. True Peak: -23.0  dBTP at 00:00:00:000");
    EXPECT_EQ (lines[6], "Mom. Loudness threshold: -10");
    EXPECT_EQ (lines[8], "S.T. Loudness threshold: -10");

    const auto atscJson = runMeasure ({"--reference", "--standard", "ATSC", "--json"}).jsonObjects()[0];
    EXPECT_EQ (atscJson["standard"].toString(), "ATSC");
    EXPECT_EQ (num (atscJson, "momentaryThreshold"), -10.0);
}

TEST (MeasureCli, ReportFilesForOneAndForSeveralInputs)
{
    const TemporaryFolder folder;
    Spec spec;
    spec.segments = {{-20.0f, 4.0}};
    const auto a = writeFile (folder, "a.wav", spec);
    spec.segments = {{-30.0f, 4.0}};
    spec.format = Format::flac;
    ASSERT_TRUE (folder["sub"].createDirectory());
    const auto b = writeFile (folder, "sub/a.flac", spec); // the same name in another folder

    // One input: the named file, CR LF lines, the same statistics as printed.
    const auto single = runMeasure ({a.getFullPathName(), "--report", folder["one.txt"].getFullPathName()});
    ASSERT_EQ (single.status, 0) << single.err;

    juce::MemoryBlock bytes;
    ASSERT_TRUE (folder["one.txt"].loadFileAsData (bytes));
    const auto content = bytes.toString();
    EXPECT_TRUE (content.startsWith ("Loudness report generated by Velnor - Tarn5.1 at ")) << content;
    EXPECT_TRUE (content.endsWith ("\r\n"));
    EXPECT_EQ (content.replace ("\r\n", "").indexOfAnyOf ("\r\n"), -1) << "only CR LF line ends";

    juce::StringArray reportLines;
    reportLines.addTokens (content, "\r\n", "");
    reportLines.removeEmptyStrings (false);
    auto printed = single.outLines();
    printed.remove (0); // the input's name
    ASSERT_EQ (reportLines.size(), 10);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ (reportLines[i + 1], printed[i]);

    // Several inputs: one report each in the named folder, none overwriting another.
    const auto many = runMeasure (
        {a.getFullPathName(), b.getFullPathName(), "--report", folder["reports"].getFullPathName()});
    ASSERT_EQ (many.status, 0) << many.err;
    EXPECT_TRUE (folder["reports/a.txt"].loadFileAsString().contains ("Program Loudness: -20.0  LUFS"));
    EXPECT_TRUE (folder["reports/a-2.txt"].loadFileAsString().contains ("Program Loudness: -30.0  LUFS"));

    // A report that cannot be written makes the run fail.
    ASSERT_TRUE (folder["blocker"].replaceWithText ("a file where a folder should be"));
    const auto failed =
        runMeasure ({a.getFullPathName(), "--report", folder["blocker/r.txt"].getFullPathName()});
    EXPECT_EQ (failed.status, 1);
    EXPECT_TRUE (failed.err.contains ("report")) << failed.err;
}
