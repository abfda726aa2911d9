#include "InputLayout.h"

#include <algorithm>

namespace
{
// Meter channels of the 5.1 arrangement and the first places of every other.
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
                       backLeft = 0x10, backRight = 0x20, sideLeft = 0x200, sideRight = 0x400,
                       topFrontLeft = 0x1000, topFrontRight = 0x4000, topBackLeft = 0x8000,
                       topBackRight = 0x20000;
constexpr juce::uint32 measuredSpeakers = frontLeft | frontRight | frontCentre | lowFrequency | backLeft |
                                          backRight | sideLeft | sideRight | topFrontLeft | topFrontRight |
                                          topBackLeft | topBackRight;

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

// The arrangement a set of speakers is measured in: the surrounds make 5.1 or 7.1, the upper
// speakers .2 (front pair only) or .4.
SpeakerLayout::Id arrangementOf (juce::uint32 mask)
{
    const bool side = (mask & (sideLeft | sideRight)) != 0;
    const bool back = (mask & (backLeft | backRight)) != 0;
    const bool seven = side && back;
    const auto upper = mask & (topFrontLeft | topFrontRight | topBackLeft | topBackRight);

    if (upper == 0)
        return seven ? SpeakerLayout::surround71 : SpeakerLayout::surround51;

    if ((upper & (topBackLeft | topBackRight)) == 0)
        return seven ? SpeakerLayout::surround712 : SpeakerLayout::surround512;

    return seven ? SpeakerLayout::surround714 : SpeakerLayout::surround514;
}

// The meter channel of a speaker in an arrangement; -1 for a speaker it does not have.
int meterChannelOf (juce::uint32 bit, SpeakerLayout::Id id)
{
    const bool seven = id == SpeakerLayout::surround71 || id == SpeakerLayout::surround712 ||
                       id == SpeakerLayout::surround714;
    const int upper = seven ? 8 : 6; // the first upper channel

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
    case sideLeft:
        return Ls;
    case sideRight:
        return Rs;
    case backLeft:
        return seven ? 6 : Ls;
    case backRight:
        return seven ? 7 : Rs;
    case topFrontLeft:
        return upper;
    case topFrontRight:
        return upper + 1;
    case topBackLeft:
        return upper + 2;
    case topBackRight:
        return upper + 3;
    default:
        return -1;
    }
}

// The arrangement a count of channels with no speakers named is measured in, where the count
// leaves no doubt: 7 and 8 are 7.0 and 7.1, 12 is 7.1.4. Others: false.
bool arrangementOfCount (int numChannels, SpeakerLayout::Named& named)
{
    const char* name = numChannels == 7 ? "7.0" : numChannels == 8 ? "7.1" : numChannels == 12 ? "7.1.4" : "";
    return SpeakerLayout::fromName (name, named);
}

// The channels of a named arrangement in the block: bit i of the arrangement's channels is
// the next input channel.
void layNamed (const SpeakerLayout::Named& named, InputLayout& result)
{
    result.meterLayout = named.id;

    for (int c = 0; c < SpeakerLayout::maxChannels; ++c)
        if ((named.channels & (1u << c)) != 0)
            result.blockChannels.push_back (c);
}
} // namespace

juce::Result InputLayout::forReader (juce::AudioFormatReader& reader, MeasureOptions::Layout layout,
                                     InputLayout& result, SpeakerLayout::Named named)
{
    const auto maskText = reader.metadataValues.getValue ("ChannelMask", "0");
    const auto mask = static_cast<juce::uint32> (maskText.getLargeIntValue());
    const bool isVorbis = reader.getFormatName().containsIgnoreCase ("vorbis");
    return forChannels (static_cast<int> (reader.numChannels), mask, isVorbis, layout, result, named);
}

juce::Result InputLayout::forChannels (int numChannels, juce::uint32 channelMask, bool isVorbis,
                                       MeasureOptions::Layout layout, InputLayout& result,
                                       SpeakerLayout::Named named)
{
    // A mask that names exactly one speaker per channel gives the channels in bit order. A mask
    // of 0, or one that does not match the channel count, says nothing and the count decides.
    std::vector<juce::uint32> speakers;
    if (channelMask != 0 && countBits (channelMask) == numChannels)
        for (juce::uint32 bit = 1; bit != 0; bit <<= 1)
            if ((channelMask & bit) != 0)
                speakers.push_back (bit);

    const auto made = forSpeakers (numChannels, speakers, layout, result, named);
    if (made.failed() && !speakers.empty() && made.getErrorMessage().startsWith ("channel layout"))
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
                                       MeasureOptions::Layout layout, InputLayout& result,
                                       SpeakerLayout::Named named)
{
    result = InputLayout();

    if (numChannels < 1 || numChannels > SpeakerLayout::maxChannels)
        return juce::Result::fail (juce::String (numChannels) +
                                   " channels; the meter measures 1 to 12 (mono to 7.1.4)");

    if (layout == MeasureOptions::Layout::named)
    {
        const auto& arrangement = SpeakerLayout::get (named.id);

        if (countBits (named.channels) != numChannels)
            return juce::Result::fail (juce::String (numChannels) + " channels, but the layout given (" +
                                       arrangement.name + " arrangement) has " +
                                       juce::String (countBits (named.channels)));

        layNamed (named, result);
        return juce::Result::ok();
    }

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
        const auto mask = maskOf (speakers);

        // A channel with no position (0) is a speaker the meter does not know either.
        const bool unknown = std::find (speakers.begin(), speakers.end(), 0u) != speakers.end();

        if (unknown || (mask & ~measuredSpeakers) != 0)
            return juce::Result::fail ("channel layout has speakers other than L R C LFE, the side and back "
                                       "surrounds and the upper front and back pairs");

        if (countBits (mask) != numChannels)
            return juce::Result::fail ("channel layout names a speaker twice");

        const auto id = arrangementOf (mask);
        result.meterLayout = id;

        for (auto bit : speakers)
            result.blockChannels.push_back (meterChannelOf (bit, id));

        return juce::Result::ok();
    }

    if (numChannels > 6)
    {
        if (!arrangementOfCount (numChannels, named))
            return juce::Result::fail (juce::String (numChannels) +
                                       " channels and no channel layout that names their speakers; give "
                                       "--layout with the arrangement (" +
                                       SpeakerLayout::namesList() + ")");

        layNamed (named, result);
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
