#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>

// The parameters of a web API request, checked: only the route's own names, each at most once;
// from and to as ISO 8601 (or local) times with to after from and at most 31 days apart;
// points a whole number; format, target and download from their short lists. A failed result
// carries the short message the 400 answer gives.
class WebQuery
{
public:
    static constexpr std::int64_t maxRangeMs = 31LL * 24 * 60 * 60 * 1000;
    static constexpr int maxPoints = 5000;

    juce::String channel;
    std::int64_t fromMs = 0, toMs = 0;
    int points = 1000;
    juce::String format = "json"; // json | csv | txt
    juce::String target;          // empty: the logger's own
    bool download = false;

    // allowed: the names the route takes. from and to, when allowed, are required.
    static juce::Result parse (const std::multimap<std::string, std::string>& parameters,
                               std::initializer_list<const char*> allowed, WebQuery& query);
};
