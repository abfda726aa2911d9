#pragma once

#include "OfflineMeter.h"

#include <juce_graphics/juce_graphics.h>

// The --plot picture of one input: the whole programme's loudness drawn as the editor's History
// page draws it, under a line with the input's name, programme loudness, loudness range and
// maximum true peak. Rendered into an image in memory, so no display is needed.
class TimelinePlot
{
public:
    static juce::Image render (const juce::String& inputName, const OfflineMeter::Measurement& m, int width,
                               int height);

    // Writes image as PNG; the file takes its place only when written whole.
    static juce::Result write (const juce::File& file, const juce::Image& image);
};
