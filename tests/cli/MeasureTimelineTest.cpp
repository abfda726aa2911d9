#include <gtest/gtest.h>

#include "MeasureRunner.h"

#include <juce_graphics/juce_graphics.h>

#include <cstdlib>

namespace
{
// Stereo 1 kHz at -20 dBFS for 6 s, then -30 dBFS: -20.0 and -30.0 LUFS.
TestAudioFiles::Spec stepped (double secondsAtMinus30)
{
    TestAudioFiles::Spec spec;
    spec.segments = {{-20.0f, 6.0}, {-30.0f, secondsAtMinus30}};
    return spec;
}

std::vector<juce::StringArray> rowsOf (const juce::File& csv, juce::String& header)
{
    juce::StringArray lines;
    lines.addLines (csv.loadFileAsString());
    lines.removeEmptyStrings();
    header = lines[0];

    std::vector<juce::StringArray> rows;
    for (int i = 1; i < lines.size(); ++i)
        rows.push_back (juce::StringArray::fromTokens (lines[i], ",", ""));
    return rows;
}
} // namespace

// One row per 100 ms step, in the file's time, each value where the meter has one.
TEST (MeasureTimeline, OneRowPerStepWithTheValuesOfThatStep)
{
    const TemporaryFolder folder;
    const auto input = writeAudio (folder, "stepped.wav", stepped (4.05));
    const auto run =
        runMeasure ({"-q", "--timeline", folder["out/t.csv"].getFullPathName(), input.getFullPathName()});
    ASSERT_EQ (run.status, 0) << run.err;

    juce::String header;
    const auto rows = rowsOf (folder["out/t.csv"], header);
    EXPECT_EQ (header, "time_s,momentary_lufs,short_term_lufs,integrated_lufs,true_peak_dbtp");
    ASSERT_EQ (rows.size(), 100u); // 10.05 s: the last 50 ms make no step

    for (size_t i = 0; i < rows.size(); ++i)
    {
        ASSERT_EQ (rows[i].size(), 5) << i;
        ASSERT_EQ (rows[i][0], juce::String ((double)(i + 1) / 10.0, 1)) << i;
    }

    // Row -> momentary, short-term, integrated, true peak; "" where there is none yet.
    const std::vector<std::pair<size_t, juce::StringArray>> expected = {
        {2, {"", "", "", "-20.0"}},                 // 0.3 s: no full momentary window yet
        {3, {"-20.0", "", "-20.0", "-20.0"}},       // 0.4 s: the first one
        {28, {"-20.0", "", "-20.0", "-20.0"}},      // 2.9 s: no short-term window yet
        {29, {"-20.0", "-20.0", "-20.0", "-20.0"}}, // 3.0 s: the first one
        {63, {"-30.0", {}, {}, "-30.0"}},           // 6.4 s: the momentary window in the quiet part
        {99, {"-30.0", "-30.0", {}, "-30.0"}}};     // 10.0 s

    for (const auto& [row, values] : expected)
        for (int column = 0; column < 4; ++column)
        {
            if (row < 30 || values[column].isNotEmpty())
            {
                EXPECT_EQ (rows[row][column + 1], values[column])
                    << "row " << row << " column " << column + 1;
            }
        }

    // The integrated loudness falls once the quiet part counts.
    const auto integrated = rows[99][3].getFloatValue();
    EXPECT_LT (integrated, -20.5f);
    EXPECT_GT (integrated, -23.0f);
}

// With several inputs the named folder gets NAME.csv for each, each as long as its input.
TEST (MeasureTimeline, SeveralInputsFillAFolder)
{
    const TemporaryFolder folder;
    const auto a = writeAudio (folder, "a.wav", stepped (1.0));
    const auto b = writeAudio (folder, "b.flac",
                               []
                               {
                                   auto s = stepped (3.0);
                                   s.format = TestAudioFiles::Format::flac;
                                   return s;
                               }());
    const auto run = runMeasure (
        {"-q", "--timeline", folder["lines"].getFullPathName(), a.getFullPathName(), b.getFullPathName()});
    ASSERT_EQ (run.status, 0) << run.err;

    juce::String header;
    EXPECT_EQ (rowsOf (folder["lines/a.csv"], header).size(), 70u);
    EXPECT_EQ (rowsOf (folder["lines/b.csv"], header).size(), 90u);
}

// The picture is a PNG of the asked size, drawn without a display, with the curves on it.
TEST (MeasurePlot, APngOfTheAskedSizeWithoutADisplay)
{
    const TemporaryFolder folder;
    const auto input = writeAudio (folder, "stepped.wav", stepped (4.0));
    unsetenv ("DISPLAY");

    for (auto [size, width, height] :
         {std::tuple<const char*, int, int>{nullptr, 1200, 400}, {"640x240", 640, 240}})
    {
        juce::StringArray arguments{"-q", "--plot", folder["p.png"].getFullPathName(),
                                    input.getFullPathName()};
        if (size != nullptr)
            arguments.addArray ({"--plot-size", size});

        const auto run = runMeasure (arguments);
        ASSERT_EQ (run.status, 0) << run.err;
        EXPECT_EQ (run.err, "");

        const auto image = juce::ImageFileFormat::loadFrom (folder["p.png"]);
        ASSERT_TRUE (image.isValid());
        EXPECT_EQ (image.getWidth(), width);
        EXPECT_EQ (image.getHeight(), height);

        // The short-term curve in the meter's blue, over the first third of the time axis.
        int blue = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (const auto c = image.getPixelAt (x, y);
                    c.getBlue() > 150 && c.getBlue() > c.getGreen() + 40)
                    ++blue;
        EXPECT_GT (blue, width / 6) << size;
    }

    EXPECT_EQ (runMeasure ({"--plot", "p.png", "--plot-size", "20x10", input.getFullPathName()}).status, 2);
}
