#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>

// Times as the logger reads and writes them: UTC milliseconds since 1970.
class LogTime
{
public:
    // ISO 8601 with a zone ("2026-03-10T20:00:00Z", "...+01:00") or local time without one
    // ("2026-03-10T20:00", "2026-03-10 20:00:00", "2026-03-10"); seconds may have decimals.
    // False for anything else.
    static bool parse (const juce::String& text, std::int64_t& timeMs);

    // "2026-03-10T19:00:00.000Z".
    static juce::String iso (std::int64_t timeMs);
};
