#include <gtest/gtest.h>

#include "MeasureRunner.h"

#include <map>
#include <memory>

using TestAudioFiles::Spec;

namespace
{
// Stereo 1 kHz programmes, written once for every case. A sine at P dBFS in both channels
// reads P LUFS; a 10 ms burst sets the true peak and lifts the programme loudness by 0.1 LU.
class MeasureTarget : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<TemporaryFolder>();
        const std::map<juce::String, std::vector<TestAudioFiles::Segment>> programmes{
            {"ok", {{-3.0f, 0.01}, {-23.0f, 20.0}}},       // -23 LUFS, true peak -3 dBTP
            {"loud", {{-21.5f, 20.0}}},                    // -21.5 LUFS
            {"peak", {{-0.5f, 0.01}, {-23.0f, 20.0}}},     // true peak -0.5 dBTP
            {"edge", {{-22.0f, 20.0}}},                    // exactly at -23 + 1
            {"shortTerm", {{-23.6f, 40.0}, {-17.0f, 3.5}}} // -22.6 LUFS, max short-term -17
        };

        for (const auto& [name, segments] : programmes)
        {
            Spec spec;
            spec.segments = segments;
            files[name] = writeAudio (*folder, name + ".wav", spec).getFullPathName();
        }
    }

    static void TearDownTestSuite()
    {
        files.clear();
        folder.reset();
    }

    static inline std::unique_ptr<TemporaryFolder> folder;
    static inline std::map<juce::String, juce::String> files;
};

juce::StringArray measuresOf (const juce::var& failures)
{
    juce::StringArray measures;
    if (const auto* list = failures.getArray())
        for (const auto& f : *list)
            measures.add (f["measure"].toString());
    return measures;
}
} // namespace

TEST_F (MeasureTarget, VerdictsInTextAndJson)
{
    struct Case
    {
        const char* file;
        juce::StringArray targetArguments;
        juce::String verdict;     // the text output's last line
        juce::StringArray failed; // the measures the JSON names
    };

    const Case cases[] = {
        {"ok", {"--target", "ebu-r128"}, "Target EBU R128: pass", {}},
        {"edge", {"--target", "ebu-r128"}, "Target EBU R128: pass", {}},
        {"loud",
         {"--target", "ebu-r128"},
         "Target EBU R128: fail (programme loudness -21.5 LUFS, above -23.0 +/- 1.0)",
         {"integrated"}},
        {"peak",
         {"--target", "ebu-r128"},
         "Target EBU R128: fail (max true peak -0.5 dBTP, above -1.0)",
         {"maxTruePeak"}},
        {"shortTerm", {"--target", "ebu-r128"}, "Target EBU R128: pass", {}},
        {"shortTerm",
         {"--target", "ebu-r128-s1"},
         "Target EBU R128 s1: fail (max short-term -17.0 LUFS, above -18.0)",
         {"maxShortTerm"}},
        {"loud",
         {"--target", "atsc-a85", "--standard", "atsc"},
         "Target ATSC A/85: fail (programme loudness -21.5 LKFS, above -24.0 +/- 2.0)",
         {"integrated"}},
        // Custom targets, and a named one tightened.
        {"loud", {"--target-loudness", "-21", "--tolerance=0.5"}, "Target custom: pass", {}},
        {"ok",
         {"--target-loudness", "-16", "--max-true-peak", "-4"},
         "Target custom: fail (programme loudness -22.9 LUFS, below -16.0 +/- 1.0; max true peak -3.0 dBTP, "
         "above -4.0)",
         {"integrated", "maxTruePeak"}},
        {"ok",
         {"--target", "ebu-r128", "--tolerance", "0.05"},
         "Target EBU R128: fail (programme loudness -22.9 LUFS, above -23.0 +/- 0.05)",
         {"integrated"}},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ((c.file + (" " + c.targetArguments.joinIntoString (" "))).toStdString());
        auto arguments = c.targetArguments;
        arguments.add (files[c.file]);

        const auto text = runMeasure (arguments);
        const auto expectedStatus = c.failed.isEmpty() ? 0 : 3;
        EXPECT_EQ (text.status, expectedStatus) << text.err;
        const auto lines = text.outLines();
        ASSERT_EQ (lines.size(), 11) << text.out;
        EXPECT_EQ (lines[10], c.verdict);

        arguments.insert (0, "--json");
        const auto json = runMeasure (arguments);
        EXPECT_EQ (json.status, expectedStatus);
        const auto target = json.jsonObjects()[0]["target"];
        EXPECT_EQ (static_cast<bool> (target["pass"]), c.failed.isEmpty());
        EXPECT_EQ (measuresOf (target["failures"]), c.failed);
    }
}

TEST_F (MeasureTarget, JsonLimitsAndReportVerdict)
{
    const auto report = folder->getFile().getNonexistentChildFile ("report", ".txt");
    const auto run = runMeasure (
        {"--json", "--target", "ebu-r128-s1", "--report", report.getFullPathName(), files["loud"]});
    ASSERT_EQ (run.status, 3) << run.err;

    const auto target = run.jsonObjects()[0]["target"];
    EXPECT_EQ (target["name"].toString(), "ebu-r128-s1");
    EXPECT_EQ (static_cast<double> (target["limits"]["loudness"]), -23.0);
    EXPECT_EQ (static_cast<double> (target["limits"]["tolerance"]), 1.0);
    EXPECT_EQ (static_cast<double> (target["limits"]["maxTruePeak"]), -1.0);
    EXPECT_EQ (static_cast<double> (target["limits"]["maxShortTerm"]), -18.0);
    const auto failure = target["failures"][0];
    EXPECT_EQ (static_cast<double> (failure["value"]), -21.5);
    EXPECT_EQ (failure["text"].toString(), "programme loudness -21.5 LUFS, above -23.0 +/- 1.0");

    // The report's statistics, then the same verdict line.
    juce::StringArray lines;
    lines.addLines (report.loadFileAsString().trimEnd());
    ASSERT_EQ (lines.size(), 12);
    EXPECT_TRUE (lines[10].startsWith ("S.T. Loudness hits over threshold:")) << lines[10];
    EXPECT_EQ (lines[11], "Target EBU R128 s1: fail (programme loudness -21.5 LUFS, above -23.0 +/- 1.0)");
}

TEST_F (MeasureTarget, ExitStatusOfABatch)
{
    const auto missing = folder->getFile().getChildFile ("missing.wav").getFullPathName();

    struct Case
    {
        juce::StringArray inputs;
        int status;
    };

    for (const auto& c : {Case{{files["ok"], files["edge"]}, 0}, Case{{files["ok"], files["loud"]}, 3},
                          Case{{files["loud"], missing, files["ok"]}, 1}})
    {
        SCOPED_TRACE (c.inputs.joinIntoString (" ").toStdString());
        auto arguments = c.inputs;
        arguments.insert (0, "--target=ebu-r128");
        const auto run = runMeasure (arguments);
        EXPECT_EQ (run.status, c.status) << run.err;
        // Every input that could be measured still gets its verdict.
        int verdicts = 0;
        for (const auto& line : run.outLines())
            verdicts += line.startsWith ("Target EBU R128: ") ? 1 : 0;
        EXPECT_EQ (verdicts, 2);
    }
}

TEST_F (MeasureTarget, TargetsThatCannotBeMetAsAskedAreUsageErrors)
{
    const std::vector<juce::StringArray> wrong{
        {"--target", "r128"},
        {"--target", "ebu-r128", "--tolerance", "2"},      // looser than the target's
        {"--target", "atsc-a85", "--max-true-peak", "-1"}, // the same
        {"--target", "ebu-r128-s1", "--max-short-term", "-16"},
        {"--target", "ebu-r128", "--target-loudness", "-16"}, // another level is another target
        {"--tolerance", "0.5"},                               // a tolerance of no level
        {"--target-loudness", "loud"},
        {"--max-true-peak", "+30"},
    };

    for (auto arguments : wrong)
    {
        SCOPED_TRACE (arguments.joinIntoString (" ").toStdString());
        arguments.add (files["ok"]);
        const auto run = runMeasure (arguments);
        EXPECT_EQ (run.status, 2);
        EXPECT_TRUE (run.err.startsWith ("tarn51-measure: --")) << run.err;
    }
}
