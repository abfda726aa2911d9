#pragma once

#include <juce_graphics/juce_graphics.h>

// The editor's colours, shared by the frame and its pages.
struct EditorPalette
{
    static inline const juce::Colour white{0xFFFFFFFF};
    static inline const juce::Colour black{0xFF000000};
    static inline const juce::Colour lightGrey{0xFFD8D8D8};
    static inline const juce::Colour midGrey{0xFF979797};
    static inline const juce::Colour accentBlue{0xFF3A93DD};
    static inline const juce::Colour okGreen{0xFF81CA2F};
    static inline const juce::Colour alarmRed{0xFFD70014};
    static inline const juce::Colour overThresholdRed{0xFFFF0000};
    static inline const juce::Colour cautionYellow{0xFFFFFF00};
};
