#include "FFmpegStreamDecoder.h"

#include "FFmpegLibrary.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstring>

namespace
{
// 2^-(bits-1): full scale of a signed integer of that many bits is 1.0. JUCE's readers widen
// integers to 32 bits and multiply the float by 2^-31; for up to 24 bits this is the same
// exact value, and for 32 bits the same rounding.
template <typename Sample> float scaled (Sample s);

template <> float scaled (std::uint8_t s)
{
    return static_cast<float> (static_cast<int> (s) - 128) * (1.0f / 128.0f);
}
template <> float scaled (std::int16_t s)
{
    return static_cast<float> (s) * (1.0f / 32768.0f);
}
template <> float scaled (std::int32_t s)
{
    return static_cast<float> (s) * (1.0f / 2147483648.0f);
}
template <> float scaled (std::int64_t s)
{
    return static_cast<float> (static_cast<double> (s) * (1.0 / 9223372036854775808.0));
}
template <> float scaled (float s)
{
    return s;
}
template <> float scaled (double s)
{
    return static_cast<float> (s);
}

template <typename Sample>
void convert (const AVFrame& frame, bool planar, std::vector<std::vector<float>>& channels)
{
    const auto numChannels = static_cast<int> (channels.size());
    const auto n = static_cast<size_t> (frame.nb_samples);

    for (int c = 0; c < numChannels; ++c)
    {
        auto& out = channels[(size_t)c];
        const auto start = out.size();
        out.resize (start + n);
        auto* dest = out.data() + start;

        if (planar)
        {
            const auto* src = reinterpret_cast<const Sample*> (frame.extended_data[c]);
            for (size_t i = 0; i < n; ++i)
                dest[i] = scaled (src[i]);
        }
        else
        {
            const auto* src = reinterpret_cast<const Sample*> (frame.extended_data[0]) + c;
            for (size_t i = 0; i < n; ++i)
                dest[i] = scaled (src[i * (size_t)numChannels]);
        }
    }
}
} // namespace

FFmpegStreamDecoder::~FFmpegStreamDecoder()
{
    ffmpeg().av_frame_free (&frame);
    ffmpeg().avcodec_free_context (&context);
}

juce::Result FFmpegStreamDecoder::open (const AVStream& stream)
{
    const auto* codec = ffmpeg().avcodec_find_decoder (stream.codecpar->codec_id);
    if (codec == nullptr)
        return juce::Result::fail (juce::String ("no decoder for ") +
                                   ffmpeg().avcodec_get_name (stream.codecpar->codec_id));

    context = ffmpeg().avcodec_alloc_context3 (codec);
    frame = ffmpeg().av_frame_alloc();
    if (context == nullptr || frame == nullptr ||
        ffmpeg().avcodec_parameters_to_context (context, stream.codecpar) < 0)
        return juce::Result::fail ("out of memory");

    context->pkt_timebase = stream.time_base;
    // Checksums checked, so that damaged frames are counted rather than passed on unnoticed.
    context->err_recognition |= AV_EF_CRCCHECK;
    // Inputs are measured several at a time on their own threads already.
    context->thread_count = 1;

    if (ffmpeg().avcodec_open2 (context, codec, nullptr) < 0)
        return juce::Result::fail (juce::String ("cannot decode ") + codec->name);

    channels.resize ((size_t)std::max (0, context->ch_layout.nb_channels));
    isPcm = codec->id >= AV_CODEC_ID_FIRST_AUDIO && codec->id < AV_CODEC_ID_ADPCM_IMA_QT;
    return juce::Result::ok();
}

void FFmpegStreamDecoder::decode (const AVPacket* packet)
{
    // A packet cut short is data lost, except PCM's last one from a stream of unknown length.
    if (packet != nullptr && (packet->flags & AV_PKT_FLAG_CORRUPT) != 0 && !isPcm)
        ++errorCount;

    if (const auto sent = ffmpeg().avcodec_send_packet (context, packet); sent < 0 && sent != AVERROR_EOF)
        ++errorCount; // the packet is dropped; what follows decodes on

    receiveFrames();
}

void FFmpegStreamDecoder::receiveFrames()
{
    for (;;)
    {
        const auto received = ffmpeg().avcodec_receive_frame (context, frame);
        if (received == AVERROR (EAGAIN) || received == AVERROR_EOF)
            return;

        if (received < 0)
        {
            ++errorCount;
            return;
        }

        if (frame->decode_error_flags != 0)
            ++errorCount;

        append (*frame);
        ffmpeg().av_frame_unref (frame);
    }
}

void FFmpegStreamDecoder::append (const AVFrame& decoded)
{
    // A stream that changes its channel count part-way cannot be one programme: the frames
    // that do not fit are counted as errors.
    if (decoded.ch_layout.nb_channels != numChannels())
    {
        ++errorCount;
        return;
    }

    // Taken samples are dropped before the buffers grow, so they stay as long as a few frames.
    if (taken > 0)
    {
        for (auto& c : channels)
            c.erase (c.begin(), c.begin() + static_cast<std::ptrdiff_t> (taken));
        taken = 0;
    }

    const auto format = static_cast<AVSampleFormat> (decoded.format);
    const bool planar = ffmpeg().av_sample_fmt_is_planar (format) != 0;

    switch (ffmpeg().av_get_packed_sample_fmt (format))
    {
    case AV_SAMPLE_FMT_U8:
        convert<std::uint8_t> (decoded, planar, channels);
        break;
    case AV_SAMPLE_FMT_S16:
        convert<std::int16_t> (decoded, planar, channels);
        break;
    case AV_SAMPLE_FMT_S32:
        convert<std::int32_t> (decoded, planar, channels);
        break;
    case AV_SAMPLE_FMT_S64:
        convert<std::int64_t> (decoded, planar, channels);
        break;
    case AV_SAMPLE_FMT_FLT:
        convert<float> (decoded, planar, channels);
        break;
    case AV_SAMPLE_FMT_DBL:
        convert<double> (decoded, planar, channels);
        break;
    default:
        ++errorCount;
        break;
    }
}

void FFmpegStreamDecoder::take (float* const* destinations, int count)
{
    count = std::min (count, available());
    for (size_t c = 0; c < channels.size(); ++c)
        if (destinations[c] != nullptr)
            std::memcpy (destinations[c], channels[c].data() + taken, (size_t)count * sizeof (float));
    taken += (size_t)count;
}
