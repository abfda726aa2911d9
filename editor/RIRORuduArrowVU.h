#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A pointer image that moves up and down over its background; its centre row sits
// at the position, a proportion of the height that moves a tenth of the remaining
// distance towards its target per update.
class RIRORuduArrowVU : public juce::Component
{
public:
    RIRORuduArrowVU (const juce::Image& background, const juce::Image& pointer);
    ~RIRORuduArrowVU() override;

    void setTarget (float target);

    void paint (juce::Graphics& g) override;

    float getPosition() const noexcept { return position; }

private:
    float position = 0.0f;
    juce::Image backgroundImage;
    juce::Image pointerImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RIRORuduArrowVU)
};
