#include "editor/TruePeakMeterPage.h"

#include "editor/EditorPalette.h"
#include "report/ReadoutText.h"

namespace
{
constexpr int columnX[] = {70, 99, 128, 157, 185, 215};
constexpr int labelX[] = {66, 96, 125, 154, 183, 210};
const char* const labelNames[] = {"TPLeftDisplay", "TPRightDisplay", "TPCenterDisplay",
                                  "TPLFEDisplay",  "TPLeftSDisplay", "TPRightSDisplay"};
} // namespace

TruePeakMeterPage::TruePeakMeterPage (PageActions& a) : actions (a)
{
    scale.setType (8);

    scaleImage.setImage (imagePeak18, juce::RectanglePlacement::stretchToFit);
    addAndMakeVisible (scaleImage);

    for (int c = 0; c < numChannels; ++c)
    {
        auto& bar = bars[c];
        addAndMakeVisible (bar);
        bar.setAttackTime (0.0001f);
        bar.setReleaseTime (0.0002f);
        bar.setBallisticsEnabled (true);

        auto& indicator = overloadIndicators[c];
        WidgetStyle::buttonImages (indicator, {imageLedOff, {}, {}, imageLedOff, imageLedOn});
        indicator.setClickingTogglesState (true);
        indicator.setEnabled (false);
        indicator.addListener (this);
        addAndMakeVisible (indicator);

        auto& value = values[c];
        WidgetStyle::label (value, *this, {}, labelX[c], 407, 22, 19, 10.0f, juce::Justification::centred);
        value.setName (labelNames[c]);
        value.setBorderSize (juce::BorderSize<int> (1));
        value.setColour (juce::Label::outlineColourId, EditorPalette::midGrey);
    }
}

TruePeakMeterPage::~TruePeakMeterPage()
{
    for (auto& indicator : overloadIndicators)
        indicator.removeListener (this);
}

void TruePeakMeterPage::resized()
{
    scaleImage.setBounds (0, 0, 301, 472);

    for (int c = 0; c < numChannels; ++c)
    {
        bars[c].setMeterBounds (columnX[c], 39, 16);
        overloadIndicators[c].setBounds (columnX[c], 28, 17, 8);
        values[c].setBounds (labelX[c], 407, 22, 19);
    }
}

void TruePeakMeterPage::update (const PageSnapshot& s)
{
    const auto& i = s.indices;
    const auto& r = s.readings;

    for (auto& bar : bars)
        bar.setSampleRate (s.sampleRate);

    if (s.changed (i.maxLevel))
    {
        const auto split = (float)scale.positionOf (s.controls.alarmLevel);

        for (auto& bar : bars)
            bar.setSplitPosition (split);
    }

    if (s.changed (i.holdTime))
    {
        const auto milliseconds = (int)((float)s.controls.peakHold * 1000.0f);

        for (auto& bar : bars)
            bar.setHoldTime (milliseconds);
    }

    if ((s.changed (i.standard) || s.changed (i.scale) || s.changed (i.unit) ||
         s.changed (i.referenceLevel)) &&
        s.controls.referenceId != lastReference)
    {
        lastReference = s.controls.referenceId;
        scaleImage.setImage (lastReference == 1 ? imagePeak18 : imagePeak20,
                             juce::RectanglePlacement::stretchToFit);
    }

    for (int c = 0; c < numChannels; ++c)
        bars[c].setLevel (r.peakPosition[c]);

    for (int c = 0; c < numChannels; ++c)
        values[c].setText (ReadoutText::value (r.peakHold[c], {}), juce::dontSendNotification);

    showOverloads (r);
}

void TruePeakMeterPage::showOverloads (const MeterReadings& r)
{
    const auto none = juce::dontSendNotification;

    for (int c = 0; c < numChannels; ++c)
    {
        auto& indicator = overloadIndicators[c];

        if (r.truePeakOver != 1)
        {
            indicator.setToggleState (false, none);
            indicator.setEnabled (false);
        }
        else if (r.channelOver[c] == 1)
        {
            indicator.setEnabled (true);
            indicator.setToggleState (true, none);
        }
    }
}

void TruePeakMeterPage::buttonClicked (juce::Button*)
{
    // Only the overload lights report here.
    actions.clearOverloads();
}
