#include "editor/AboutPage.h"

#include "editor/EditorPalette.h"

namespace
{
constexpr int buildNumber = 509;
const char* const contactAddress = "https://velnor.org/contact";
const char* const userGuideAddress = "https://velnor.org/tarn51/support";
} // namespace

AboutPage::AboutPage (const juce::String& productName)
{
    logo.setImage (imageLogo, juce::RectanglePlacement::centred);
    addAndMakeVisible (logo);

    juce::String version;
    version << productName << " Version " << JucePlugin_VersionString
            << (sizeof (void*) == 8 ? " 64b" : " 32b") << " (" << buildNumber << ")";
    WidgetStyle::label (versionLine, *this, version, 0, 200, 320, 20, 14.0f, juce::Justification::centred);

    for (auto [link, text, address] : {std::tuple<juce::HyperlinkButton*, const char*, const char*>{
                                           &contactLink, "Contact us", contactAddress},
                                       std::tuple<juce::HyperlinkButton*, const char*, const char*>{
                                           &userGuideLink, "User Guide", userGuideAddress}})
    {
        link->setButtonText (text);
        link->setURL (juce::URL (address));
        link->setFont (juce::Font (14.0f), false, juce::Justification::centred);
        link->setColour (juce::HyperlinkButton::textColourId, EditorPalette::white);
        addAndMakeVisible (*link);
    }
}

void AboutPage::resized()
{
    logo.setBounds (78, 120, 194, 60);
    contactLink.setBounds (0, 252, 320, 20);
    userGuideLink.setBounds (0, 282, 320, 20);
}
