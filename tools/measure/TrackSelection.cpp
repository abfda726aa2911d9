#include "TrackSelection.h"

#include <algorithm>

namespace
{
bool wholeNumber (const juce::String& text, int& value)
{
    if (text.isEmpty() || !text.containsOnly ("0123456789") || text.length() > 4)
        return false;
    value = text.getIntValue();
    return value >= 1 && value <= TrackSelection::maximumStreams;
}
} // namespace

juce::Result TrackSelection::parseList (const juce::String& text, std::vector<int>& numbers)
{
    numbers.clear();
    const auto invalid =
        juce::Result::fail ("needs stream numbers from 1 to " + juce::String (maximumStreams) +
                            " such as 1-6 or 7,8, not \"" + text + "\"");

    for (const auto& item : juce::StringArray::fromTokens (text, ",", ""))
    {
        int first = 0, last = 0;
        const auto range = item.containsChar ('-');
        if (!wholeNumber (range ? item.upToFirstOccurrenceOf ("-", false, false) : item, first) ||
            !wholeNumber (range ? item.fromFirstOccurrenceOf ("-", false, false) : item, last) ||
            last < first)
            return invalid;

        for (int n = first; n <= last; ++n)
            numbers.push_back (n);
    }

    if (numbers.empty() || static_cast<int> (numbers.size()) > maximumStreams)
        return invalid;

    return juce::Result::ok();
}

juce::Result TrackSelection::resolve (const FFmpegInput& input,
                                      std::vector<FFmpegInput::AudioStream>& chosen) const
{
    chosen.clear();
    const auto& all = input.audioStreams();
    const auto named = "; its audio streams are " + input.streamsText();

    for (auto n : streams)
    {
        if (n < 1 || n > static_cast<int> (all.size()))
            return juce::Result::fail ("has no audio stream " + juce::String (n) + named);

        if (std::count (streams.begin(), streams.end(), n) > 1)
            return juce::Result::fail ("audio stream " + juce::String (n) + " is named twice" + named);

        const auto& stream = all[(size_t)n - 1];
        if (!chosen.empty() && stream.sampleRate != chosen.front().sampleRate)
            return juce::Result::fail ("audio streams " + juce::String (chosen.front().number) + " and " +
                                       juce::String (n) + " have different sample rates" + named);

        chosen.push_back (stream);
    }

    return juce::Result::ok();
}
