#pragma once

#include <juce_core/juce_core.h>

#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

// Decodes one audio stream into float samples, channel by channel, and keeps what is decoded
// until it is taken. Samples are converted exactly, as JUCE's readers convert them (integers
// scaled by 2^-(bits-1)): no resampling, gain or dither.
class FFmpegStreamDecoder
{
public:
    FFmpegStreamDecoder() = default;
    ~FFmpegStreamDecoder();
    FFmpegStreamDecoder (const FFmpegStreamDecoder&) = delete;
    FFmpegStreamDecoder& operator= (const FFmpegStreamDecoder&) = delete;

    // Fails with the reason when the stream's codec cannot be decoded.
    juce::Result open (const AVStream& stream);

    // Decodes a packet of the stream; nullptr drains the decoder at the end of the input.
    void decode (const AVPacket* packet);

    int numChannels() const { return static_cast<int> (channels.size()); }
    int available() const { return static_cast<int> (channels.empty() ? 0 : channels[0].size() - taken); }

    // Moves count (at most available()) samples of each channel to destinations[c]
    // (nullptr discards that channel's).
    void take (float* const* destinations, int count);

    // Packets the decoder refused and frames it flagged as damaged.
    int errors() const { return errorCount; }

    // The decoder's channel layout, once a frame has been decoded (the stream's before).
    const AVCodecContext* codecContext() const { return context; }

private:
    void receiveFrames();
    void append (const AVFrame& decoded);

    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    std::vector<std::vector<float>> channels;
    size_t taken = 0;
    int errorCount = 0;
    bool isPcm = false;
};
