#include "editor/TarnxLookAndFeel.h"

TarnxLookAndFeel::TarnxLookAndFeel() = default;

TarnxLookAndFeel::~TarnxLookAndFeel() = default;

juce::Colour TarnxLookAndFeel::makeBaseColour (juce::Colour colour, bool hasFocus, bool isMouseOver,
                                               bool isButtonDown)
{
    const auto base = colour.withMultipliedSaturation (hasFocus ? 1.3f : 0.9f);

    if (isButtonDown)
        return base.contrasting (0.2f);

    if (isMouseOver)
        return base.contrasting (0.1f);

    return base;
}

void TarnxLookAndFeel::drawFlatButtonShape (juce::Graphics& g, float x, float y, float w, float h,
                                            float maxCornerSize, juce::Colour colour, float strokeWidth)
{
    if (w <= strokeWidth * 1.1f || h <= strokeWidth * 1.1f)
        return;

    const auto cornerSize = juce::jmin (maxCornerSize, w * 0.5f, h * 0.5f);

    juce::Path outline;
    outline.addRoundedRectangle (x, y, w, h, cornerSize, cornerSize, false, false, false, false);

    g.setColour (colour);
    g.fillPath (outline);

    g.setColour (juce::Colour (0x80000000));
    g.strokePath (outline, juce::PathStrokeType (strokeWidth));
}

void TarnxLookAndFeel::drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height,
                                         float sliderPos, float minSliderPos, float maxSliderPos,
                                         juce::Slider::SliderStyle style, juce::Slider& slider)
{
    g.fillAll (slider.findColour (juce::Slider::backgroundColourId));

    if (style == juce::Slider::LinearBar || style == juce::Slider::LinearBarVertical)
    {
        const auto enabled = slider.isEnabled();
        const auto isMouseOver = slider.isMouseOverOrDragging() && enabled;
        const auto isButtonDown = isMouseOver || slider.isMouseButtonDown();

        const auto colour = makeBaseColour (
            slider.findColour (juce::Slider::thumbColourId).withMultipliedSaturation (enabled ? 1.0f : 0.5f),
            false, isMouseOver, isButtonDown);
        const auto strokeWidth = enabled ? 0.9f : 0.3f;

        if (style == juce::Slider::LinearBarVertical)
            drawFlatButtonShape (g, (float)x, sliderPos, (float)width, (float)height - sliderPos, 0.0f,
                                 colour, strokeWidth);
        else
            drawFlatButtonShape (g, (float)x, (float)y, sliderPos - (float)x, (float)height, 0.0f, colour,
                                 strokeWidth);
    }
    else
    {
        drawLinearSliderBackground (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style,
                                    slider);
        drawLinearSliderThumb (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style, slider);
    }
}

void TarnxLookAndFeel::drawLinearSliderThumb (juce::Graphics& g, int x, int y, int width, int height,
                                              float sliderPos, float minSliderPos, float maxSliderPos,
                                              juce::Slider::SliderStyle style, juce::Slider& slider)
{
    juce::Logger::writeToLog ("sliderPos:" + juce::String (sliderPos) + "min:" + juce::String (minSliderPos) +
                              "max:" + juce::String (maxSliderPos));

    // The knob itself is the base look's glass sphere and pointers, with the same
    // colour rule as makeBaseColour.
    juce::LookAndFeel_V2::drawLinearSliderThumb (g, x, y, width, height, sliderPos, minSliderPos,
                                                 maxSliderPos, style, slider);
}

void TarnxLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool isButtonDown, int buttonX,
                                     int buttonY, int buttonW, int buttonH, juce::ComboBox& box)
{
    g.fillAll (box.findColour (juce::ComboBox::backgroundColourId));

    const auto enabled = box.isEnabled();

    if (enabled && box.hasKeyboardFocus (false))
    {
        g.setColour (box.findColour (juce::ComboBox::buttonColourId));
        g.drawRect (0, 0, width, height, 2);
    }
    else
    {
        g.setColour (box.findColour (juce::ComboBox::outlineColourId));
        g.drawRect (0, 0, width, height, 1);
    }

    const auto t = enabled ? (isButtonDown ? 1.2f : 0.5f) : 0.3f;

    g.setColour (box.findColour (juce::ComboBox::buttonColourId));
    g.fillRect (juce::Rectangle<float> ((float)buttonX + t, (float)buttonY + t, (float)buttonW - 2.0f * t,
                                        (float)buttonH - 2.0f * t));

    if (enabled)
    {
        const auto bx = (float)buttonX;
        const auto by = (float)buttonY;
        const auto bw = (float)buttonW;
        const auto bh = (float)buttonH;
        const auto arrowH = 0.2f;

        juce::Path arrows;
        arrows.addTriangle (bx + bw * 0.5f, by + bh * (0.45f - arrowH), bx + bw * 0.7f, by + bh * 0.45f,
                            bx + bw * 0.3f, by + bh * 0.45f);
        arrows.addTriangle (bx + bw * 0.5f, by + bh * (0.55f + arrowH), bx + bw * 0.7f, by + bh * 0.55f,
                            bx + bw * 0.3f, by + bh * 0.55f);

        g.setColour (box.findColour (juce::ComboBox::arrowColourId));
        g.fillPath (arrows);
    }
}
