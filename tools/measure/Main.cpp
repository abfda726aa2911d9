// tarn51-measure: the meter's processor run offline over audio files.

#include "InputLayout.h"
#include "MeasureOptions.h"
#include "MeasurementOutput.h"
#include "OfflineMeter.h"
#include "ReferenceProgramme.h"

#include "report/LoudnessReport.h"

#include <juce_events/juce_events.h>

#include <cstdio>
#include <map>
#include <memory>
#include <unistd.h>

namespace
{
const char* const programName = "tarn51-measure";
const char* const referenceName = "reference";

void printError (const juce::String& message)
{
    std::fprintf (stderr, "%s: %s\n", programName, message.toRawUTF8());
}

// The progress line goes to a terminal only, redrawn in place and wiped when done.
class ProgressLine
{
public:
    ProgressLine (bool enabled, const juce::String& inputName) : shown (enabled), name (inputName) {}

    ~ProgressLine()
    {
        if (drawn)
        {
            std::fprintf (stderr, "\r%*s\r", width, "");
            std::fflush (stderr);
        }
    }

    OfflineMeter::Progress callback()
    {
        if (!shown)
            return nullptr;

        return [this] (double proportion)
        {
            const auto text =
                juce::String (name) + ": " + juce::String (juce::roundToInt (proportion * 100.0)) + " %";
            width = std::max (width, text.length());
            std::fprintf (stderr, "\r%-*s", width, text.toRawUTF8());
            std::fflush (stderr);
            drawn = true;
        };
    }

private:
    bool shown;
    bool drawn = false;
    int width = 0;
    juce::String name;
};

// Names the report of each input when --report names a folder; a name that two inputs would
// share gets a number, so that no report overwrites another of the same run.
class ReportNames
{
public:
    juce::File next (const juce::File& folder, const juce::String& inputName)
    {
        auto stem = juce::File::createLegalFileName (juce::File (inputName).getFileNameWithoutExtension());
        if (stem.isEmpty())
            stem = "report";

        auto name = stem;
        for (int n = 2; used.count (name.toLowerCase()) != 0; ++n)
            name = stem + "-" + juce::String (n);

        used[name.toLowerCase()] = true;
        return folder.getChildFile (name + ".txt");
    }

private:
    std::map<juce::String, bool> used;
};

std::unique_ptr<juce::AudioFormatReader> openInput (juce::AudioFormatManager& formats,
                                                    const juce::String& path, juce::String& error)
{
    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (path);

    if (!file.exists())
    {
        error = "no such file";
        return nullptr;
    }

    if (file.isDirectory())
    {
        error = "is a folder, not an audio file";
        return nullptr;
    }

    auto stream = std::make_unique<juce::FileInputStream> (file);
    if (stream->failedToOpen())
    {
        error = "cannot be read: " + stream->getStatus().getErrorMessage();
        return nullptr;
    }

    stream.reset();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));

    if (reader == nullptr)
        error = "not an audio file the meter reads (WAV, AIFF, FLAC, Ogg Vorbis)";

    return reader;
}
} // namespace

int main (int argc, char* argv[])
{
    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    MeasureOptions options;
    const auto parsed = MeasureOptions::parse (arguments, options);

    if (parsed.failed())
    {
        printError (parsed.getErrorMessage());
        std::fprintf (stderr, "\n%s", MeasureOptions::usage().toRawUTF8());
        return 2;
    }

    if (options.help)
    {
        std::fputs (MeasureOptions::usage().toRawUTF8(), stdout);
        return 0;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();

    const auto inputs = options.reference ? juce::StringArray (referenceName) : options.inputs;
    const bool showProgress = !options.quiet && isatty (STDERR_FILENO) != 0;

    // One input writes the report to the named file; several fill the named folder.
    juce::File reportTarget;
    bool reportIntoFolder = false;
    if (options.reportPath.isNotEmpty())
    {
        reportTarget = juce::File::getCurrentWorkingDirectory().getChildFile (options.reportPath);
        reportIntoFolder = inputs.size() > 1 || reportTarget.isDirectory();
    }

    ReportNames reportNames;
    bool allMeasured = true;
    bool anyFailedTarget = false;
    bool first = true;

    for (const auto& input : inputs)
    {
        std::unique_ptr<juce::AudioFormatReader> reader;
        juce::String error;

        if (options.reference)
            reader = std::make_unique<ReferenceProgramme>();
        else
            reader = openInput (formats, input, error);

        InputLayout layout;
        OfflineMeter::Measurement measurement;
        auto outcome = reader == nullptr ? juce::Result::fail (error)
                                         : InputLayout::forReader (*reader, options.layout, layout);

        if (outcome.wasOk())
        {
            ProgressLine progress (showProgress, input);
            outcome = OfflineMeter::measure (*reader, layout, options, progress.callback(), measurement);
        }

        if (outcome.failed())
        {
            printError (input + ": " + outcome.getErrorMessage());
            allMeasured = false;
            continue;
        }

        const auto output = options.json ? MeasurementOutput::json (input, measurement) + "\n"
                                         : (first ? "" : "\n") + MeasurementOutput::text (input, measurement);
        std::fputs (output.toRawUTF8(), stdout);
        std::fflush (stdout);
        first = false;
        anyFailedTarget = anyFailedTarget || measurement.failedTarget();

        if (reportTarget != juce::File())
        {
            const auto file = reportIntoFolder ? reportNames.next (reportTarget, input) : reportTarget;
            const auto written = LoudnessReport::writeFile (file, MeasurementOutput::report (measurement));

            if (written.failed())
            {
                printError (input + ": report not written: " + written.getErrorMessage());
                allMeasured = false;
            }
        }
    }

    // An input that could not be measured outweighs a failed target: its verdict is unknown.
    if (!allMeasured)
        return 1;
    return anyFailedTarget ? 3 : 0;
}
