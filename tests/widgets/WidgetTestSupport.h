#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Rendering and repaint observation for component tests that run without a display.
namespace WidgetTestSupport
{
// Paints the component (and its children) into a new ARGB image that was first
// filled with `ground`, so that pixels the component leaves unpainted are visible.
juce::Image render (juce::Component& component, juce::Colour ground = juce::Colour (0xFFFF00FF));

// Writes a PNG into snapshots/<name>.png under the working directory (the build
// folder when run through CTest), creating the folder as needed.
void writeSnapshot (const juce::String& name, const juce::Image& image);

// A uniform colour image in the given format.
juce::Image solid (int width, int height, juce::Colour colour,
                   juce::Image::PixelFormat format = juce::Image::RGB);

// True when the two colours differ by at most `tolerance` in every channel.
bool near (juce::Colour a, juce::Colour b, int tolerance = 1);

// Counts the repaint requests of one component for as long as it lives. Repaint
// requests of a visible component reach its cached image, which this replaces;
// paint the component only after the counter has gone.
class RepaintCounter
{
public:
    explicit RepaintCounter (juce::Component& component);
    ~RepaintCounter();

    int count() const noexcept { return requests; }
    void reset() noexcept { requests = 0; }

private:
    struct Cache;
    juce::Component& owner;
    int requests = 0;
};
} // namespace WidgetTestSupport
