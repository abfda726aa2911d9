#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The loudness range segment: the part of the bar image between the lower and the
// upper end, drawn over the background. Both ends are proportions of the height and
// move a tenth of the remaining distance towards their targets per update.
class RIRORuduLRVU : public juce::Component
{
public:
    RIRORuduLRVU (const juce::Image& background, const juce::Image& bar);
    ~RIRORuduLRVU() override;

    void setTargetRange (float targetLow, float targetHigh);

    void paint (juce::Graphics& g) override;

    float getRangeLow() const noexcept { return rangeLow; }
    float getRangeHigh() const noexcept { return rangeHigh; }

private:
    float rangeLow = 0.0f;
    float rangeHigh = 0.0f;
    juce::Image backgroundImage;
    juce::Image barImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RIRORuduLRVU)
};
