#include <gtest/gtest.h>

#include "WidgetTestSupport.h"

#include "editor/TarnxLookAndFeel.h"

using namespace WidgetTestSupport;

namespace
{
const juce::Colour sliderBackground (0xFFD8D8D8);
const juce::Colour thumb (0xFF3A93DD);

struct CapturingLogger : juce::Logger
{
    CapturingLogger() { juce::Logger::setCurrentLogger (this); }
    ~CapturingLogger() override { juce::Logger::setCurrentLogger (nullptr); }
    void logMessage (const juce::String& message) override { lines.add (message); }

    juce::StringArray lines;
};

struct BarSlider
{
    BarSlider()
    {
        slider.setSliderStyle (juce::Slider::LinearBar);
        slider.setRange (-30.0, -10.0, 0.1);
        slider.setColour (juce::Slider::backgroundColourId, sliderBackground);
        slider.setColour (juce::Slider::thumbColourId, thumb);
        slider.setBounds (0, 0, 100, 20);
        slider.setLookAndFeel (&lookAndFeel);
    }

    ~BarSlider() { slider.setLookAndFeel (nullptr); }

    // The bar as the framework asks for it: from the left edge to sliderPos.
    juce::Image drawBar (float sliderPos)
    {
        juce::Image image (juce::Image::ARGB, 100, 20, true);
        juce::Graphics g (image);
        lookAndFeel.drawLinearSlider (g, 0, 0, 100, 20, sliderPos, 0.0f, 100.0f, juce::Slider::LinearBar,
                                      slider);
        return image;
    }

    TarnxLookAndFeel lookAndFeel;
    juce::Slider slider;
};
} // namespace

TEST (LookAndFeel, BarSliderAtItsMinimumDrawsOnlyTheBackground)
{
    BarSlider s;
    const auto image = s.drawBar (0.0f);

    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_TRUE (near (image.getPixelAt (x, y), sliderBackground)) << x << ", " << y;
}

TEST (LookAndFeel, BarSliderIsAFlatBlockInTheThumbColourWithATranslucentOutline)
{
    BarSlider s;
    const auto image = s.drawBar (60.0f);
    writeSnapshot ("widgets/slider-bar-enabled", image);

    // Flat: the same colour at the top and the bottom of the block (the base look
    // draws a gradient with a highlight band).
    const auto fill = TarnxLookAndFeel::makeBaseColour (thumb, false, false, false);
    EXPECT_TRUE (near (image.getPixelAt (30, 3), fill, 2));
    EXPECT_TRUE (near (image.getPixelAt (30, 16), fill, 2));
    EXPECT_TRUE (near (image.getPixelAt (80, 10), sliderBackground));

    // The outline darkens the block's right edge.
    EXPECT_LT (image.getPixelAt (60, 10).getBrightness(), fill.getBrightness() - 0.05f);
}

TEST (LookAndFeel, DisabledBarSliderHasHalfTheSaturationAndAThinOutline)
{
    BarSlider enabled;
    BarSlider disabled;
    disabled.slider.setEnabled (false);

    const auto on = enabled.drawBar (60.0f);
    const auto off = disabled.drawBar (60.0f);
    writeSnapshot ("widgets/slider-bar-disabled", off);

    const auto fill =
        TarnxLookAndFeel::makeBaseColour (thumb.withMultipliedSaturation (0.5f), false, false, false);
    EXPECT_TRUE (near (off.getPixelAt (30, 10), fill, 2));
    EXPECT_LT (off.getPixelAt (30, 10).getSaturation(), on.getPixelAt (30, 10).getSaturation() * 0.6f);

    // 0.3 pixels of half-opaque black darken the edge much less than 0.9 pixels.
    const auto darkeningOn = on.getPixelAt (30, 10).getBrightness() - on.getPixelAt (60, 10).getBrightness();
    const auto darkeningOff =
        off.getPixelAt (30, 10).getBrightness() - off.getPixelAt (60, 10).getBrightness();
    EXPECT_GT (darkeningOn, 2.0f * darkeningOff);
}

TEST (LookAndFeel, FlatShapeTooSmallForItsOutlineIsNotDrawn)
{
    juce::Image image (juce::Image::ARGB, 20, 20, true);
    juce::Graphics g (image);

    TarnxLookAndFeel::drawFlatButtonShape (g, 2.0f, 2.0f, 0.99f, 10.0f, 0.0f, juce::Colours::red, 0.9f);
    TarnxLookAndFeel::drawFlatButtonShape (g, 2.0f, 2.0f, 10.0f, 0.99f, 0.0f, juce::Colours::red, 0.9f);

    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ (image.getPixelAt (x, y).getAlpha(), 0) << x << ", " << y;

    // Corners stay square whatever corner size is asked for: a rounded corner of
    // 8 pixels would leave the corner pixel empty.
    TarnxLookAndFeel::drawFlatButtonShape (g, 0.0f, 0.0f, 20.0f, 20.0f, 8.0f, juce::Colours::red, 0.9f);
    EXPECT_GT (image.getPixelAt (0, 0).getAlpha(), 200);
    EXPECT_GT (image.getPixelAt (1, 1).getRed(), 200);
}

TEST (LookAndFeel, ThumbWritesOneDiagnosticLineAndBarSlidersDrawNoThumb)
{
    CapturingLogger logger;
    TarnxLookAndFeel lookAndFeel;
    juce::Slider slider (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
    slider.setBounds (0, 0, 100, 20);

    juce::Image image (juce::Image::ARGB, 100, 20, true);
    juce::Graphics g (image);

    lookAndFeel.drawLinearSliderThumb (g, 0, 0, 100, 20, 12.5f, 0.0f, 100.0f, juce::Slider::LinearHorizontal,
                                       slider);
    ASSERT_EQ (logger.lines.size(), 1);
    EXPECT_EQ (logger.lines[0], juce::String ("sliderPos:12.5min:0max:100"));

    // A glass knob centred on the position.
    EXPECT_GT (image.getPixelAt (12, 10).getAlpha(), 200);
    EXPECT_EQ (image.getPixelAt (40, 10).getAlpha(), 0);

    // Other slider styles reach the thumb through drawLinearSlider ...
    lookAndFeel.drawLinearSlider (g, 0, 0, 100, 20, 50.0f, 0.0f, 100.0f, juce::Slider::LinearHorizontal,
                                  slider);
    EXPECT_EQ (logger.lines.size(), 2);

    // ... bar sliders do not.
    lookAndFeel.drawLinearSlider (g, 0, 0, 100, 20, 50.0f, 0.0f, 100.0f, juce::Slider::LinearBar, slider);
    EXPECT_EQ (logger.lines.size(), 2);
}

TEST (LookAndFeel, ComboBoxIsFlatWithArrowsOnlyWhileEnabled)
{
    const juce::Colour boxBackground (0xFFD8D8D8);
    const juce::Colour outline (0xFF979797);
    const juce::Colour button (0xFF3A93DD);
    const juce::Colour arrows (0xFF000000);

    TarnxLookAndFeel lookAndFeel;
    juce::ComboBox box;
    box.setBounds (0, 0, 120, 20);
    box.setColour (juce::ComboBox::backgroundColourId, boxBackground);
    box.setColour (juce::ComboBox::outlineColourId, outline);
    box.setColour (juce::ComboBox::buttonColourId, button);
    box.setColour (juce::ComboBox::arrowColourId, arrows);

    const auto draw = [&]
    {
        juce::Image image (juce::Image::ARGB, 120, 20, true);
        juce::Graphics g (image);
        lookAndFeel.drawComboBox (g, 120, 20, false, 100, 0, 20, 20, box);
        return image;
    };

    const auto on = draw();
    writeSnapshot ("widgets/combo-enabled", on);

    // Without focus a one-pixel frame in the outline colour.
    EXPECT_TRUE (near (on.getPixelAt (50, 0), outline));
    EXPECT_TRUE (near (on.getPixelAt (50, 1), boxBackground));
    // Flat button area, arrows up (centre near y 7) and down (near y 13).
    EXPECT_TRUE (near (on.getPixelAt (110, 2), button, 2));
    EXPECT_TRUE (near (on.getPixelAt (110, 17), button, 2));
    EXPECT_TRUE (near (on.getPixelAt (110, 7), arrows, 2));
    EXPECT_TRUE (near (on.getPixelAt (110, 13), arrows, 2));
    EXPECT_TRUE (near (on.getPixelAt (110, 10), button, 2));

    box.setEnabled (false);
    const auto off = draw();
    writeSnapshot ("widgets/combo-disabled", off);

    EXPECT_TRUE (near (off.getPixelAt (110, 7), button, 2));
    EXPECT_TRUE (near (off.getPixelAt (110, 13), button, 2));

    // The button area is inset by 0.3 pixels when disabled, 0.5 when enabled and up:
    // its first row is covered 70 % instead of 50 %.
    const auto coverage = [&] (const juce::Image& image)
    {
        const auto c = image.getPixelAt (110, 0);
        return ((float)c.getRed() - (float)outline.getRed()) /
               ((float)button.getRed() - (float)outline.getRed());
    };
    EXPECT_NEAR (coverage (off), 0.7f, 0.05f);
    EXPECT_NEAR (coverage (on), 0.5f, 0.05f);
}
