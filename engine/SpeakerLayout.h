#pragma once

#include <cstdint>
#include <string_view>

// The arrangements of the meter's channels and the loudness weight of each channel.
//
// A channel's mean square is weighted by its position: 1.41 (+1.5 dB) at ear height (elevation
// under 30°) between 60° and 120° of azimuth either side, 1.0 everywhere else, including every
// upper-layer channel; the LFE channel is left out of the loudness (it keeps its true peak).
//
// Mono, stereo and 5.0 are measured in the 5.1 arrangement with the channels they lack
// silent, as they always were; 7.0 likewise in the 7.1 arrangement. The ids are stored in
// saved states and settings files: never renumber them (0, 5.1, is what older states mean).
//
// Plain constant data: safe on every thread.
class SpeakerLayout
{
public:
    enum Id : int
    {
        surround51 = 0, // L R C LFE Ls Rs
        surround71,     // L R C LFE Lss Rss Lrs Rrs
        surround512,    // 5.1 + Ltf Rtf
        surround514,    // 5.1 + Ltf Rtf Ltr Rtr
        surround712,    // 7.1 + Ltm Rtm
        surround714,    // 7.1 + Ltf Rtf Ltr Rtr
        numLayouts
    };

    static constexpr int maxChannels = 12;

    struct Speaker
    {
        const char* label;
        float azimuth;   // degrees from the front, positive to the left
        float elevation; // degrees above ear height
        bool isLfe;
    };

    // A name a user gives ("5.1", "7.1.4", or the configuration "4+7+0"): the arrangement it
    // is measured in and the channels of that arrangement it has (bit i for meter channel i),
    // in meter order. False for an unknown name.
    struct Named
    {
        Id id;
        std::uint32_t channels;
    };
    static bool fromName (std::string_view name, Named& result) noexcept;

    // Every name fromName takes, for help texts: "mono, stereo, 5.0, 5.1, ...".
    static const char* namesList() noexcept;

    // The arrangement of an id; ids out of range give 5.1.
    static const SpeakerLayout& get (int id) noexcept;

    // The weight of a speaker at a position; 0 for LFE.
    static float weightAt (const Speaker& speaker) noexcept;
    float weightOf (int channel) const noexcept { return weightAt (speakers[channel]); }

    // The channel of this arrangement that carries a speaker of another: the one of the same
    // name, else the nearest of the same kind (LFE to LFE; the others by the angle between
    // them, in the same layer when it has one; the first of equals), so that readings taken in
    // one arrangement can be shown in another. -1 for an LFE speaker when this one has none.
    int channelFor (const Speaker& speaker) const noexcept;

    Id id;
    const char* name;          // "7.1.4"
    const char* configuration; // "4+7+0"; an industry layout outside the configurations: ""
    int numChannels;
    Speaker speakers[maxChannels];
};
