#pragma once

#include "FFmpegInput.h"

#include <vector>

// Which audio streams of an input make one programme, in channel order: a single stream
// (--stream N, the first by default) or several streams side by side (--tracks LIST).
class TrackSelection
{
public:
    // Audio stream numbers, from 1, in the order their channels are laid side by side.
    std::vector<int> streams{1};

    // "1-6", "7,8", "1,3-4": stream numbers and ranges. Fails with the reason.
    static juce::Result parseList (const juce::String& text, std::vector<int>& numbers);

    // The input's streams this selection names; fails, naming the input's audio streams, for a
    // stream the input does not have, a stream named twice, or streams of different rates.
    juce::Result resolve (const FFmpegInput& input, std::vector<FFmpegInput::AudioStream>& chosen) const;

    static constexpr int maximumStreams = 64;
};
