#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Flat value-bar sliders and combo boxes: plain filled areas with a thin translucent
// outline instead of the shiny gradients and glass shapes of the base look.
class TarnxLookAndFeel : public juce::LookAndFeel_V2
{
public:
    TarnxLookAndFeel();
    ~TarnxLookAndFeel() override;

    void drawComboBox (juce::Graphics& g, int width, int height, bool isButtonDown, int buttonX, int buttonY,
                       int buttonW, int buttonH, juce::ComboBox& box) override;

    void drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                           float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle style,
                           juce::Slider& slider) override;

    void drawLinearSliderThumb (juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                                float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle style,
                                juce::Slider& slider) override;

    // The button colour rule shared with the base look: more saturated with focus,
    // contrasted a little on hover and more while pressed.
    static juce::Colour makeBaseColour (juce::Colour colour, bool hasFocus, bool isMouseOver,
                                        bool isButtonDown);

    // A square-cornered filled rectangle outlined in black at half opacity.
    static void drawFlatButtonShape (juce::Graphics& g, float x, float y, float w, float h,
                                     float maxCornerSize, juce::Colour colour, float strokeWidth);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TarnxLookAndFeel)
};
