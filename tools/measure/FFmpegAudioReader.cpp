#include "FFmpegAudioReader.h"

#include "FFmpegLibrary.h"

#include "FFmpegChannelLayout.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>

namespace
{
constexpr int maximumChannels = 64;
} // namespace

FFmpegAudioReader::FFmpegAudioReader() : juce::AudioFormatReader (nullptr, "FFmpeg")
{
    usesFloatingPointData = true;
    bitsPerSample = 32;
}

FFmpegAudioReader::~FFmpegAudioReader()
{
    ffmpeg().av_packet_free (&packet);
}

std::unique_ptr<FFmpegAudioReader> FFmpegAudioReader::open (const juce::String& path,
                                                            const TrackSelection& selection,
                                                            juce::String& error, bool& usageError,
                                                            bool networkUrl)
{
    usageError = false;
    std::unique_ptr<FFmpegAudioReader> reader (new FFmpegAudioReader());
    reader->input = FFmpegInput::open (path, error, networkUrl);
    if (reader->input == nullptr)
        return nullptr;

    std::vector<FFmpegInput::AudioStream> chosen;
    if (const auto resolved = selection.resolve (*reader->input, chosen); resolved.failed())
    {
        error = resolved.getErrorMessage();
        usageError = true;
        return nullptr;
    }

    auto* format = reader->input->context();
    reader->decoderOfStream.assign (format->nb_streams, -1);
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = AVDISCARD_ALL;

    int channels = 0;
    juce::StringArray described;

    for (const auto& stream : chosen)
    {
        auto* avStream = format->streams[stream.index];
        auto decoder = std::make_unique<FFmpegStreamDecoder>();

        if (const auto opened = decoder->open (*avStream); opened.failed())
        {
            error = "audio stream " + juce::String (stream.number) + ": " + opened.getErrorMessage();
            return nullptr;
        }

        const auto& layout = decoder->codecContext()->ch_layout;
        if (decoder->numChannels() < 1)
        {
            error = "audio stream " + juce::String (stream.number) + " has no channels";
            return nullptr;
        }

        avStream->discard = AVDISCARD_DEFAULT;
        reader->decoderOfStream[(size_t)stream.index] = static_cast<int> (reader->decoders.size());
        channels += decoder->numChannels();
        described.add (stream.codec + " " + FFmpegChannelLayout::describe (layout));

        if (chosen.size() == 1)
            reader->channelSpeakers = FFmpegChannelLayout::speakersOf (layout);

        reader->decoders.push_back (std::move (decoder));
    }

    // FFmpeg calls every single channel "front centre"; a mono programme is read as the
    // meter reads any mono file.
    if (channels == 1)
        reader->channelSpeakers.clear();

    if (channels > maximumChannels)
    {
        error = juce::String (channels) + " channels";
        return nullptr;
    }

    reader->packet = ffmpeg().av_packet_alloc();
    if (reader->packet == nullptr)
    {
        error = "out of memory";
        return nullptr;
    }

    const auto* first = format->streams[chosen.front().index];
    reader->sampleRate = chosen.front().sampleRate;
    reader->numChannels = static_cast<unsigned> (channels);
    reader->describedAs = described.joinIntoString (" + ");

    // The container's length, for progress only: the programme is read to its end whatever it says.
    juce::int64 length = 0;
    if (first->duration != AV_NOPTS_VALUE && first->duration > 0)
        length = ffmpeg().av_rescale_q (first->duration, first->time_base,
                                        AVRational{1, chosen.front().sampleRate});
    else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        length = ffmpeg().av_rescale (format->duration, chosen.front().sampleRate, AV_TIME_BASE);

    reader->knownLength = !reader->input->isPipe() && length > 0;
    reader->lengthInSamples = reader->knownLength ? length : 0;
    return reader;
}

int FFmpegAudioReader::decodeErrors() const
{
    int errors = readErrors;
    for (const auto& d : decoders)
        errors += d->errors();
    return errors;
}

int FFmpegAudioReader::waiting() const
{
    int fewest = std::numeric_limits<int>::max();
    for (const auto& d : decoders)
        fewest = std::min (fewest, d->available());
    return fewest;
}

void FFmpegAudioReader::fill (int wanted)
{
    auto* format = input->context();

    while (!ended && waiting() < wanted)
    {
        const auto read = ffmpeg().av_read_frame (format, packet);

        if (read < 0)
        {
            // The end, or the file broke off: either way nothing more can be read. An input
            // that ends in an error (not at its end) has lost whatever followed.
            if (read != AVERROR_EOF && !ffmpeg().avio_feof (format->pb))
                ++readErrors;
            else if (format->pb != nullptr && format->pb->error < 0)
                ++readErrors;

            for (auto& d : decoders)
                d->decode (nullptr);
            ended = true;
            return;
        }

        if (packet->stream_index >= 0 && packet->stream_index < static_cast<int> (decoderOfStream.size()))
            if (const auto d = decoderOfStream[(size_t)packet->stream_index]; d >= 0)
                decoders[(size_t)d]->decode (packet);

        ffmpeg().av_packet_unref (packet);
    }
}

int FFmpegAudioReader::readNext (float* const* destinations, int numDestinations, int numSamples)
{
    fill (numSamples);

    // At the end, streams that ran short are padded with silence up to the longest one.
    int count = waiting();
    if (ended)
        for (const auto& d : decoders)
            count = std::max (count, d->available());
    count = std::min (count, numSamples);

    int channel = 0;
    for (auto& d : decoders)
    {
        float* dest[maximumChannels]{};
        for (int c = 0; c < d->numChannels(); ++c, ++channel)
            dest[c] = channel < numDestinations ? destinations[channel] : nullptr;

        const auto taken = std::min (count, d->available());
        d->take (dest, taken);

        for (int c = 0; c < d->numChannels(); ++c)
            if (dest[c] != nullptr)
                std::fill (dest[c] + taken, dest[c] + count, 0.0f);
    }

    position += count;
    return count;
}

bool FFmpegAudioReader::readSamples (int* const* destSamples, int numDestChannels,
                                     int startOffsetInDestBuffer, juce::int64 startSampleInFile,
                                     int numSamples)
{
    if (startSampleInFile < position)
        return false;

    while (position < startSampleInFile)
    {
        const auto skip = static_cast<int> (std::min<juce::int64> (startSampleInFile - position, 1 << 16));
        if (readNext (nullptr, 0, skip) < skip)
            break;
    }

    float* dest[maximumChannels]{};
    const auto numDest = std::min (numDestChannels, maximumChannels);
    for (int c = 0; c < numDest; ++c)
        dest[c] = destSamples[c] != nullptr
                      ? reinterpret_cast<float*> (destSamples[c]) + startOffsetInDestBuffer
                      : nullptr;

    const auto read = position == startSampleInFile ? readNext (dest, numDest, numSamples) : 0;

    // After the end, silence, as JUCE's readers give.
    for (int c = 0; c < numDest; ++c)
        if (dest[c] != nullptr)
            std::fill (dest[c] + read, dest[c] + numSamples, 0.0f);

    return true;
}
