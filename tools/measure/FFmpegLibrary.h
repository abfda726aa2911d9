#pragma once

#include <juce_core/juce_core.h>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/samplefmt.h>
}

// The FFmpeg functions the reader calls, by the library that has them.
#define TARN_FFMPEG_FUNCTIONS(X)                                                                             \
    X (avformat, avformat_open_input)                                                                        \
    X (avformat, avformat_find_stream_info)                                                                  \
    X (avformat, avformat_close_input)                                                                       \
    X (avformat, av_read_frame)                                                                              \
    X (avformat, avio_feof)                                                                                  \
    X (avformat, avformat_network_init)                                                                      \
    X (avutil, av_dict_set)                                                                                  \
    X (avutil, av_dict_free)                                                                                 \
    X (avcodec, avcodec_get_name)                                                                            \
    X (avcodec, avcodec_find_decoder)                                                                        \
    X (avcodec, avcodec_alloc_context3)                                                                      \
    X (avcodec, avcodec_parameters_to_context)                                                               \
    X (avcodec, avcodec_open2)                                                                               \
    X (avcodec, avcodec_free_context)                                                                        \
    X (avcodec, avcodec_send_packet)                                                                         \
    X (avcodec, avcodec_receive_frame)                                                                       \
    X (avcodec, av_packet_alloc)                                                                             \
    X (avcodec, av_packet_unref)                                                                             \
    X (avcodec, av_packet_free)                                                                              \
    X (avutil, av_log_set_level)                                                                             \
    X (avutil, av_strerror)                                                                                  \
    X (avutil, av_get_media_type_string)                                                                     \
    X (avutil, av_sample_fmt_is_planar)                                                                      \
    X (avutil, av_get_packed_sample_fmt)                                                                     \
    X (avutil, av_rescale)                                                                                   \
    X (avutil, av_rescale_q)                                                                                 \
    X (avutil, av_frame_alloc)                                                                               \
    X (avutil, av_frame_unref)                                                                               \
    X (avutil, av_frame_free)                                                                                \
    X (avutil, av_channel_layout_describe)                                                                   \
    X (avutil, av_channel_layout_channel_from_index)

// FFmpeg's functions, reached through one table. Where the build links Debian's shared libraries
// they are opened on first use only: they bring over a hundred further libraries with them, which
// would cost every start of the program some 70 ms of processor time, also for the WAV, AIFF and
// FLAC files it reads without them. Where FFmpeg is linked statically (Windows) the table holds
// the linked functions. Any thread; the first call loads.
struct FFmpegLibrary
{
#define TARN_FFMPEG_POINTER(library, name) decltype (&::name) name = nullptr;
    TARN_FFMPEG_FUNCTIONS (TARN_FFMPEG_POINTER)
#undef TARN_FFMPEG_POINTER

    // The loaded table, or nullptr when the libraries cannot be opened (see loadError).
    static const FFmpegLibrary* get();

    // Why get() gave nullptr, for the user: which library or function was missing.
    static juce::String loadError();
};

// The table, for code that runs only after FFmpegLibrary::get() succeeded.
inline const FFmpegLibrary& ffmpeg()
{
    return *FFmpegLibrary::get();
}
