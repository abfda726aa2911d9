#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <vector>

struct AVFormatContext;

// A media file (or standard input, named "-") opened by FFmpeg's demuxers, and its audio
// streams. Video and other streams are there but never decoded.
class FFmpegInput
{
public:
    struct AudioStream
    {
        int number = 0; // 1 for the file's first audio stream, and so on
        int index = 0;  // the stream's index among all of the file's streams
        juce::String codec;
        int numChannels = 0;
        int sampleRate = 0;
    };

    // nullptr, with the reason in error, when the input cannot be opened or has no audio. A
    // network URL (http://, udp://, srt://, ...) is handed to FFmpeg's protocols as it is, with a
    // read timeout, so that a stream that stalls ends like one that closed.
    static std::unique_ptr<FFmpegInput> open (const juce::String& path, juce::String& error,
                                              bool networkUrl = false);

    // Seconds without data after which a network stream counts as ended.
    static constexpr int networkTimeoutSeconds = 5;

    ~FFmpegInput();
    FFmpegInput (const FFmpegInput&) = delete;
    FFmpegInput& operator= (const FFmpegInput&) = delete;

    AVFormatContext* context() const { return format; }
    const std::vector<AudioStream>& audioStreams() const { return streams; }
    bool isPipe() const { return pipe; }

    // "1: ac3, 6 channels, 48000 Hz; 2: pcm_s24le, 1 channel, 48000 Hz", for messages.
    juce::String streamsText() const;

    // "-" reads standard input.
    static bool isStandardInput (const juce::String& path) { return path == "-"; }

private:
    FFmpegInput() = default;

    AVFormatContext* format = nullptr;
    std::vector<AudioStream> streams;
    bool pipe = false;
};
