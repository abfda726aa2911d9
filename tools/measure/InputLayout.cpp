#include "InputLayout.h"

namespace
{
enum Internal
{
    L = 0,
    R,
    C,
    LFE,
    Ls,
    Rs
};

// WAVE_FORMAT_EXTENSIBLE speaker bits.
constexpr juce::uint32 frontLeft = 0x1, frontRight = 0x2, frontCentre = 0x4, lowFrequency = 0x8,
                       backLeft = 0x10, backRight = 0x20, sideLeft = 0x200, sideRight = 0x400;

int internalChannelForSpeaker (juce::uint32 bit)
{
    switch (bit)
    {
    case frontLeft:
        return L;
    case frontRight:
        return R;
    case frontCentre:
        return C;
    case lowFrequency:
        return LFE;
    case backLeft:
    case sideLeft:
        return Ls;
    case backRight:
    case sideRight:
        return Rs;
    default:
        return -1;
    }
}

int countBits (juce::uint32 mask)
{
    int n = 0;
    for (; mask != 0; mask &= mask - 1)
        ++n;
    return n;
}

juce::uint32 maskOf (const std::vector<juce::uint32>& speakers)
{
    juce::uint32 mask = 0;
    for (auto s : speakers)
        mask |= s;
    return mask;
}

juce::String hex (juce::uint32 mask)
{
    return "0x" + juce::String::toHexString (static_cast<juce::int64> (mask));
}
} // namespace

juce::Result InputLayout::forReader (juce::AudioFormatReader& reader, MeasureOptions::Layout layout,
                                     InputLayout& result)
{
    const auto maskText = reader.metadataValues.getValue ("ChannelMask", "0");
    const auto mask = static_cast<juce::uint32> (maskText.getLargeIntValue());
    const bool isVorbis = reader.getFormatName().containsIgnoreCase ("vorbis");
    return forChannels (static_cast<int> (reader.numChannels), mask, isVorbis, layout, result);
}

juce::Result InputLayout::forChannels (int numChannels, juce::uint32 channelMask, bool isVorbis,
                                       MeasureOptions::Layout layout, InputLayout& result)
{
    // A mask that names exactly one speaker per channel gives the channels in bit order. A mask
    // of 0, or one that does not match the channel count, says nothing and the count decides.
    std::vector<juce::uint32> speakers;
    if (channelMask != 0 && countBits (channelMask) == numChannels)
        for (juce::uint32 bit = 1; bit != 0; bit <<= 1)
            if ((channelMask & bit) != 0)
                speakers.push_back (bit);

    const auto made = forSpeakers (numChannels, speakers, layout, result);
    if (made.failed() && !speakers.empty())
        return juce::Result::fail (
            "channel layout " + hex (channelMask) +
            made.getErrorMessage().fromFirstOccurrenceOf ("channel layout", false, false));

    // Ogg Vorbis fixes its own 5- and 6-channel order.
    if (made.wasOk() && speakers.empty() && isVorbis && layout == MeasureOptions::Layout::automatic)
    {
        if (numChannels == 5)
            result.blockChannels = {L, C, R, Ls, Rs};
        else if (numChannels == 6)
            result.blockChannels = {L, C, R, Ls, Rs, LFE};
    }

    return made;
}

juce::Result InputLayout::forSpeakers (int numChannels, const std::vector<juce::uint32>& speakers,
                                       MeasureOptions::Layout layout, InputLayout& result)
{
    result = InputLayout();

    if (numChannels > 6 && numChannels <= 12)
        return juce::Result::fail (juce::String (numChannels) +
                                   " channels: 7 to 12 channels are not measured yet; the meter measures 1 "
                                   "to 6 (mono, stereo, L R C, L R Ls Rs, 5.0, 5.1)");

    if (numChannels < 1 || numChannels > 6)
        return juce::Result::fail (
            juce::String (numChannels) +
            " channels; the meter measures 1 to 6 (mono, stereo, L R C, L R Ls Rs, 5.0, "
            "5.1)");

    if (layout != MeasureOptions::Layout::automatic && numChannels == 6)
    {
        for (int i = 0; i < 6; ++i)
            result.blockChannels.push_back (i);

        result.surroundLayoutChoice =
            layout == MeasureOptions::Layout::itu ? 0 : (layout == MeasureOptions::Layout::c24 ? 1 : 2);
        return juce::Result::ok();
    }

    if (static_cast<int> (speakers.size()) == numChannels)
    {
        bool used[6] = {};

        for (auto bit : speakers)
        {
            const auto channel = internalChannelForSpeaker (bit);

            if (channel < 0)
                return juce::Result::fail ("channel layout has speakers other than L R C LFE Ls Rs");

            if (used[channel])
                return juce::Result::fail (speakers.size() == (size_t)countBits (maskOf (speakers))
                                               ? "channel layout has both side and back surround channels"
                                               : "channel layout names a speaker twice");

            used[channel] = true;
            result.blockChannels.push_back (channel);
        }

        return juce::Result::ok();
    }

    switch (numChannels)
    {
    case 1:
        result.blockChannels = {L};
        break;
    case 2:
        result.blockChannels = {L, R};
        break;
    case 3:
        result.blockChannels = {L, R, C};
        break;
    case 4:
        result.blockChannels = {L, R, Ls, Rs};
        break;
    case 5:
        result.blockChannels = {L, R, C, Ls, Rs};
        break;
    default:
        result.blockChannels = {L, R, C, LFE, Ls, Rs};
        break;
    }

    return juce::Result::ok();
}
