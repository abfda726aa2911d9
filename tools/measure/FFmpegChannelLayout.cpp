#include "FFmpegChannelLayout.h"

#include "FFmpegLibrary.h"

extern "C"
{
#include <libavutil/channel_layout.h>
}

std::vector<juce::uint32> FFmpegChannelLayout::speakersOf (const AVChannelLayout& layout)
{
    if (layout.order != AV_CHANNEL_ORDER_NATIVE && layout.order != AV_CHANNEL_ORDER_CUSTOM)
        return {};

    std::vector<juce::uint32> speakers;
    for (int c = 0; c < layout.nb_channels; ++c)
    {
        const auto channel =
            ffmpeg().av_channel_layout_channel_from_index (&layout, static_cast<unsigned> (c));
        speakers.push_back (channel >= AV_CHAN_FRONT_LEFT && channel <= AV_CHAN_TOP_BACK_RIGHT
                                ? juce::uint32 (1) << static_cast<int> (channel)
                                : 0u);
    }

    // A stream whose channels are all unnamed says nothing about them.
    for (auto s : speakers)
        if (s != 0)
            return speakers;

    return {};
}

juce::String FFmpegChannelLayout::describe (const AVChannelLayout& layout)
{
    char text[128] = {};
    if (ffmpeg().av_channel_layout_describe (&layout, text, sizeof (text)) < 0)
        return juce::String (layout.nb_channels) + " channels";
    return juce::String::fromUTF8 (text);
}
