#include "FFmpegInput.h"

#include "FFmpegLibrary.h"

#include <string>

extern "C"
{
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace
{
juce::String errorText (int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    ffmpeg().av_strerror (code, text, sizeof (text));
    return juce::String::fromUTF8 (text);
}

juce::String otherStreamsText (const AVFormatContext& format)
{
    if (format.nb_streams == 0)
        return "no streams at all";

    juce::StringArray kinds;
    for (unsigned i = 0; i < format.nb_streams; ++i)
    {
        const auto* parameters = format.streams[i]->codecpar;
        const auto* type = ffmpeg().av_get_media_type_string (parameters->codec_type);
        kinds.add (juce::String (type != nullptr ? type : "unknown") + " (" +
                   ffmpeg().avcodec_get_name (parameters->codec_id) + ")");
    }
    return "only " + kinds.joinIntoString (", ");
}
} // namespace

std::unique_ptr<FFmpegInput> FFmpegInput::open (const juce::String& path, juce::String& error,
                                                bool networkUrl)
{
    if (FFmpegLibrary::get() == nullptr)
    {
        error = FFmpegLibrary::loadError();
        return nullptr;
    }

    // The library's own messages would interleave with ours; failures are reported here.
    ffmpeg().av_log_set_level (AV_LOG_QUIET);

    std::unique_ptr<FFmpegInput> input (new FFmpegInput());
    input->pipe = isStandardInput (path);

    // "file:" keeps a name with a colon in it from being taken for a protocol.
    const auto url =
        networkUrl ? path
        : input->pipe
            ? juce::String ("pipe:0")
            : "file:" + juce::File::getCurrentWorkingDirectory().getChildFile (path).getFullPathName();

    AVDictionary* settings = nullptr;
    if (networkUrl)
    {
        static const int networkReady = ffmpeg().avformat_network_init();
        juce::ignoreUnused (networkReady);
        const auto timeout = std::to_string (networkTimeoutSeconds * 1000000);
        ffmpeg().av_dict_set (&settings, "rw_timeout", timeout.c_str(), 0);
        ffmpeg().av_dict_set (&settings, "timeout", timeout.c_str(), 0);
    }

    const auto opened = ffmpeg().avformat_open_input (&input->format, url.toRawUTF8(), nullptr, &settings);
    ffmpeg().av_dict_free (&settings);

    if (opened < 0)
    {
        error = "not an audio file the meter reads (" + errorText (opened) + ")";
        return nullptr;
    }

    if (const auto found = ffmpeg().avformat_find_stream_info (input->format, nullptr); found < 0)
    {
        error = "unreadable header (" + errorText (found) + ")";
        return nullptr;
    }

    for (unsigned i = 0; i < input->format->nb_streams; ++i)
    {
        const auto* parameters = input->format->streams[i]->codecpar;
        if (parameters->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;

        input->streams.push_back ({static_cast<int> (input->streams.size()) + 1, static_cast<int> (i),
                                   ffmpeg().avcodec_get_name (parameters->codec_id),
                                   parameters->ch_layout.nb_channels, parameters->sample_rate});
    }

    if (input->streams.empty())
    {
        error = "no audio stream (" + otherStreamsText (*input->format) + ")";
        return nullptr;
    }

    return input;
}

FFmpegInput::~FFmpegInput()
{
    ffmpeg().avformat_close_input (&format);
}

juce::String FFmpegInput::streamsText() const
{
    juce::StringArray texts;
    for (const auto& s : streams)
        texts.add (juce::String (s.number) + ": " + s.codec + ", " + juce::String (s.numChannels) +
                   (s.numChannels == 1 ? " channel, " : " channels, ") + juce::String (s.sampleRate) + " Hz");
    return texts.joinIntoString ("; ");
}
