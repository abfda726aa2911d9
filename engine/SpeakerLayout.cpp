#include "engine/SpeakerLayout.h"

#include <cmath>
#include <cstring>

namespace
{
constexpr SpeakerLayout::Speaker L{"L", 30.0f, 0.0f, false}, R{"R", -30.0f, 0.0f, false},
    C{"C", 0.0f, 0.0f, false}, LFE{"LFE", 0.0f, 0.0f, true}, Ls{"Ls", 110.0f, 0.0f, false},
    Rs{"Rs", -110.0f, 0.0f, false}, Lss{"Lss", 90.0f, 0.0f, false}, Rss{"Rss", -90.0f, 0.0f, false},
    Lrs{"Lrs", 135.0f, 0.0f, false}, Rrs{"Rrs", -135.0f, 0.0f, false};

// Upper layer: above 5.1 at ±30° and ±110°, above 7.1 at ±45° and ±135°.
constexpr SpeakerLayout::Speaker Ltf5{"Ltf", 30.0f, 30.0f, false}, Rtf5{"Rtf", -30.0f, 30.0f, false},
    Ltr5{"Ltr", 110.0f, 30.0f, false}, Rtr5{"Rtr", -110.0f, 30.0f, false}, Ltf7{"Ltf", 45.0f, 30.0f, false},
    Rtf7{"Rtf", -45.0f, 30.0f, false}, Ltr7{"Ltr", 135.0f, 30.0f, false}, Rtr7{"Rtr", -135.0f, 30.0f, false},
    Ltm{"Ltm", 90.0f, 30.0f, false}, Rtm{"Rtm", -90.0f, 30.0f, false};

const SpeakerLayout layouts[SpeakerLayout::numLayouts] = {
    {SpeakerLayout::surround51, "5.1", "0+5+0", 6, {L, R, C, LFE, Ls, Rs}},
    {SpeakerLayout::surround71, "7.1", "0+7+0", 8, {L, R, C, LFE, Lss, Rss, Lrs, Rrs}},
    {SpeakerLayout::surround512, "5.1.2", "2+5+0", 8, {L, R, C, LFE, Ls, Rs, Ltf5, Rtf5}},
    {SpeakerLayout::surround514, "5.1.4", "4+5+0", 10, {L, R, C, LFE, Ls, Rs, Ltf5, Rtf5, Ltr5, Rtr5}},
    {SpeakerLayout::surround712, "7.1.2", "", 10, {L, R, C, LFE, Lss, Rss, Lrs, Rrs, Ltm, Rtm}},
    {SpeakerLayout::surround714,
     "7.1.4",
     "4+7+0",
     12,
     {L, R, C, LFE, Lss, Rss, Lrs, Rrs, Ltf7, Rtf7, Ltr7, Rtr7}},
};

struct NameEntry
{
    const char* name;
    const char* configuration;
    SpeakerLayout::Named named;
};

constexpr std::uint32_t all (int count)
{
    return (1u << count) - 1u;
}
constexpr std::uint32_t withoutLfe (int count)
{
    return all (count) & ~(1u << 3);
}

const NameEntry names[] = {
    {"mono", "", {SpeakerLayout::surround51, 0x1u}},
    {"stereo", "0+2+0", {SpeakerLayout::surround51, 0x3u}},
    {"5.0", "", {SpeakerLayout::surround51, withoutLfe (6)}},
    {"5.1", "0+5+0", {SpeakerLayout::surround51, all (6)}},
    {"7.0", "", {SpeakerLayout::surround71, withoutLfe (8)}},
    {"7.1", "0+7+0", {SpeakerLayout::surround71, all (8)}},
    {"5.1.2", "2+5+0", {SpeakerLayout::surround512, all (8)}},
    {"5.1.4", "4+5+0", {SpeakerLayout::surround514, all (10)}},
    {"7.1.2", "", {SpeakerLayout::surround712, all (10)}},
    {"7.1.4", "4+7+0", {SpeakerLayout::surround714, all (12)}},
};
} // namespace

bool SpeakerLayout::fromName (std::string_view name, Named& result) noexcept
{
    for (const auto& entry : names)
    {
        if (name == entry.name || (*entry.configuration != 0 && name == entry.configuration))
        {
            result = entry.named;
            return true;
        }
    }

    return false;
}

const char* SpeakerLayout::namesList() noexcept
{
    return "mono, stereo, 5.0, 5.1, 7.0, 7.1, 5.1.2, 5.1.4, 7.1.2, 7.1.4";
}

const SpeakerLayout& SpeakerLayout::get (int id) noexcept
{
    return layouts[id >= 0 && id < numLayouts ? id : surround51];
}

float SpeakerLayout::weightAt (const Speaker& speaker) noexcept
{
    if (speaker.isLfe)
        return 0.0f;

    const auto azimuth = std::abs (speaker.azimuth);
    const bool side = std::abs (speaker.elevation) < 30.0f && azimuth >= 60.0f && azimuth <= 120.0f;
    return side ? 1.41f : 1.0f;
}

int SpeakerLayout::channelFor (const Speaker& speaker) const noexcept
{
    constexpr auto radians = 3.14159265358979f / 180.0f;
    const auto upper = [] (const Speaker& s) { return s.elevation >= 30.0f; };
    int nearest = -1;
    float best = -10.0f;

    for (int c = 0; c < numChannels; ++c)
    {
        const auto& here = speakers[c];

        if (std::strcmp (here.label, speaker.label) == 0)
            return c;

        if (here.isLfe != speaker.isLfe)
            continue;

        // The cosine of the angle between them; a speaker of the same layer before any other.
        const auto cosine = std::sin (here.elevation * radians) * std::sin (speaker.elevation * radians) +
                            std::cos (here.elevation * radians) * std::cos (speaker.elevation * radians) *
                                std::cos ((here.azimuth - speaker.azimuth) * radians);
        const auto score = cosine - (upper (here) == upper (speaker) ? 0.0f : 4.0f);

        if (score > best + 1.0e-6f)
        {
            best = score;
            nearest = c;
        }
    }

    return nearest;
}
