#include "MeasureRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace
{
juce::String quoted (const juce::String& s)
{
    return "'" + s.replace ("'", "'\\''") + "'";
}
} // namespace

juce::StringArray MeasureRun::outLines() const
{
    juce::StringArray lines;
    lines.addLines (out);
    if (lines.size() > 0 && lines[lines.size() - 1].isEmpty())
        lines.remove (lines.size() - 1);
    return lines;
}

juce::Array<juce::var> MeasureRun::jsonObjects() const
{
    juce::Array<juce::var> objects;
    for (const auto& line : outLines())
        objects.add (juce::JSON::parse (line));
    return objects;
}

MeasureRun runMeasure (const juce::StringArray& arguments, const juce::File& workingFolder,
                       const juce::String& pipedFrom)
{
    const TemporaryFolder io;
    juce::String command;

    if (pipedFrom.isNotEmpty())
        command << "(" << pipedFrom << ") | (";

    if (workingFolder != juce::File())
        command << "cd " << quoted (workingFolder.getFullPathName()) << " && ";

    command << quoted (TARN_MEASURE_PATH);
    for (const auto& a : arguments)
        command << " " << quoted (a);

    command << " >" << quoted (io["out"].getFullPathName()) << " 2>" << quoted (io["err"].getFullPathName());
    command << (pipedFrom.isNotEmpty() ? ")" : " </dev/null");

    MeasureRun run;
    const auto raw = std::system (command.toRawUTF8());
    run.status = WIFEXITED (raw) ? WEXITSTATUS (raw) : -1;
    run.out = io["out"].loadFileAsString();
    run.err = io["err"].loadFileAsString();
    return run;
}

juce::File writeAudio (const TemporaryFolder& folder, const juce::String& name,
                       const TestAudioFiles::Spec& spec)
{
    const auto file = folder[name];
    EXPECT_TRUE (TestAudioFiles::write (file, spec)) << name;
    return file;
}
