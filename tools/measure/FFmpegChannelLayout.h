#pragma once

#include <juce_core/juce_core.h>

#include <vector>

struct AVChannelLayout;

// The speakers of a decoded stream's channels, as WAVE_FORMAT_EXTENSIBLE speaker bits (FFmpeg
// numbers the first eighteen speakers as the WAVE mask does), so that InputLayout places them
// as it places a WAV file's.
class FFmpegChannelLayout
{
public:
    // One bit per channel in channel order; 0 for a channel with no speaker position the mask
    // can name. Empty when the stream does not say which speakers its channels are for.
    static std::vector<juce::uint32> speakersOf (const AVChannelLayout& layout);

    // "5.1(side)", "stereo", "6 channels": the layout as FFmpeg names it.
    static juce::String describe (const AVChannelLayout& layout);
};
