#include "report/ReadoutText.h"

#include <cmath>
#include <cstdio>

namespace
{
juce::String twoDigits (juce::int64 v)
{
    return juce::String (v).paddedLeft ('0', 2);
}
} // namespace

juce::String ReadoutText::value (float level, const juce::String& unit)
{
    if (!(level > noReadingLevel))
        return "-";

    // std::round rounds halves away from zero; adding 0 turns a rounded -0 into 0.
    const auto rounded = std::round (static_cast<double> (level) * 10.0) / 10.0 + 0.0;
    return juce::String (rounded, 1) + " " + unit;
}

juce::String ReadoutText::loudnessUnit (int standardChoice)
{
    return standardChoice == 1 || standardChoice == 2 ? "LKFS" : "LUFS";
}

juce::String ReadoutText::standardName (int standardChoice)
{
    switch (standardChoice)
    {
    case 1:
        return "ATSC";
    case 2:
        return "ARIB";
    default:
        return "EBU";
    }
}

juce::String ReadoutText::position (double seconds, juce::AudioPlayHead::FrameRateType frameRate)
{
    if (!std::isfinite (seconds))
        seconds = 0.0;

    const auto a = std::min (std::abs (seconds), 1.0e12);

    int framesPerSecond = 0;
    switch (frameRate)
    {
    case juce::AudioPlayHead::fps24:
        framesPerSecond = 24;
        break;
    case juce::AudioPlayHead::fps25:
        framesPerSecond = 25;
        break;
    case juce::AudioPlayHead::fps2997:
    case juce::AudioPlayHead::fps30:
    case juce::AudioPlayHead::fps2997drop:
    case juce::AudioPlayHead::fps30drop:
        framesPerSecond = 30;
        break;
    default:
        break;
    }

    // The whole seconds are taken from the same count as the last field, so that rounding
    // 5.9996 s to milliseconds gives 00:00:06:000 and never 00:00:05:000.
    juce::int64 wholeSeconds = 0;
    juce::String lastField;

    if (framesPerSecond > 0)
    {
        const auto frames = static_cast<juce::int64> (std::floor (a * framesPerSecond));
        wholeSeconds = frames / framesPerSecond;
        lastField = twoDigits (frames % framesPerSecond);
    }
    else
    {
        const auto millis = std::llround (a * 1000.0);
        wholeSeconds = millis / 1000;
        lastField = juce::String (millis % 1000).paddedLeft ('0', 3);
    }

    juce::String text (seconds < 0.0 ? "-" : "");
    text << twoDigits (wholeSeconds / 3600) << ":" << twoDigits ((wholeSeconds / 60) % 60) << ":"
         << twoDigits (wholeSeconds % 60) << ":" << lastField;
    return text;
}

juce::String ReadoutText::elapsed (double samples, double sampleRate,
                                   juce::AudioPlayHead::FrameRateType frameRate)
{
    const int framesPerSecond =
        frameRate == juce::AudioPlayHead::fps24 ? 24 : (frameRate == juce::AudioPlayHead::fps25 ? 25 : 30);

    const auto rate = std::isfinite (sampleRate) ? static_cast<juce::int64> (sampleRate) : 0;
    const auto n = std::isfinite (samples) ? std::min (std::abs (samples), 1.0e18) : 0.0;

    juce::int64 seconds = 0, frames = 0;

    if (rate > 0)
    {
        seconds = static_cast<juce::int64> (n / sampleRate);
        const auto samplesPerFrame = std::max<juce::int64> (1, rate / framesPerSecond);
        frames = static_cast<juce::int64> (n / static_cast<double> (samplesPerFrame)) % framesPerSecond;
    }

    juce::String text (samples < 0.0 ? "-" : "");
    text << twoDigits (seconds / 3600) << ":" << twoDigits ((seconds % 3600) / 60) << ":"
         << twoDigits (seconds % 60) << ":" << twoDigits (frames);
    return text;
}

juce::String ReadoutText::number (float value)
{
    char text[32];
    std::snprintf (text, sizeof (text), "%g", static_cast<double> (value));
    return text;
}
