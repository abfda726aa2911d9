// tarn51-measure: the meter's processor run offline over audio files.

#include "MeasureJob.h"
#include "MeasureOptions.h"
#include "MeasurementOutput.h"
#include "TimelinePlot.h"

#include "report/LoudnessReport.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char* const programName = "tarn51-measure";

void printError (const juce::String& message)
{
    std::fprintf (stderr, "%s: %s\n", programName, message.toRawUTF8());
}

int usageError (const juce::String& message)
{
    printError (message);
    std::fprintf (stderr, "\n%s", MeasureOptions::usage().toRawUTF8());
    return 2;
}

// The input that a file written by the run would replace, if any (links followed).
const MeasureJob::Input* inputAt (const juce::File& file, const std::vector<MeasureJob::Input>& inputs)
{
    struct stat target
    {
    };
    if (::stat (file.getFullPathName().toRawUTF8(), &target) != 0)
        return nullptr;

    for (const auto& input : inputs)
    {
        struct stat other
        {
        };
        const auto path =
            juce::File::getCurrentWorkingDirectory().getChildFile (input.name).getFullPathName();
        if (::stat (path.toRawUTF8(), &other) == 0 && other.st_dev == target.st_dev &&
            other.st_ino == target.st_ino)
            return &input;
    }

    return nullptr;
}

// "40 s", "3 min", "2 h 05 min": audio still to measure, rounded up.
juce::String audioLeftText (double seconds)
{
    const auto s = static_cast<juce::int64> (std::ceil (seconds));
    if (s < 60)
        return juce::String (s) + " s";

    const auto minutes = (s + 59) / 60;
    if (minutes < 60)
        return juce::String (minutes) + " min";

    return juce::String (minutes / 60) + " h " + juce::String (minutes % 60).paddedLeft ('0', 2) + " min";
}

// The progress line goes to a terminal only, redrawn in place by the main thread and wiped
// when done: "NAME: 40 %" for one input, "12 of 40 files, 3 min of audio left" for several.
// The measuring threads only store how far each input has come.
class ProgressLine
{
public:
    ProgressLine (bool enabled, const std::vector<MeasureJob::Input>& allInputs,
                  const MeasureOptions& measureOptions)
        : shown (enabled), inputs (allInputs), options (measureOptions), proportions (allInputs.size()),
          durations (allInputs.size(), -1.0)
    {
    }

    ~ProgressLine() { clear(); }

    // Measuring threads.
    void setProportion (int index, double proportion) { proportions[(size_t)index] = proportion; }

    // Main thread. Wipes the line before an input's output is printed, and draws it again.
    void clear()
    {
        if (width > 0)
        {
            std::fprintf (stderr, "\r%*s\r", width, "");
            std::fflush (stderr);
            width = 0;
        }
    }

    void finished (int index)
    {
        proportions[(size_t)index] = 1.0;
        ++done;
    }

    void draw()
    {
        if (!shown)
            return;

        // A pipe's length is not known: no percentage.
        const auto text =
            inputs.size() != 1 ? batchText()
            : proportions[0] < 0.0
                ? inputs[0].label() + ": measuring"
                : inputs[0].label() + ": " + juce::String (juce::roundToInt (proportions[0] * 100.0)) + " %";
        width = std::max (width, text.length());
        std::fprintf (stderr, "\r%-*s", width, text.toRawUTF8());
        std::fflush (stderr);
    }

private:
    juce::String batchText()
    {
        auto text = juce::String (done) + " of " + juce::String ((int)inputs.size()) + " files";

        // Lengths are read a few at a time between redraws, so that a long list does not hold
        // up the first line; the time left shows once every length is known.
        const auto until = juce::Time::getMillisecondCounter() + 20;
        for (; scanned < durations.size() && juce::Time::getMillisecondCounter() < until; ++scanned)
            durations[scanned] = MeasureJob::durationOf (inputs[scanned], options);

        if (scanned < durations.size())
            return text;

        double left = 0.0;
        for (size_t i = 0; i < durations.size(); ++i)
            left += durations[i] * (1.0 - std::max (0.0, proportions[i].load()));

        return text + ", " + audioLeftText (left) + " of audio left";
    }

    bool shown;
    const std::vector<MeasureJob::Input>& inputs;
    const MeasureOptions& options;
    std::vector<std::atomic<double>> proportions;
    std::vector<double> durations;
    size_t scanned = 0;
    int done = 0;
    int width = 0;
};

// Names the file an output option writes for each input: the named file itself for one input,
// NAME.extension in the named folder for several (or when it names a folder). A name that two
// inputs would share gets a number, so that no file overwrites another of the same run.
class OutputNames
{
public:
    OutputNames (const juce::String& path, size_t numInputs, const char* fileExtension,
                 const char* fallbackStem)
        : extension (fileExtension), fallback (fallbackStem)
    {
        if (path.isEmpty())
            return;

        target = juce::File::getCurrentWorkingDirectory().getChildFile (path);
        intoFolder = numInputs > 1 || target.isDirectory();
    }

    // The one file the option names, when it names no folder.
    juce::File singleFile() const { return intoFolder ? juce::File() : target; }

    // No file when the option was not given. One stream of a file measured stream by stream
    // gets NAME-streamN.
    juce::File next (const MeasureJob::Input& input)
    {
        if (!intoFolder)
            return target;

        auto stem = juce::File::createLegalFileName (juce::File (input.name).getFileNameWithoutExtension());
        if (stem.isEmpty())
            stem = fallback;
        if (input.stream > 0)
            stem << "-stream" << input.stream;

        auto name = stem;
        for (int n = 2; used.count (name.toLowerCase()) != 0; ++n)
            name = stem + "-" + juce::String (n);

        used[name.toLowerCase()] = true;
        return target.getChildFile (name + extension);
    }

private:
    juce::File target;
    bool intoFolder = false;
    juce::String extension, fallback;
    std::map<juce::String, bool> used;
};
} // namespace

int main (int argc, char* argv[])
{
    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    MeasureOptions options;
    const auto parsed = MeasureOptions::parse (arguments, options);

    if (parsed.failed())
        return usageError (parsed.getErrorMessage());

    if (options.help)
    {
        std::fputs (MeasureOptions::usage().toRawUTF8(), stdout);
        return 0;
    }

    juce::ScopedJuceInitialiser_GUI juce;

    auto inputs = MeasureJob::listInputs (options);
    const auto jobs = options.jobs > 0 ? options.jobs : juce::SystemStats::getNumCpus();
    const auto here = juce::File::getCurrentWorkingDirectory();

    // One input writes each output to the named file; several fill the named folder.
    OutputNames reportNames (options.reportPath, inputs.size(), ".txt", "report");
    OutputNames plotNames (options.plotPath, inputs.size(), ".png", "plot");

    // The timelines are written while the inputs are measured, so their names come first.
    OutputNames timelineNames (options.timelinePath, inputs.size(), ".csv", "timeline");
    for (auto& input : inputs)
        input.timeline = timelineNames.next (input);

    // A file written over an input would destroy the audio it was measured from.
    const auto summaryFile =
        options.summaryPath.isNotEmpty() ? here.getChildFile (options.summaryPath) : juce::File();
    for (const auto& [option, file] :
         {std::pair{"--report", reportNames.singleFile()},
          std::pair{"--timeline", timelineNames.singleFile()}, std::pair{"--plot", plotNames.singleFile()},
          std::pair{"--summary", summaryFile}})
        if (const auto* input = file != juce::File() ? inputAt (file, inputs) : nullptr)
            return usageError (juce::String (option) + " would overwrite the input " + input->name);

    const bool withTarget = options.target.has_value();
    auto summary = MeasurementOutput::summaryHeader (withTarget);

    bool allMeasured = true;
    bool anyFailedTarget = false;
    bool anyUsageError = false;
    bool first = true;

    {
        ProgressLine progress (!options.quiet && isatty (STDERR_FILENO) != 0, inputs, options);

        MeasureJob::measureAll (
            inputs, options, jobs,
            [&progress] (int index, double proportion) { progress.setProportion (index, proportion); },
            [&progress] { progress.draw(); },
            [&] (int index, MeasureJob::Outcome& outcome)
            {
                const auto& entry = inputs[(size_t)index];
                const auto input = entry.label();
                const auto& measurement = outcome.measurement;
                progress.finished (index);
                progress.clear();
                const juce::ScopeGuard redraw{[&progress, index, &inputs]
                                              {
                                                  if (index + 1 < (int)inputs.size())
                                                      progress.draw();
                                              }};

                if (outcome.result.failed())
                {
                    printError (input + ": " + outcome.result.getErrorMessage());
                    summary << MeasurementOutput::summaryRow (input, outcome.result.getErrorMessage(),
                                                              withTarget);
                    allMeasured = false;
                    anyUsageError = anyUsageError || outcome.usageError;
                    return;
                }

                if (measurement.decodeErrors > 0)
                    printError (input + ": warning: " + juce::String (measurement.decodeErrors) +
                                " decode errors; the readings are of what decoded");

                const auto output = options.json
                                        ? MeasurementOutput::json (entry.name, measurement) + "\n"
                                        : (first ? "" : "\n") + MeasurementOutput::text (input, measurement);
                std::fputs (output.toRawUTF8(), stdout);
                std::fflush (stdout);
                first = false;
                anyFailedTarget = anyFailedTarget || measurement.failedTarget();
                summary << MeasurementOutput::summaryRow (input, measurement, withTarget);

                const auto failed = [&input, &allMeasured] (const char* what, const juce::Result& written)
                {
                    if (written.failed())
                    {
                        printError (input + ": " + what + " not written: " + written.getErrorMessage());
                        allMeasured = false;
                    }
                };

                failed ("timeline", outcome.timelineWritten);

                if (const auto file = reportNames.next (entry); file != juce::File())
                    failed ("report",
                            LoudnessReport::writeFile (file, MeasurementOutput::report (measurement)));

                if (const auto file = plotNames.next (entry); file != juce::File())
                    failed ("plot", TimelinePlot::write (file, TimelinePlot::render (input, measurement,
                                                                                     options.plotWidth,
                                                                                     options.plotHeight)));
            });
    }

    if (options.summaryPath.isNotEmpty())
    {
        const auto written = LoudnessReport::writeFile (here.getChildFile (options.summaryPath), summary);
        if (written.failed())
        {
            printError (options.summaryPath + ": summary not written: " + written.getErrorMessage());
            allMeasured = false;
        }
    }

    // Streams asked for that an input does not have are the command line's fault; an input that
    // could not be measured outweighs a failed target: its verdict is unknown.
    if (anyUsageError)
        return 2;
    if (!allMeasured)
        return 1;
    return anyFailedTarget ? 3 : 0;
}
