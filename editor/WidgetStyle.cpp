#include "editor/WidgetStyle.h"

#include "editor/EditorPalette.h"

namespace
{
// A drawable of one image for the image buttons; null for no image.
std::unique_ptr<juce::Drawable> drawableOf (const juce::Image& image)
{
    if (!image.isValid())
        return nullptr;

    auto drawable = std::make_unique<juce::DrawableImage>();
    drawable->setImage (image);
    return drawable;
}
} // namespace

void WidgetStyle::label (juce::Label& label, juce::Component& parent, const juce::String& text, int x, int y,
                         int w, int h, float fontHeight, juce::Justification justification)
{
    label.setText (text, juce::dontSendNotification);
    label.setFont (juce::Font (fontHeight));
    label.setColour (juce::Label::textColourId, EditorPalette::white);
    label.setColour (juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    label.setJustificationType (justification);
    // Left-aligned texts need no margin on their right: the whole width then holds the text,
    // which the narrow caption boxes need with wider typefaces.
    if (justification == juce::Justification::centredLeft)
        label.setBorderSize ({1, 5, 1, 0});
    label.setEditable (false, false, false);
    // Display only: labels overlap the buttons and boxes next to them and must not take their clicks.
    label.setInterceptsMouseClicks (false, false);
    label.setBounds (x, y, w, h);
    parent.addAndMakeVisible (label);
}

void WidgetStyle::box (juce::ComboBox& box, juce::Component& parent, juce::LookAndFeel& lookAndFeel,
                       juce::ComboBox::Listener& listener)
{
    box.setColour (juce::ComboBox::backgroundColourId, EditorPalette::lightGrey);
    box.setColour (juce::ComboBox::outlineColourId, EditorPalette::midGrey);
    box.setColour (juce::ComboBox::buttonColourId, EditorPalette::midGrey);
    box.setColour (juce::ComboBox::arrowColourId, EditorPalette::black);
    box.setLookAndFeel (&lookAndFeel);
    box.addListener (&listener);
    parent.addAndMakeVisible (box);
}

void WidgetStyle::slider (juce::Slider& slider, juce::Component& parent, juce::LookAndFeel& lookAndFeel,
                          juce::Slider::Listener& listener, double minimum, double maximum)
{
    slider.setLookAndFeel (&lookAndFeel);
    slider.setSliderStyle (juce::Slider::LinearBar);
    slider.setTextBoxIsEditable (false);
    slider.setRange (minimum, maximum, 1.0);
    slider.setColour (juce::Slider::backgroundColourId, EditorPalette::lightGrey);
    slider.setColour (juce::Slider::thumbColourId, EditorPalette::accentBlue);
    slider.addListener (&listener);
    parent.addAndMakeVisible (slider);
}

void WidgetStyle::buttonImages (juce::DrawableButton& button, const ButtonImages& images)
{
    const auto normal = drawableOf (images.normal);
    const auto over = drawableOf (images.over);
    const auto down = drawableOf (images.down);
    const auto disabled = drawableOf (images.disabled);
    const auto normalOn = drawableOf (images.normalOn);
    const auto overOn = drawableOf (images.overOn);
    const auto downOn = drawableOf (images.downOn);
    const auto disabledOn = drawableOf (images.disabledOn);
    button.setImages (normal.get(), over.get(), down.get(), disabled.get(), normalOn.get(), overOn.get(),
                      downOn.get(), disabledOn.get());

    button.setColour (juce::DrawableButton::backgroundColourId, juce::Colours::transparentBlack);
    button.setColour (juce::DrawableButton::backgroundOnColourId, juce::Colours::transparentBlack);
}

juce::Image WidgetStyle::decode (const char* data, int size)
{
    // Decoded directly, not through juce::ImageCache: the cache's purge timer would still be
    // running when a plug-in host unloads the library, and JUCE then deletes it on the host's
    // thread while the plug-in's message thread may be calling it.
    return juce::ImageFileFormat::loadFrom (data, static_cast<size_t> (size));
}
