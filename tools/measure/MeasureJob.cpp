#include "MeasureJob.h"

#include "FFmpegAudioReader.h"
#include "PcmWavReader.h"
#include "InputLayout.h"
#include "ReferenceProgramme.h"
#include "TimelineCsv.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace MeasureJob
{
namespace
{
const char* const referenceName = "reference";

const char* const formatsText = "audio or video files with audio: MOV, MP4, MXF, MKV, MPEG-TS, Ogg, WAV, "
                                "AIFF, FLAC, MP3, AC-3, E-AC-3, AAC, DTS";

// The streams an input is measured from.
TrackSelection selectionFor (const Input& input, const MeasureOptions& options)
{
    TrackSelection selection;
    if (input.stream > 0)
        selection.streams = {input.stream};
    else if (!options.tracks.empty())
        selection.streams = options.tracks;
    else if (options.stream > 0)
        selection.streams = {options.stream};
    return selection;
}

bool isDefaultSelection (const Input& input, const MeasureOptions& options)
{
    return input.stream == 0 && options.tracks.empty() && options.stream <= 1;
}

std::unique_ptr<juce::AudioFormatReader> openInput (const Input& input, const MeasureOptions& options,
                                                    juce::String& error, bool& usageError)
{
    usageError = false;

    if (options.reference)
        return std::make_unique<ReferenceProgramme>();

    if (input.error.isNotEmpty())
    {
        error = input.error;
        return nullptr;
    }

    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (input.name);

    if (!FFmpegInput::isStandardInput (input.name))
    {
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

        if (const juce::FileInputStream stream (file); stream.failedToOpen())
        {
            error = "cannot be read: " + stream.getStatus().getErrorMessage();
            return nullptr;
        }

        // JUCE's own readers where they read the file: the same samples as FFmpeg's, and quicker.
        if (isDefaultSelection (input, options))
        {
            // A manager per call: the measuring threads share none of a reader's state.
            juce::AudioFormatManager formats;
            formats.registerBasicFormats();
            // Only the formats that take the file's extension, as for a file by name: by content
            // alone JUCE's Ogg Vorbis reader takes Ogg FLAC and reads it as silence. JUCE's
            // readers fetch a few kilobytes a call: buffered, a 5.1 file costs a thousand reads
            // instead of a hundred thousand, a fifth of the measurement's time.
            std::unique_ptr<juce::AudioFormatReader> reader;
            for (int i = 0; i < formats.getNumKnownFormats() && reader == nullptr; ++i)
                if (auto* format = formats.getKnownFormat (i); format->canHandleFile (file))
                    reader.reset (format->createReaderFor (
                        new juce::BufferedInputStream (new juce::FileInputStream (file), 1 << 20, true),
                        true));
            if (reader != nullptr)
                return PcmWavReader::fasterReader (std::move (reader), file);
        }
    }

    return FFmpegAudioReader::open (input.name, selectionFor (input, options), error, usageError);
}

juce::StringArray audioExtensions()
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();

    juce::StringArray extensions;
    for (int i = 0; i < formats.getNumKnownFormats(); ++i)
        for (const auto& e : formats.getKnownFormat (i)->getFileExtensions())
            extensions.addIfNotAlreadyThere (e.toLowerCase());

    // What FFmpeg reads for the meter.
    for (const auto* e :
         {".mov",  ".mp4", ".m4a",  ".mxf",  ".mkv", ".mka",  ".webm", ".ts",  ".m2ts", ".mts",
          ".ogg",  ".oga", ".opus", ".wav",  ".bwf", ".rf64", ".w64",  ".aif", ".aiff", ".aifc",
          ".flac", ".mp3", ".ac3",  ".eac3", ".ec3", ".aac",  ".adts", ".dts"})
        extensions.addIfNotAlreadyThere (e);
    return extensions;
}

// The audio files under a folder, as paths relative to it, sorted. Hidden files and folders
// (such as the "._" companions other systems leave next to audio files) are left out.
std::vector<std::string> audioFilesUnder (const juce::File& folder)
{
    const auto extensions = audioExtensions();
    std::vector<std::string> found;

    for (const auto& entry : juce::RangedDirectoryIterator (
             folder, true, "*", juce::File::findFiles | juce::File::ignoreHiddenFiles,
             juce::File::FollowSymlinks::noCycles))
    {
        const auto file = entry.getFile();
        if (extensions.contains (file.getFileExtension().toLowerCase()))
            found.push_back (file.getRelativePathFrom (folder).toStdString());
    }

    std::sort (found.begin(), found.end());
    return found;
}
} // namespace

std::vector<Input> listInputs (const MeasureOptions& options)
{
    if (options.reference)
        return {{referenceName, {}}};

    std::vector<Input> inputs;

    for (const auto& name : options.inputs)
    {
        const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (name);

        if (!options.recursive || !file.isDirectory())
        {
            inputs.push_back ({name, {}});
            continue;
        }

        const auto found = audioFilesUnder (file);
        if (found.empty())
            inputs.push_back (
                {name, "a folder with no audio files the meter reads (" + juce::String (formatsText) + ")"});

        const auto prefix = name.endsWithChar ('/') ? name : name + "/";
        for (const auto& path : found)
            inputs.push_back ({prefix + juce::String::fromUTF8 (path.c_str()), {}});
    }

    if (!options.allStreams)
        return inputs;

    // One input per audio stream; a file that cannot be opened stays one input, which then
    // fails with the reason.
    std::vector<Input> streams;
    for (const auto& input : inputs)
    {
        juce::String error;
        const auto opened = input.error.isEmpty() ? FFmpegInput::open (input.name, error) : nullptr;
        const auto count = opened != nullptr ? static_cast<int> (opened->audioStreams().size()) : 0;

        if (count == 0)
            streams.push_back (input);

        for (int n = 1; n <= count; ++n)
            streams.push_back ({input.name, {}, {}, n});
    }
    return streams;
}

double durationOf (const Input& input, const MeasureOptions& options)
{
    // Standard input is read once, when it is measured.
    if (FFmpegInput::isStandardInput (input.name))
        return 0.0;

    juce::String error;
    bool usageError = false;
    const auto reader = openInput (input, options, error, usageError);
    return reader != nullptr && reader->sampleRate > 0.0
               ? static_cast<double> (reader->lengthInSamples) / reader->sampleRate
               : 0.0;
}

Outcome measure (const Input& input, const MeasureOptions& options, const OfflineMeter::Progress& progress,
                 bool readAhead)
{
    Outcome outcome;
    juce::String error;
    const auto reader = openInput (input, options, error, outcome.usageError);

    if (reader == nullptr)
    {
        outcome.result = juce::Result::fail (error);
        return outcome;
    }

    InputLayout layout;
    if (const auto* decoded = dynamic_cast<const FFmpegAudioReader*> (reader.get()))
        outcome.result =
            InputLayout::forSpeakers (static_cast<int> (reader->numChannels), decoded->speakers(),
                                      options.layout, layout, options.namedLayout);
    else
        outcome.result = InputLayout::forReader (*reader, options.layout, layout, options.namedLayout);

    outcome.measurement.stream = input.stream;

    if (outcome.result.failed())
        return outcome;

    // Written step by step while the input is measured, so that memory does not grow with it.
    std::optional<TimelineCsv> timeline;
    OfflineMeter::StepSink steps;

    if (input.timeline != juce::File())
    {
        timeline.emplace (input.timeline);
        steps = [&timeline] (std::int64_t index, const LoudnessHistory::Step& step)
        { timeline->add (index, step); };
    }

    outcome.result =
        OfflineMeter::measure (*reader, layout, options, progress, outcome.measurement, readAhead, steps);

    if (timeline && outcome.result.wasOk())
        outcome.timelineWritten = timeline->finish();

    return outcome;
}

void measureAll (const std::vector<Input>& inputs, const MeasureOptions& options, int jobs,
                 const std::function<void (int index, double proportion)>& progress,
                 const std::function<void()>& idle, const std::function<void (int index, Outcome&)>& take)
{
    const auto count = static_cast<int> (inputs.size());
    std::vector<std::optional<Outcome>> outcomes (inputs.size());
    std::mutex lock;
    std::condition_variable done;
    std::atomic<int> next{0};

    const auto work = [&]
    {
        for (int index; (index = next++) < count;)
        {
            OfflineMeter::Progress report;
            if (progress != nullptr)
                report = [&progress, index] (double proportion) { progress (index, proportion); };

            // Several inputs keep the cores busy themselves, one thread each.
            auto outcome = measure (inputs[(size_t)index], options, report, count == 1);

            const std::lock_guard<std::mutex> guard (lock);
            outcomes[(size_t)index] = std::move (outcome);
            done.notify_one();
        }
    };

    std::vector<std::thread> threads;
    for (int t = 0; t < std::min (jobs, count); ++t)
        threads.emplace_back (work);

    for (int index = 0; index < count; ++index)
    {
        std::unique_lock<std::mutex> guard (lock);
        while (!outcomes[(size_t)index])
        {
            if (!done.wait_for (guard, std::chrono::milliseconds (200),
                                [&] { return outcomes[(size_t)index].has_value(); }) &&
                idle != nullptr)
            {
                guard.unlock();
                idle();
                guard.lock();
            }
        }

        auto outcome = std::move (*outcomes[(size_t)index]);
        outcomes[(size_t)index].reset();
        guard.unlock();
        take (index, outcome);
    }

    for (auto& t : threads)
        t.join();
}
} // namespace MeasureJob
