#pragma once

#include "editor/WidgetStyle.h"

#include <BinaryData.h>
#include <juce_gui_basics/juce_gui_basics.h>

// The about page: the logo, the product's name, version and build, and links to the makers'
// contact page and the user guide.
class AboutPage : public juce::Component
{
public:
    explicit AboutPage (const juce::String& productName);

    void resized() override;

private:
    friend struct EditorProbe; // the editor tests read the widgets' states

    juce::Image imageLogo = WidgetStyle::decode (BinaryData::Logo_png, BinaryData::Logo_pngSize);

    juce::ImageComponent logo;
    juce::Label versionLine;
    juce::HyperlinkButton contactLink, userGuideLink;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AboutPage)
};
