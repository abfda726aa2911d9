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
    result = InputLayout();

    if (numChannels != 1 && numChannels != 2 && numChannels != 5 && numChannels != 6)
        return juce::Result::fail (juce::String (numChannels) +
                                   " channels; the meter measures 1 (mono), 2 (stereo), 5 (5.0) or 6 (5.1)");

    if (layout != MeasureOptions::Layout::automatic && numChannels == 6)
    {
        for (int i = 0; i < 6; ++i)
            result.blockChannels.push_back (i);

        result.surroundLayoutChoice =
            layout == MeasureOptions::Layout::itu ? 0 : (layout == MeasureOptions::Layout::c24 ? 1 : 2);
        return juce::Result::ok();
    }

    // The file's own layout: a mask that names exactly one speaker per channel. A mask of 0,
    // or one that does not match the channel count, says nothing and the count decides.
    if (channelMask != 0 && countBits (channelMask) == numChannels)
    {
        bool used[6] = {};

        for (juce::uint32 bit = 1; bit != 0; bit <<= 1)
        {
            if ((channelMask & bit) == 0)
                continue;

            const auto channel = internalChannelForSpeaker (bit);

            if (channel < 0)
                return juce::Result::fail ("channel layout " + hex (channelMask) +
                                           " has speakers other than L R C LFE Ls Rs");

            if (used[channel])
                return juce::Result::fail ("channel layout " + hex (channelMask) +
                                           " has both side and back surround channels");

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
    case 5:
        result.blockChannels =
            isVorbis ? std::vector<int>{L, C, R, Ls, Rs} : std::vector<int>{L, R, C, Ls, Rs};
        break;
    default:
        result.blockChannels =
            isVorbis ? std::vector<int>{L, C, R, Ls, Rs, LFE} : std::vector<int>{L, R, C, LFE, Ls, Rs};
        break;
    }

    return juce::Result::ok();
}
