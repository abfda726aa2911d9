#include "WebQuery.h"

#include "LogTime.h"

#include "DeliveryTarget.h"

#include <algorithm>
#include <optional>

namespace
{
bool isAllowed (const std::string& name, std::initializer_list<const char*> allowed)
{
    return std::any_of (allowed.begin(), allowed.end(), [&name] (const char* a) { return name == a; });
}

juce::Result timeOf (const char* name, const std::multimap<std::string, std::string>& parameters,
                     std::int64_t& timeMs)
{
    const auto found = parameters.find (name);
    if (found == parameters.end() || found->second.empty())
        return juce::Result::fail (juce::String (name) + " is needed");
    if (!LogTime::parse (juce::String::fromUTF8 (found->second.c_str()), timeMs))
        return juce::Result::fail (juce::String (name) + " is not an ISO 8601 time");
    return juce::Result::ok();
}
} // namespace

juce::Result WebQuery::parse (const std::multimap<std::string, std::string>& parameters,
                              std::initializer_list<const char*> allowed, WebQuery& q)
{
    q = {};
    for (const auto& [name, value] : parameters)
    {
        const auto shown = juce::String::fromUTF8 (name.c_str()).substring (0, 40);
        if (!isAllowed (name, allowed))
            return juce::Result::fail ("unknown parameter \"" + shown + "\"");
        if (parameters.count (name) > 1)
            return juce::Result::fail ("parameter \"" + shown + "\" given twice");
    }

    const auto value = [&parameters] (const char* name) -> std::optional<juce::String>
    {
        const auto found = parameters.find (name);
        if (found == parameters.end())
            return std::nullopt;
        return juce::String::fromUTF8 (found->second.c_str());
    };

    if (isAllowed ("from", allowed))
    {
        if (const auto r = timeOf ("from", parameters, q.fromMs); r.failed())
            return r;
        if (const auto r = timeOf ("to", parameters, q.toMs); r.failed())
            return r;
        if (q.toMs <= q.fromMs)
            return juce::Result::fail ("to must come after from");
        if (q.toMs - q.fromMs > maxRangeMs)
            return juce::Result::fail ("the range is over 31 days");
    }

    if (const auto channel = value ("channel"))
        q.channel = *channel;

    if (const auto points = value ("points"))
    {
        if (!points->containsOnly ("0123456789") || points->isEmpty() || points->length() > 6 ||
            points->getIntValue() < 1 || points->getIntValue() > maxPoints)
            return juce::Result::fail ("points must be a whole number from 1 to " + juce::String (maxPoints));
        q.points = points->getIntValue();
    }

    if (const auto format = value ("format"))
    {
        if (*format != "json" && *format != "csv" && *format != "txt")
            return juce::Result::fail ("format must be json, csv or txt");
        q.format = *format;
    }

    if (const auto target = value ("target"))
    {
        if (target->isNotEmpty() && *target != "none" && !DeliveryTarget::isName (*target))
            return juce::Result::fail ("target must be none or one of " + DeliveryTarget::namesText());
        q.target = *target;
    }

    if (const auto download = value ("download"))
    {
        if (*download != "0" && *download != "1")
            return juce::Result::fail ("download must be 0 or 1");
        q.download = *download == "1";
    }
    return juce::Result::ok();
}
