#include "TimelineCsv.h"

#include "engine/LoudnessHistogram.h"
#include "report/LoudnessReport.h"

#include <cmath>

namespace
{
// To 0.1 as the meter shows it; empty for no value (NaN) and for the true peak of silence.
juce::String tenths (float value)
{
    if (!std::isfinite (value))
        return {};

    return juce::String ((double)LoudnessHistogram::roundToTenth (value) + 0.0, 1);
}
} // namespace

TimelineCsv::TimelineCsv (const juce::File& file)
    : target (file), temporary (file), opened (LoudnessReport::prepareFolderFor (file))
{
    if (opened.failed())
        return;

    stream = std::make_unique<juce::FileOutputStream> (temporary.getFile());

    if (stream->failedToOpen())
        opened = juce::Result::fail ("cannot write in " + file.getParentDirectory().getFullPathName() + ": " +
                                     stream->getStatus().getErrorMessage());
    else
        stream->writeText (header(), false, false, nullptr);
}

juce::String TimelineCsv::header()
{
    return "time_s,momentary_lufs,short_term_lufs,integrated_lufs,true_peak_dbtp\n";
}

juce::String TimelineCsv::row (std::int64_t index, const LoudnessHistory::Step& step)
{
    juce::String text;
    text << juce::String (LoudnessHistory::endOfStep (index), 1) << "," << tenths (step.momentary) << ","
         << tenths (step.shortTerm) << "," << tenths (step.integrated) << "," << tenths (step.truePeak)
         << "\n";
    return text;
}

void TimelineCsv::add (std::int64_t index, const LoudnessHistory::Step& step)
{
    if (opened.wasOk())
        stream->writeText (row (index, step), false, false, nullptr);
}

juce::Result TimelineCsv::finish()
{
    if (opened.failed())
        return opened;

    stream->flush();
    const auto status = stream->getStatus();
    stream.reset();

    if (status.failed())
        return juce::Result::fail ("cannot write " + target.getFullPathName() + ": " +
                                   status.getErrorMessage());

    if (!temporary.overwriteTargetFileWithTemporary())
        return juce::Result::fail ("cannot replace " + target.getFullPathName());

    return juce::Result::ok();
}
