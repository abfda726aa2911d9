#include "MeasureOptions.h"

#include "TrackSelection.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <vector>

namespace
{
// A usage error with the message to show; thrown from an option's conversion while CLI11 parses.
struct UsageError : std::runtime_error
{
    explicit UsageError (const juce::String& message) : std::runtime_error (message.toStdString()) {}
};

// A whole number or a decimal, nothing else around it.
bool parseNumber (const juce::String& text, double& value)
{
    const auto trimmed = text.trim();
    if (trimmed.isEmpty() || trimmed != text)
        return false;

    const auto* const begin = text.toRawUTF8();
    char* end = nullptr;
    errno = 0;
    value = std::strtod (begin, &end);
    return errno == 0 && end != begin && *end == 0 && std::isfinite (value);
}

float threshold (const juce::String& option, const juce::String& text)
{
    double value = 0.0;
    if (!parseNumber (text, value))
        throw UsageError (option + " needs a number in LUFS, not \"" + text + "\"");

    // The thresholds' own range; outside it the meter would count against another level
    // than the one asked for.
    if (value < -30.0 || value > -10.0)
        throw UsageError (option + " must lie between -30 and -10 LUFS");

    return static_cast<float> (value);
}

// A whole number from 1 to maximum, or a usage error naming what it counts.
int wholeNumber (const juce::String& option, const juce::String& text, const char* what, int maximum)
{
    double n = 0.0;
    if (!parseNumber (text, n) || n != std::floor (n) || n < 1.0 || n > maximum)
        throw UsageError (option + " needs a whole number of " + what + " from 1 to " +
                          juce::String (maximum) + ", not \"" + text + "\"");
    return static_cast<int> (n);
}

juce::String fileName (const juce::String& option, const juce::String& text)
{
    if (text.isEmpty())
        throw UsageError (option + " needs a file name");
    return text;
}

// A number in unit from minimum to maximum.
// "WxH" in pixels, each within its limits.
void pictureSize (const juce::String& option, const juce::String& text, int& width, int& height)
{
    const auto w = text.upToFirstOccurrenceOf ("x", false, true);
    const auto h = text.fromFirstOccurrenceOf ("x", false, true);
    double x = 0.0, y = 0.0;

    if (!parseNumber (w, x) || !parseNumber (h, y) || x != std::floor (x) || y != std::floor (y) ||
        x < MeasureOptions::minimumPlotWidth || x > MeasureOptions::maximumPlotWidth ||
        y < MeasureOptions::minimumPlotHeight || y > MeasureOptions::maximumPlotHeight)
        throw UsageError (option + " needs WIDTHxHEIGHT in whole pixels, from " +
                          juce::String (MeasureOptions::minimumPlotWidth) + "x" +
                          juce::String (MeasureOptions::minimumPlotHeight) + " to " +
                          juce::String (MeasureOptions::maximumPlotWidth) + "x" +
                          juce::String (MeasureOptions::maximumPlotHeight) + ", not \"" + text + "\"");

    width = static_cast<int> (x);
    height = static_cast<int> (y);
}

double limit (const juce::String& option, const juce::String& text, const char* unit, double minimum,
              double maximum)
{
    double value = 0.0;
    if (!parseNumber (text, value))
        throw UsageError (option + " needs a number in " + unit + ", not \"" + text + "\"");

    if (value < minimum || value > maximum)
        throw UsageError (option + " must lie between " + juce::String (minimum) + " and " +
                          juce::String (maximum) + " " + unit);

    return value;
}

// The usage error for a word that is none of names.
[[noreturn]] void notOneOf (const juce::String& option, juce::StringArray names, const juce::String& text)
{
    const auto last = names[names.size() - 1];
    names.remove (names.size() - 1);
    throw UsageError (option + " must be " + names.joinIntoString (", ") + " or " + last + ", not \"" + text +
                      "\"");
}

// One of the listed words, or a usage error that names them.
template <typename Value>
Value choice (const juce::String& option, const juce::String& text,
              std::initializer_list<std::pair<const char*, Value>> words, bool ignoreCase = false)
{
    juce::StringArray names;
    for (const auto& [name, value] : words)
    {
        if (ignoreCase ? text.equalsIgnoreCase (name) : text == name)
            return value;
        names.add (name);
    }

    notOneOf (option, names, text);
}

const char* const programName = "tarn51-measure";

// The help text's groups, in the order they are shown.
const char* const measurementGroup = "Measurement";
const char* const outputGroup = "Output";
const char* const streamsGroup = "Streams";
const char* const qcGroup = "QC";
const char* const batchGroup = "Batch";

// The help text in the usage's own style: the usage lines, the option groups, the exit status.
class UsageFormatter : public CLI::Formatter
{
public:
    UsageFormatter() { column_width (30); }

    // The usage lines first, then what the program does.
    std::string make_description (const CLI::App*) const override { return {}; }

    std::string make_usage (const CLI::App* app, std::string) const override
    {
        return std::string ("usage: ") + programName + " [options] FILE...\n" + "       " + programName +
               " [options] --reference\n\n" + app->get_description() + "\n\n";
    }

    // One blank line before each group, not two.
    std::string make_group (std::string group, bool positional,
                            std::vector<const CLI::Option*> options) const override
    {
        return CLI::Formatter::make_group (group, positional, options).substr (1);
    }

    std::string make_positionals (const CLI::App*) const override { return {}; }

    std::string make_option_name (const CLI::Option* option, bool) const override
    {
        juce::StringArray names;
        for (const auto& n : option->get_snames())
            names.add ("-" + juce::String (n));
        for (const auto& n : option->get_lnames())
            names.add ("--" + juce::String (n));
        return names.joinIntoString (", ").toStdString();
    }
};

// Every option of the command line, declared once: parsing and the help text both come from
// here. A switch sets a bool; an option with a value hands its text to a conversion that
// fills the options or throws a UsageError with the message to show.
class CommandLine
{
public:
    explicit CommandLine (MeasureOptions& options)
    {
        app.name (programName);
        app.description (
            "Measures loudness (ITU-R BS.1770, EBU R128) and true peak of audio and video files:\n"
            "MOV/MP4/M4A, MXF (OP1a, OP-Atom), MKV/WebM, MPEG-TS, Ogg (Vorbis, Opus, FLAC),\n"
            "WAV/BWF/RF64/W64, AIFF, FLAC, MP3 and raw AC-3, E-AC-3, AAC (ADTS) and DTS; video\n"
            "is ignored. 1 to 12 channels (mono, stereo, 5.0, 5.1, 7.0, 7.1, 5.1.2, 5.1.4, 7.1.2, 7.1.4)\nat "
            "8 to 384 kHz.\n"
            "FILE - reads standard input (any container that needs no seeking), e.g.\n"
            "  ffmpeg -i in.mxf -map 0:a:0 -f wav - | tarn51-measure -");
        app.footer ("Exit status: 0 every input measured (and met its target), 1 some input could not be\n"
                    "measured, 2 usage error, 3 every input measured and some failed its target.");
        app.formatter (std::make_shared<UsageFormatter>());
        app.set_help_flag(); // -h is ours, so that usage errors still win over it
        app.allow_extras();  // unknown options are named by parse() in our words
        app.add_option ("inputs", inputs);

        declare (options);
    }

    // The options, group by group, in the order the help text lists them.
    void declare (MeasureOptions& o)
    {
        flag (measurementGroup, "--reference",
              "measure the built-in reference programme: 1 kHz stereo sine,\n-23 dBFS, 20 s, 48 kHz",
              o.reference);

        value (measurementGroup, "--standard", "ebu|atsc|arib",
               "select that program (preset) before measuring; default ebu",
               [&o] (const juce::String& option, const juce::String& v) {
                   o.standard = choice<int> (option, v, {{"ebu", 0}, {"atsc", 1}, {"arib", 2}}, true);
               });

        value (measurementGroup, "--gating", "on|off", "default on",
               [&o] (const juce::String& option, const juce::String& v) {
                   o.gating = choice<bool> (option, v, {{"on", true}, {"off", false}});
               });

        value (measurementGroup, "--ml-threshold", "LUFS",
               "override the momentary hit threshold (-30 to -10); hits count\n"
               "momentary values, ten a second",
               [&o] (const juce::String& option, const juce::String& v)
               { o.momentaryThreshold = threshold (option, v); });

        value (measurementGroup, "--st-threshold", "LUFS",
               "override the short-term hit threshold (-30 to -10); hits count\n"
               "short-term values, ten a second",
               [&o] (const juce::String& option, const juce::String& v)
               { o.shortTermThreshold = threshold (option, v); });

        value (measurementGroup, "--layout", "auto|itu|c24|dts|NAME",
               "how a file's channels map to the meter's; auto (default)\n"
               "uses the file's channel layout when it has one, else by count:\n"
               "1 -> L, 2 -> L R, 3 -> L R C, 4 -> L R Ls Rs, 5 -> L R C Ls Rs,\n"
               "6 -> L R C LFE Ls Rs, 7 -> 7.0, 8 -> 7.1, 12 -> 7.1.4; itu, c24\n"
               "and dts apply the plug-in's three orders of \"Surround layout\"\n"
               "to a 6-channel file or six --tracks; a NAME (mono, stereo, 5.0,\n"
               "5.1, 7.0, 7.1, 5.1.2, 5.1.4, 7.1.2, 7.1.4, or the configuration,\n"
               "such as 4+7+0) takes the channels in that arrangement's order,\n"
               "L R C LFE, then the surrounds, then the upper layer",
               [&o] (const juce::String& option, const juce::String& v)
               {
                   if (const auto parsed = MeasureOptions::parseLayout (v, o); parsed.failed())
                       throw UsageError (option + " " + parsed.getErrorMessage());
               });

        value (streamsGroup, "--stream", "N", "measure the file's Nth audio stream (from 1); default 1",
               [&o] (const juce::String& option, const juce::String& v)
               { o.stream = wholeNumber (option, v, "streams", MeasureOptions::maximumStream); });

        flag (streamsGroup, "--all-streams",
              "measure every audio stream of each file as a programme of its\n"
              "own: one reading each, named NAME (stream N)",
              o.allStreams);

        value (streamsGroup, "--tracks", "LIST",
               "make one programme of several audio streams, their channels in\n"
               "the order given, e.g. 1-6 (six mono MXF tracks as 5.1, ordered as\n"
               "--layout says) or 7,8 (a stereo pair)",
               [&o] (const juce::String& option, const juce::String& v)
               {
                   if (const auto parsed = TrackSelection::parseList (v, o.tracks); parsed.failed())
                       throw UsageError (option + " " + parsed.getErrorMessage());
               });

        value (measurementGroup, "--block", "N", "block size, default 512",
               [&o] (const juce::String& option, const juce::String& v)
               { o.blockSize = wholeNumber (option, v, "samples", MeasureOptions::maximumBlockSize); });

        flag (outputGroup, "--json", "one JSON object per file on stdout, one line each", o.json);

        value (outputGroup, "--report", "FILE",
               "also write the loudness report file for the measured input;\n"
               "with several inputs, FILE is a folder and gets one NAME.txt per input",
               [&o] (const juce::String& option, const juce::String& v)
               { o.reportPath = fileName (option, v); });

        value (outputGroup, "--timeline", "FILE",
               "also write the loudness every 100 ms as CSV: the end of the step\n"
               "(s), momentary, short-term and integrated loudness (LUFS) and the\n"
               "step's true peak (dBTP); empty where there is none yet. With\n"
               "several inputs, FILE is a folder and gets one NAME.csv per input",
               [&o] (const juce::String& option, const juce::String& v)
               { o.timelinePath = fileName (option, v); });

        value (outputGroup, "--plot", "FILE.png",
               "also draw the loudness over the whole programme as a PNG\n"
               "picture; with several inputs, a folder with one NAME.png per input",
               [&o] (const juce::String& option, const juce::String& v)
               { o.plotPath = fileName (option, v); });

        value (outputGroup, "--plot-size", "WxH", "the picture's size in pixels; default 1200x400",
               [&o] (const juce::String& option, const juce::String& v)
               { pictureSize (option, v, o.plotWidth, o.plotHeight); });

        value (qcGroup, "--target", DeliveryTarget::namesText(),
               "judge each input against a delivery target: programme loudness\n"
               "-23.0 LUFS +/- 1.0 LU and max true peak -1.0 dBTP (ebu-r128),\n"
               "the same and max short-term -18.0 LUFS (ebu-r128-s1), or\n"
               "-24.0 LKFS +/- 2.0 and -2.0 dBTP (atsc-a85); values equal to a\n"
               "limit pass. The options below tighten it, or alone make a custom one",
               [this] (const juce::String& option, const juce::String& v)
               {
                   if (!DeliveryTarget::isName (v))
                       notOneOf (option, juce::StringArray::fromTokens (DeliveryTarget::namesText(), "|", ""),
                                 v);
                   targetRequest.name = v;
               });

        value (qcGroup, "--target-loudness", "LUFS", "programme loudness of a custom target",
               [this] (const juce::String& option, const juce::String& v)
               { targetRequest.loudness = limit (option, v, "LUFS", -60.0, 0.0); });

        value (qcGroup, "--tolerance", "LU", "how far the programme loudness may lie from it; default 1.0",
               [this] (const juce::String& option, const juce::String& v)
               { targetRequest.tolerance = limit (option, v, "LU", 0.0, 20.0); });

        value (qcGroup, "--max-true-peak", "dBTP", "highest true peak allowed",
               [this] (const juce::String& option, const juce::String& v)
               { targetRequest.maxTruePeak = limit (option, v, "dBTP", -60.0, 20.0); });

        value (qcGroup, "--max-short-term", "LUFS", "highest short-term loudness allowed",
               [this] (const juce::String& option, const juce::String& v)
               { targetRequest.maxShortTerm = limit (option, v, "LUFS", -60.0, 0.0); });

        flag (outputGroup, "-q,--quiet", "no progress line", o.quiet);
        flag (outputGroup, "-h,--help", "this text", o.help);

        value (batchGroup, "-j,--jobs", "N",
               "measure up to N inputs at once; default: one per processor core.\n"
               "Output stays in input order, the values as measured one by one",
               [&o] (const juce::String& option, const juce::String& v)
               { o.jobs = wholeNumber (option, v, "inputs", MeasureOptions::maximumJobs); });

        flag (batchGroup, "-r,--recursive",
              "a folder among the inputs stands for the audio files in it and\n"
              "its subfolders (hidden ones left out), in sorted order",
              o.recursive);

        value (batchGroup, "--summary", "FILE",
               "also write a CSV table with one row per input: its values,\n"
               "the verdict with a target, or why it could not be measured",
               [&o] (const juce::String& option, const juce::String& v)
               { o.summaryPath = fileName (option, v); });
    }

    // Parses the arguments (the program name not among them) into the options given to the
    // constructor; throws a UsageError.
    void parse (const juce::StringArray& arguments)
    {
        std::vector<std::string> reversed;
        for (int i = arguments.size(); --i >= 0;)
            reversed.push_back (arguments[i].toStdString());

        refuseEmptyInlineValues (arguments);

        try
        {
            app.parse (reversed);
        }
        catch (const CLI::ArgumentMismatch&)
        {
            // Raised only when the arguments ran out before an option's value: the last one.
            throw UsageError (arguments[arguments.size() - 1] + " needs a value");
        }
        catch (const CLI::ParseError& e)
        {
            throw UsageError (e.what());
        }

        for (const auto& extra : app.remaining())
            if (extra != "--")
                throw UsageError ("unknown option " +
                                  juce::String (extra).upToFirstOccurrenceOf ("=", false, false));

        for (const auto& [option, target] : flags)
        {
            // "--name=value" reaches a switch as the value, a plain "--name" as "true".
            for (const auto& result : option->results())
                if (result != "true")
                    throw UsageError ("--" + juce::String (option->get_lnames().front()) + " takes no value");

            if (option->count() > 0)
                target.get() = true;
        }
    }

    std::string help() const { return app.help(); }

    std::vector<std::string> inputs;
    DeliveryTarget::Request targetRequest;

private:
    using Conversion = std::function<void (const juce::String& option, const juce::String& value)>;

    void flag (const char* group, const char* names, const char* description, bool& target)
    {
        flags.emplace_back (app.add_flag (names)->description (description)->group (group), target);
    }

    // names: "--name" or "-n,--name"; messages name the option by its long name.
    void value (const char* group, const char* names, const juce::String& valueName, const char* description,
                Conversion convert)
    {
        const auto name = "--" + juce::String (names).fromLastOccurrenceOf ("--", false, false);
        app.add_option_function<std::string> (
               names,
               [name, convert] (const std::string& text)
               { convert (name, juce::String::fromUTF8 (text.c_str())); },
               description)
            ->type_name (valueName.toStdString())
            ->group (group)
            ->trigger_on_parse(); // in command-line order, the last of a repeated option winning
        conversions[name] = convert;
    }

    // CLI11 would take "--name=" with nothing after the sign as "--name" and use the next
    // argument as its value ("--report= song.wav" would overwrite the song). The empty value
    // goes to the option's own conversion instead, which refuses it.
    void refuseEmptyInlineValues (const juce::StringArray& arguments) const
    {
        for (const auto& argument : arguments)
        {
            if (argument == "--")
                return;

            const auto name = argument.upToFirstOccurrenceOf ("=", false, false);
            const auto found = conversions.find (name);
            if (argument.startsWith ("--") && argument == name + "=" && found != conversions.end())
                found->second (name, {});
        }
    }

    CLI::App app;
    std::vector<std::pair<CLI::Option*, std::reference_wrapper<bool>>> flags;
    std::map<juce::String, Conversion> conversions;
};
} // namespace

juce::Result MeasureOptions::parse (const juce::StringArray& arguments, MeasureOptions& options)
{
    options = MeasureOptions();

    try
    {
        CommandLine commandLine (options);
        commandLine.parse (arguments);

        for (const auto& input : commandLine.inputs)
            options.inputs.add (juce::String::fromUTF8 (input.c_str()));

        if (!commandLine.targetRequest.isEmpty())
        {
            DeliveryTarget target;
            const auto made = DeliveryTarget::fromRequest (commandLine.targetRequest, target);
            if (made.failed())
                return made;
            options.target = target;
        }
    }
    catch (const UsageError& e)
    {
        return juce::Result::fail (juce::String::fromUTF8 (e.what()));
    }

    if (options.help)
        return juce::Result::ok();

    if (options.reference && !options.inputs.isEmpty())
        return juce::Result::fail ("--reference measures the built-in programme and takes no files");

    if (!options.reference && options.inputs.isEmpty())
        return juce::Result::fail ("no input: name one or more files, or --reference");

    if ((options.stream > 0) + options.allStreams + !options.tracks.empty() > 1)
        return juce::Result::fail ("--stream, --all-streams and --tracks choose streams each their own way: "
                                   "give one of them");

    if (options.reference && (options.stream > 0 || options.allStreams || !options.tracks.empty()))
        return juce::Result::fail ("--reference has no streams to choose");

    if (const auto first = options.inputs.indexOf ("-");
        first >= 0 && options.inputs.indexOf ("-", false, first + 1) >= 0)
        return juce::Result::fail ("standard input (-) can be read once only");

    if (options.allStreams && options.inputs.contains ("-"))
        return juce::Result::fail ("--all-streams reads each file once per stream: not standard input (-)");

    return juce::Result::ok();
}

juce::Result MeasureOptions::parseLayout (const juce::String& text, MeasureOptions& options)
{
    if (SpeakerLayout::fromName (text.toStdString(), options.namedLayout))
    {
        options.layout = Layout::named;
        return juce::Result::ok();
    }

    const juce::StringArray choices{"auto", "itu", "c24", "dts"};
    const auto index = choices.indexOf (text);
    if (index < 0)
        return juce::Result::fail ("must be auto, itu, c24, dts or an arrangement (" +
                                   juce::String (SpeakerLayout::namesList()) +
                                   ", or its configuration such as 4+7+0), not \"" + text + "\"");

    const Layout layouts[] = {Layout::automatic, Layout::itu, Layout::c24, Layout::dts};
    options.layout = layouts[index];
    return juce::Result::ok();
}

juce::String MeasureOptions::usage()
{
    MeasureOptions unused;
    return juce::String::fromUTF8 (CommandLine (unused).help().c_str());
}
