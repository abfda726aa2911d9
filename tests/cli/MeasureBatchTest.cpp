#include <gtest/gtest.h>

#include "MeasureRunner.h"

using TestAudioFiles::Format;
using TestAudioFiles::Spec;

namespace
{
Spec programme (float dBFS, double seconds, Format format = Format::wav)
{
    Spec spec;
    spec.format = format;
    spec.bitsPerSample = 16;
    spec.segments = {{dBFS, seconds}, {dBFS - 12.0f, seconds / 2.0}};
    return spec;
}

juce::StringArray filesOf (const MeasureRun& run)
{
    juce::StringArray files;
    for (const auto& o : run.jsonObjects())
        files.add (o["file"].toString());
    return files;
}
} // namespace

TEST (MeasureBatch, JobsKeepInputOrderAndValues)
{
    const TemporaryFolder folder;

    // The long one first, so that with several jobs the later inputs finish before it.
    juce::StringArray inputs;
    const float levels[] = {-20.0f, -31.0f, -14.5f, -26.0f, -23.0f};
    for (int i = 0; i < 5; ++i)
        inputs.add (writeAudio (folder, "in" + juce::String (i) + ".flac",
                                programme (levels[i], i == 0 ? 30.0 : 4.0 + i, Format::flac))
                        .getFullPathName());

    juce::StringArray serial{"--json", "-j", "1", "--target", "ebu-r128"};
    serial.addArray (inputs);
    juce::StringArray parallel{"--json", "--jobs=2", "--target", "ebu-r128"};
    parallel.addArray (inputs);

    const auto one = runMeasure (serial);
    const auto two = runMeasure (parallel);
    ASSERT_EQ (one.status, 3) << one.err;
    EXPECT_EQ (two.status, 3) << two.err;
    EXPECT_EQ (filesOf (one), inputs);
    EXPECT_EQ (two.out, one.out);
}

TEST (MeasureBatch, RecursiveFoldersListTheirAudioFilesSorted)
{
    const TemporaryFolder folder;
    const auto spec = programme (-23.0f, 1.0);
    for (auto name : {"tree/b.wav", "tree/A.WAV", "tree/a/z.wav", "tree/a/.y.wav", "tree/.hidden/x.wav"})
    {
        ASSERT_TRUE (folder[name].getParentDirectory().createDirectory());
        writeAudio (folder, name, spec);
    }
    ASSERT_TRUE (folder["tree/a/notes.txt"].replaceWithText ("not audio"));
    ASSERT_TRUE (folder["empty/sub"].createDirectory());

    // Names through the folder as given; hidden files and folders and other files left out.
    const auto run = runMeasure ({"--json", "-r", "tree", "empty"}, folder.getFile());
    EXPECT_EQ (filesOf (run), juce::StringArray ({"tree/A.WAV", "tree/a/z.wav", "tree/b.wav"}));

    // A folder with no audio file is an input that cannot be measured.
    EXPECT_EQ (run.status, 1);
    EXPECT_TRUE (run.err.startsWith ("tarn51-measure: empty: a folder with no audio files")) << run.err;

    // Without -r a folder stays an error.
    EXPECT_TRUE (runMeasure ({"tree"}, folder.getFile()).err.contains ("tree: is a folder")) << run.err;
}

TEST (MeasureBatch, SummaryHasARowPerInput)
{
    const TemporaryFolder folder;
    writeAudio (folder, "good, \"quoted\".wav", programme (-23.0f, 6.0));
    writeAudio (folder, "loud.wav", programme (-16.0f, 6.0));
    ASSERT_TRUE (folder["text.wav"].replaceWithText ("not audio"));

    const auto run = runMeasure ({"--json", "--target", "ebu-r128", "--summary", "out/summary.csv",
                                  "good, \"quoted\".wav", "missing.wav", "text.wav", "loud.wav"},
                                 folder.getFile());
    EXPECT_EQ (run.status, 1);

    const auto objects = run.jsonObjects();
    ASSERT_EQ (objects.size(), 2);
    const auto jsonNumber = [] (const juce::var& o, const char* key)
    { return juce::JSON::toString (o[key], true); };

    juce::StringArray expected{
        "file,durationSeconds,integrated,loudnessRange,maxMomentary,maxShortTerm,maxTruePeak,target,verdict,"
        "failures,error",
        "\"good, \"\"quoted\"\".wav\",9.0," + jsonNumber (objects[0], "integrated") + "," +
            jsonNumber (objects[0], "loudnessRange") + "," + jsonNumber (objects[0], "maxMomentary") + "," +
            jsonNumber (objects[0], "maxShortTerm") + "," + jsonNumber (objects[0], "maxTruePeak") +
            ",ebu-r128,pass,,",
        "missing.wav,,,,,,,,,,no such file",
        "text.wav,,,,,,,,,,not an audio file the meter reads (Invalid data found when processing input)",
        "loud.wav,9.0," + jsonNumber (objects[1], "integrated") + "," +
            jsonNumber (objects[1], "loudnessRange") + "," + jsonNumber (objects[1], "maxMomentary") + "," +
            jsonNumber (objects[1], "maxShortTerm") + "," + jsonNumber (objects[1], "maxTruePeak") +
            ",ebu-r128,fail,\"" + objects[1]["target"]["failures"][0]["text"].toString() + "\",",
    };

    juce::StringArray rows;
    rows.addTokens (folder["out/summary.csv"].loadFileAsString(), "\n", "");
    rows.removeEmptyStrings();
    rows.trim();
    EXPECT_EQ (rows.joinIntoString ("\n"), expected.joinIntoString ("\n"));
}

TEST (MeasureBatch, BatchUsageErrors)
{
    const TemporaryFolder folder;
    const auto input = writeAudio (folder, "in.wav", programme (-23.0f, 1.0)).getFullPathName();
    const auto size = juce::File (input).getSize();

    for (const auto& arguments : std::vector<juce::StringArray>{{"-j", "0", input},
                                                                {"--jobs", "two", input},
                                                                {"--summary=", input},
                                                                {"-j"},
                                                                // Nothing written over an input.
                                                                {"--summary", input, input},
                                                                {"--report", input, input},
                                                                {"--timeline", input, input},
                                                                {"--plot", input, input}})
    {
        SCOPED_TRACE (arguments.joinIntoString (" ").toStdString());
        const auto run = runMeasure (arguments);
        EXPECT_EQ (run.status, 2);
        EXPECT_TRUE (run.err.startsWith ("tarn51-measure: -")) << run.err;
        EXPECT_EQ (juce::File (input).getSize(), size);
    }
}
