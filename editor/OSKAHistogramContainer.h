#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The black panel on the left of the editor that holds the histogram and its controls.
class OSKAHistogramContainer : public juce::Component
{
public:
    OSKAHistogramContainer();
    ~OSKAHistogramContainer() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OSKAHistogramContainer)
};
