#include "editor/TruePeakMeterPage.h"

#include "editor/EditorPalette.h"
#include "report/ReadoutText.h"

namespace
{
// The 5.1 page: the columns the scale image draws.
constexpr int columnX[] = {70, 99, 128, 157, 185, 215};
constexpr int labelX[] = {66, 96, 125, 154, 183, 210};
const char* const labelNames[] = {"TPLeftDisplay", "TPRightDisplay", "TPCenterDisplay",
                                  "TPLFEDisplay",  "TPLeftSDisplay", "TPRightSDisplay"};

// Where the scale image draws its parts: the first column's frame (its left edge, interior and
// right edge), a gap with its tick marks on either side, the right scale's first tick marks,
// and the caption under the held peaks.
constexpr int frameLeftSource = 69, frameInsideSource = 77, frameRightSource = 85;
constexpr int gapLeftSource = 86, gapInsideSource = 90, gapRightSource = 96, rightScaleSource = 231;
constexpr int columnsTop = 20, columnsBottom = 393;
const juce::Rectangle<int> captionSource{60, 430, 180, 14};

// The columns of the other arrangements, from the first frame's left edge on: frame width and
// the gap between frames. The bar fills the frame between its edges; its background image,
// drawn at its own width of 15 pixels and clipped to the bar, leaves the right edge showing only
// when the bar is no wider than that. Eight channels keep the 5.1 page's frames and about its
// gaps; ten and twelve share the same width out narrower.
struct Columns
{
    int frameWidth, gap;

    static Columns of (int count) noexcept
    {
        if (count <= 8)
            return {17, 12};
        if (count <= 10)
            return {16, 7};
        return {14, 5};
    }

    int barWidth() const noexcept { return frameWidth <= 16 ? frameWidth - 2 : frameWidth - 1; }
    int frameX (int c) const noexcept { return frameLeftSource + c * (frameWidth + gap); }
    int centreX (int c) const noexcept { return frameX (c) + frameWidth / 2; }
    int pitch() const noexcept { return frameWidth + gap; }
};

// Held peaks from nine channels on: two staggered rows, even channels above.
bool staggered (int count) noexcept
{
    return count > 8;
}

juce::Rectangle<int> valueBounds (int count, int c)
{
    const auto columns = Columns::of (count);

    if (!staggered (count))
        return {columns.centreX (c) - 13, 407, 26, 19};

    return {columns.centreX (c) - 15, c % 2 == 0 ? 404 : 422, 30, 16};
}

// Copies one column of source pixels (rows columnsTop to columnsBottom) to width columns at x.
void stretchColumn (juce::Graphics& g, const juce::Image& source, int sourceX, int x, int width)
{
    if (width <= 0)
        return;

    g.drawImage (source, x, columnsTop, width, columnsBottom - columnsTop, sourceX, columnsTop, 1,
                 columnsBottom - columnsTop);
}

// The scale image of an arrangement other than 5.1, built from the 5.1 image of the same reference.
juce::Image scaleImageFor (const juce::Image& base, const SpeakerLayout& layout)
{
    const auto count = layout.numChannels;
    const auto columns = Columns::of (count);
    juce::Image image (juce::Image::RGB, base.getWidth(), base.getHeight(), true);
    juce::Graphics g (image);
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    g.drawImageAt (base, 0, 0);

    // Everything right of the left scale goes; the title stays.
    g.setColour (EditorPalette::black);
    g.fillRect (frameLeftSource, columnsTop, image.getWidth() - frameLeftSource,
                image.getHeight() - columnsTop);

    for (int c = 0; c < count; ++c)
    {
        const auto x = columns.frameX (c);
        stretchColumn (g, base, frameLeftSource, x, 1);
        stretchColumn (g, base, frameInsideSource, x + 1, columns.frameWidth - 2);
        stretchColumn (g, base, frameRightSource, x + columns.frameWidth - 1, 1);

        // Tick marks either side of each gap, and after the last frame.
        const auto gapX = x + columns.frameWidth;
        stretchColumn (g, base, gapLeftSource, gapX, 1);
        stretchColumn (g, base, gapLeftSource + 1, gapX + 1, 1);

        if (c == count - 1)
            continue;

        stretchColumn (g, base, gapInsideSource, gapX + 2, columns.gap - 4);
        stretchColumn (g, base, gapRightSource, gapX + columns.gap - 2, 1);
        stretchColumn (g, base, gapRightSource + 1, gapX + columns.gap - 1, 1);
    }

    const auto end = columns.frameX (count - 1) + columns.frameWidth + 2;
    stretchColumn (g, base, rightScaleSource, end, 1);

    // The channel names under the columns, in the 5.1 image's type and grey.
    g.setColour (EditorPalette::lightGrey);
    g.setFont (juce::Font (10.5f));

    for (int c = 0; c < count; ++c)
        g.drawFittedText (layout.speakers[c].label, columns.centreX (c) - columns.pitch() / 2, 393,
                          columns.pitch(), 11, juce::Justification::centred, 1, 0.8f);

    // Two rows of held peaks push the caption down.
    const auto captionY = staggered (count) ? 444 : captionSource.getY();
    g.drawImage (base, captionSource.getX(), captionY, captionSource.getWidth(), captionSource.getHeight(),
                 captionSource.getX(), captionSource.getY(), captionSource.getWidth(),
                 captionSource.getHeight());
    return image;
}
} // namespace

TruePeakMeterPage::TruePeakMeterPage (PageActions& a) : actions (a)
{
    scale.setType (8);

    scaleImage.setImage (imagePeak18, juce::RectanglePlacement::stretchToFit);
    addAndMakeVisible (scaleImage);

    for (int c = 0; c < maxChannels; ++c)
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
        WidgetStyle::label (value, *this, {}, labelX[c % 6], 407, 22, 19, 10.0f,
                            juce::Justification::centred);
        value.setBorderSize (juce::BorderSize<int> (1));
        value.setColour (juce::Label::outlineColourId, EditorPalette::midGrey);
    }

    showLayout (SpeakerLayout::surround51);
}

TruePeakMeterPage::~TruePeakMeterPage()
{
    for (auto& indicator : overloadIndicators)
        indicator.removeListener (this);
}

void TruePeakMeterPage::resized()
{
    scaleImage.setBounds (0, 0, 301, 472);

    const auto columns = Columns::of (numChannels);

    for (int c = 0; c < numChannels; ++c)
    {
        if (layoutId == SpeakerLayout::surround51)
        {
            bars[c].setMeterBounds (columnX[c], 39, 16);
            overloadIndicators[c].setBounds (columnX[c], 28, 17, 8);
            values[c].setBounds (labelX[c], 407, 22, 19);
            continue;
        }

        const auto x = columns.frameX (c) + 1;
        bars[c].setMeterBounds (x, 39, columns.barWidth());
        overloadIndicators[c].setBounds (x, 28, columns.barWidth() + 1, 8);
        values[c].setBounds (valueBounds (numChannels, c));
    }
}

void TruePeakMeterPage::showLayout (int id)
{
    const auto& layout = SpeakerLayout::get (id);
    layoutId = layout.id;
    numChannels = layout.numChannels;

    for (int c = 0; c < maxChannels; ++c)
    {
        const bool used = c < numChannels;
        bars[c].setVisible (used);
        overloadIndicators[c].setVisible (used);
        values[c].setVisible (used);

        if (!used)
            continue;

        const juce::String label (layout.speakers[c].label);
        const bool surround51 = layoutId == SpeakerLayout::surround51;
        overloadIndicators[c].setName ("overload" + label);
        values[c].setName (surround51 ? juce::String (labelNames[c]) : "TP" + label + "Display");
        values[c].setFont (juce::Font (staggered (numChannels) ? 9.5f : 10.0f));
    }

    showScaleImage();
    resized();
}

void TruePeakMeterPage::showScaleImage()
{
    // Reference 1 (-18) is also the image before the first refresh.
    const auto& base = lastReference == 1 || lastReference < 0 ? imagePeak18 : imagePeak20;

    if (layoutId == SpeakerLayout::surround51)
        scaleImage.setImage (base, juce::RectanglePlacement::stretchToFit);
    else
        scaleImage.setImage (scaleImageFor (base, SpeakerLayout::get (layoutId)),
                             juce::RectanglePlacement::stretchToFit);
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
        showScaleImage();
    }

    if (r.layout != layoutId)
        showLayout (r.layout);

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
