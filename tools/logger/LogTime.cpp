#include "LogTime.h"

#include <cmath>
#include <ctime>

bool LogTime::parse (const juce::String& input, std::int64_t& timeMs)
{
    const auto text = input.trim();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0.0;
    const auto* s = text.toRawUTF8();
    int used = 0;

    if (std::sscanf (s, "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 || used != 10)
        return false;
    s += used;

    if (*s == 'T' || *s == ' ')
    {
        ++s;
        if (std::sscanf (s, "%2d:%2d%n", &hour, &minute, &used) != 2 || used != 5)
            return false;
        s += used;
        if (*s == ':')
        {
            ++s;
            char* end = nullptr;
            if (!juce::CharacterFunctions::isDigit (*s))
                return false;
            second = std::strtod (s, &end);
            s = end;
        }
    }

    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second < 0.0 ||
        second >= 61.0)
        return false;

    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = 0;
    fields.tm_isdst = -1;

    std::int64_t seconds = 0;
    if (*s == 0)
    {
        seconds = (std::int64_t)std::mktime (&fields); // local time
    }
    else
    {
        int offsetMinutes = 0;
        if (*s == 'Z' && s[1] == 0)
        {
        }
        else if ((*s == '+' || *s == '-'))
        {
            int h = 0, m = 0;
            const auto sign = *s == '-' ? -1 : 1;
            ++s;
            if (std::sscanf (s, "%2d:%2d%n", &h, &m, &used) == 2 && used == 5 && s[used] == 0)
            {
            }
            else if (std::sscanf (s, "%2d%2d%n", &h, &m, &used) == 2 && used == 4 && s[used] == 0)
            {
            }
            else if (std::sscanf (s, "%2d%n", &h, &used) == 1 && used == 2 && s[used] == 0)
            {
            }
            else
                return false;
            if (h > 23 || m > 59)
                return false;
            offsetMinutes = sign * (h * 60 + m);
        }
        else
            return false;

        seconds = (std::int64_t)timegm (&fields) - offsetMinutes * 60;
    }

    // mktime normalises a 31st of February into March: such a date is refused.
    if (fields.tm_mday != day || fields.tm_mon != month - 1)
        return false;

    timeMs = seconds * 1000 + (std::int64_t)std::llround (second * 1000.0);
    return true;
}

juce::String LogTime::iso (std::int64_t timeMs)
{
    const auto seconds = (std::time_t) (timeMs >= 0 ? timeMs / 1000 : (timeMs - 999) / 1000);
    const auto millis = (int)(timeMs - (std::int64_t)seconds * 1000);
    std::tm fields{};
    gmtime_r (&seconds, &fields);
    char text[96];
    std::snprintf (text, sizeof (text), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", fields.tm_year + 1900,
                   fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec, millis);
    return text;
}
