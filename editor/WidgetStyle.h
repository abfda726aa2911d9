#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// How the editor's labels, boxes, sliders and image buttons look and where they go: one place
// for the frame and every page, so that the pages draw alike.
class WidgetStyle
{
public:
    // A display-only white label at x, y, w, h in parent.
    static void label (juce::Label& label, juce::Component& parent, const juce::String& text, int x, int y,
                       int w, int h, float fontHeight,
                       juce::Justification justification = juce::Justification::centredLeft);

    // A grey choice box in the framework's classic look (lookAndFeel), reporting to listener; the
    // page places it.
    static void box (juce::ComboBox& box, juce::Component& parent, juce::LookAndFeel& lookAndFeel,
                     juce::ComboBox::Listener& listener);

    // A bar slider in whole steps from minimum to maximum, reporting to listener; the page places it.
    static void slider (juce::Slider& slider, juce::Component& parent, juce::LookAndFeel& lookAndFeel,
                        juce::Slider::Listener& listener, double minimum, double maximum);

    struct ButtonImages
    {
        juce::Image normal, over, down, disabled, normalOn, overOn, downOn, disabledOn;
    };

    // The images are the whole button: no fill behind them, on or off. An invalid image is none.
    static void buttonImages (juce::DrawableButton& button, const ButtonImages& images);

    // One of the editor's images from its binary data.
    static juce::Image decode (const char* data, int size);
};
