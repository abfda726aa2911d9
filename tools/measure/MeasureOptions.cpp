#include "MeasureOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace
{
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

juce::Result parseThreshold (const juce::String& option, const juce::String& text,
                             std::optional<float>& result)
{
    double value = 0.0;
    if (!parseNumber (text, value))
        return juce::Result::fail (option + " needs a number in LUFS, not \"" + text + "\"");

    // The thresholds' own range; outside it the meter would count against another level
    // than the one asked for.
    if (value < -30.0 || value > -10.0)
        return juce::Result::fail (option + " must lie between -30 and -10 LUFS");

    result = static_cast<float> (value);
    return juce::Result::ok();
}
} // namespace

juce::Result MeasureOptions::parse (const juce::StringArray& arguments, MeasureOptions& options)
{
    options = MeasureOptions();
    bool optionsEnded = false;

    for (int i = 0; i < arguments.size(); ++i)
    {
        auto argument = arguments[i];

        if (optionsEnded || !argument.startsWith ("-") || argument == "-")
        {
            options.inputs.add (argument);
            continue;
        }

        if (argument == "--")
        {
            optionsEnded = true;
            continue;
        }

        // --name=value is the same as --name value.
        juce::String inlineValue;
        bool hasInlineValue = false;
        if (argument.startsWith ("--") && argument.containsChar ('='))
        {
            inlineValue = argument.fromFirstOccurrenceOf ("=", false, false);
            argument = argument.upToFirstOccurrenceOf ("=", false, false);
            hasInlineValue = true;
        }

        const auto takesValue = [&argument]
        {
            return argument == "--standard" || argument == "--gating" || argument == "--ml-threshold" ||
                   argument == "--st-threshold" || argument == "--layout" || argument == "--block" ||
                   argument == "--report";
        }();

        if (hasInlineValue && !takesValue)
            return juce::Result::fail (argument + " takes no value");

        juce::String value;
        if (takesValue)
        {
            if (hasInlineValue)
                value = inlineValue;
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            else
                return juce::Result::fail (argument + " needs a value");
        }

        if (argument == "--reference")
            options.reference = true;
        else if (argument == "--json")
            options.json = true;
        else if (argument == "-q" || argument == "--quiet")
            options.quiet = true;
        else if (argument == "-h" || argument == "--help")
            options.help = true;
        else if (argument == "--standard")
        {
            const auto name = value.toLowerCase();
            if (name == "ebu")
                options.standard = 0;
            else if (name == "atsc")
                options.standard = 1;
            else if (name == "arib")
                options.standard = 2;
            else
                return juce::Result::fail ("--standard must be ebu, atsc or arib, not \"" + value + "\"");
        }
        else if (argument == "--gating")
        {
            if (value == "on")
                options.gating = true;
            else if (value == "off")
                options.gating = false;
            else
                return juce::Result::fail ("--gating must be on or off, not \"" + value + "\"");
        }
        else if (argument == "--ml-threshold")
        {
            const auto r = parseThreshold (argument, value, options.momentaryThreshold);
            if (r.failed())
                return r;
        }
        else if (argument == "--st-threshold")
        {
            const auto r = parseThreshold (argument, value, options.shortTermThreshold);
            if (r.failed())
                return r;
        }
        else if (argument == "--layout")
        {
            if (value == "auto")
                options.layout = Layout::automatic;
            else if (value == "itu")
                options.layout = Layout::itu;
            else if (value == "c24")
                options.layout = Layout::c24;
            else if (value == "dts")
                options.layout = Layout::dts;
            else
                return juce::Result::fail ("--layout must be auto, itu, c24 or dts, not \"" + value + "\"");
        }
        else if (argument == "--block")
        {
            double n = 0.0;
            if (!parseNumber (value, n) || n != std::floor (n) || n < 1.0 || n > maximumBlockSize)
                return juce::Result::fail ("--block needs a whole number of samples from 1 to " +
                                           juce::String (maximumBlockSize) + ", not \"" + value + "\"");
            options.blockSize = static_cast<int> (n);
        }
        else if (argument == "--report")
        {
            if (value.isEmpty())
                return juce::Result::fail ("--report needs a file name");
            options.reportPath = value;
        }
        else
            return juce::Result::fail ("unknown option " + argument);
    }

    if (options.help)
        return juce::Result::ok();

    if (options.reference && !options.inputs.isEmpty())
        return juce::Result::fail ("--reference measures the built-in programme and takes no files");

    if (!options.reference && options.inputs.isEmpty())
        return juce::Result::fail ("no input: name one or more files, or --reference");

    return juce::Result::ok();
}

juce::String MeasureOptions::usage()
{
    return "usage: tarn51-measure [options] FILE...\n"
           "       tarn51-measure [options] --reference\n"
           "\n"
           "Measures loudness (ITU-R BS.1770, EBU R128) and true peak of audio files\n"
           "(WAV, AIFF, FLAC, Ogg Vorbis; mono, stereo, 5.0 or 5.1).\n"
           "\n"
           "  --reference            measure the built-in reference programme: 1 kHz stereo sine,\n"
           "                         -23 dBFS, 20 s, 48 kHz\n"
           "  --standard ebu|atsc|arib   select that program (preset) before measuring; default ebu\n"
           "  --gating on|off        default on\n"
           "  --ml-threshold LUFS, --st-threshold LUFS   override the hit thresholds (-30 to -10)\n"
           "                         (hits count momentary and short-term values, ten a second each)\n"
           "  --layout auto|itu|c24|dts  how a file's channels map to L R C LFE Ls Rs; auto (default)\n"
           "                         uses the file's channel layout when it has one, else by count:\n"
           "                         1 -> L, 2 -> L R, 5 -> L R C Ls Rs, 6 -> L R C LFE Ls Rs;\n"
           "                         itu, c24 and dts apply the plug-in's three orders of \"Surround\n"
           "                         layout\" to a 6-channel file\n"
           "  --block N              block size, default 512\n"
           "  --json                 one JSON object per file on stdout, one line each\n"
           "  --report FILE          also write the loudness report file for the measured input;\n"
           "                         with several inputs, FILE is a folder and gets one NAME.txt per input\n"
           "  -q, --quiet            no progress line\n"
           "  -h, --help             this text\n"
           "\n"
           "Exit status: 0 every input measured, 1 some input could not be measured, 2 usage error.\n";
}
