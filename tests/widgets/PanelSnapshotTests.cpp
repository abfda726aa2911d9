#include <gtest/gtest.h>

#include "WidgetTestSupport.h"

#include "TarnArtwork.h"
#include "editor/MeterScale.h"
#include "editor/OSKAHistogramContainer.h"
#include "editor/RIRORuduArrowVU.h"
#include "editor/RIRORuduLRVU.h"
#include "editor/RIRORuduLoudnessHistogram.h"
#include "editor/RIRORuduVU.h"

#include <BinaryData.h>

#include <cmath>

using namespace WidgetTestSupport;

// The three left-hand regions of the editor put together from the widgets and the
// embedded images at their fixed places, with labels where the editor puts its
// texts: the snapshots show how the artwork and the widgets meet.
namespace
{
juce::Image load (const char* resource)
{
    int size = 0;
    const auto* data = BinaryData::getNamedResource (resource, size);
    return juce::ImageFileFormat::loadFrom (data, (size_t)size);
}

struct ImagePanel : juce::Component
{
    explicit ImagePanel (juce::Image im) : image (std::move (im))
    {
        setSize (image.getWidth(), image.getHeight());
    }
    void paint (juce::Graphics& g) override
    {
        g.drawImage (image, getLocalBounds().toFloat(),
                     juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize);
    }
    juce::Image image;
};

struct Mockup
{
    juce::Label& label (juce::Component& parent, const juce::String& text, int x, int y, int w, int h,
                        float height, juce::Justification justification = juce::Justification::centredLeft,
                        juce::Colour colour = juce::Colours::white)
    {
        auto* l = labels.add (new juce::Label ({}, text));
        l->setFont (juce::Font (height));
        l->setColour (juce::Label::textColourId, colour);
        l->setJustificationType (justification);
        l->setBounds (x, y, w, h);
        parent.addAndMakeVisible (l);
        return *l;
    }

    ImagePanel& picture (juce::Component& parent, const char* resource, int x, int y, int w, int h)
    {
        auto* p = pictures.add (new ImagePanel (load (resource)));
        p->setBounds (x, y, w, h);
        parent.addAndMakeVisible (p);
        return *p;
    }

    juce::OwnedArray<juce::Label> labels;
    juce::OwnedArray<ImagePanel> pictures;
};

float position (int type, double level)
{
    MeterScale scale;
    scale.setType (type);
    return (float)juce::jlimit (0.0, 1.0, scale.positionOf (level));
}
} // namespace

static juce::Image drawMeterPanel()
{
    Mockup m;
    ImagePanel panel (load ("Tarn_EBU_9_png"));

    RIRORuduVU momentary (load ("VUblack_png"), load ("VU_png"));
    RIRORuduLRVU range (load ("VST_Targeting_alb_png"), load ("VST_Targeting_blue_png"));
    RIRORuduArrowVU arrow (load ("VST_Target_arrow_bkg_png"), load ("VST_Target_arrow_blue_png"));
    panel.addAndMakeVisible (momentary);
    panel.addAndMakeVisible (range);
    panel.addAndMakeVisible (arrow);
    momentary.setMeterBounds (58, 41, 25);
    range.setBounds (110, 41, 16, 352);
    arrow.setBounds (126, 41, 16, 352);

    momentary.setLevel (position (0, -20.0));

    for (int tick = 0; tick < 200; ++tick)
    {
        range.setTargetRange (position (0, -29.0), position (0, -21.0));
        arrow.setTarget (position (0, -23.0));
    }

    m.label (panel, "Peak", 167, 17, 90, 60, 17.0f);
    m.picture (panel, "TP_ALERT_OFF_png", 210, 37, 20, 20);
    m.label (panel, "-23.4 LUFS", 154, 75, 84, 60, 15.0f, juce::Justification::centred,
             juce::Colour (0xFF81CA2F));
    m.label (panel, "Integrated", 154, 92, 84, 60, 14.0f, juce::Justification::centred);
    m.label (panel, "-22.1 LUFS", 154, 135, 84, 60, 15.0f, juce::Justification::centred,
             juce::Colour (0xFF81CA2F));
    m.label (panel, "Short Term", 154, 152, 84, 60, 14.0f, juce::Justification::centred);
    m.label (panel, "7.8 LU", 154, 195, 84, 60, 15.0f, juce::Justification::centred);
    m.label (panel, "Range", 154, 212, 84, 60, 14.0f, juce::Justification::centred);
    m.label (panel, "EBU", 154, 248, 84, 60, 15.0f, juce::Justification::centred, juce::Colour (0xFF81CA2F));
    m.label (panel, "00:01:05:12", 154, 285, 84, 60, 15.0f);
    m.picture (panel, "butPause_png", 154, 330, 84, 24);
    m.picture (panel, "butReset_png", 154, 369, 84, 24);
    m.label (panel, "ML   LUFS", 32, 406, 84, 22, 16.0f)
        .setColour (juce::Label::backgroundColourId, juce::Colours::black);
    m.label (panel, "k", 53, 410, 84, 22, 12.0f);

    return render (panel);
}

TEST (PanelSnapshots, MeterPanelBarsMeetThePrintedScale)
{
    const auto image = drawMeterPanel();
    writeSnapshot ("panels/meter-panel-ebu-9", image);

    // The bar's top row for -20 LUFS is the printed -20 tick's row (within the
    // truncation of the bar height).
    MeterScale scale;
    scale.setType (0);
    const auto tickRow = TarnArtwork::loudnessRow (scale, -20.0);
    const auto barTop = 41 + 352 - (int)(352.0f * position (0, -20.0));
    EXPECT_LE (std::abs (barTop - tickRow), 1);
    EXPECT_EQ (image.getPixelAt (70, barTop), juce::Colour (0xFF3892E3));
    EXPECT_EQ (image.getPixelAt (70, barTop - 1), juce::Colours::black);

    // The pointer's tip points at the -23 mark.
    const auto targetRow = TarnArtwork::loudnessRow (scale, -23.0);
    EXPECT_GT (image.getPixelAt (127, targetRow).getBlue(), 100);
}

static juce::Image drawTruePeakPage()
{
    Mockup m;
    ImagePanel page (load ("Peak_Meter_IEC_60268_18_png"));

    const int xs[6] = {70, 99, 128, 157, 185, 215};
    const int labelXs[6] = {66, 96, 125, 154, 183, 210};
    const double levels[6] = {-3.2, -6.5, -12.0, -30.0, -18.4, 1.5};
    const char* const texts[6] = {"-3.2 ", "-6.5 ", "-12.0 ", "-30.0 ", "-18.4 ", "1.5 "};
    juce::OwnedArray<RIRORuduVU> bars;
    MeterScale scale;
    scale.setType (8);

    for (int k = 0; k < 6; ++k)
    {
        auto* bar = bars.add (new RIRORuduVU (load ("TP_VU_negru_png"), juce::Colour (0xFF81CA2F),
                                              juce::Colour (0xFFD70014), 0.5f));
        page.addAndMakeVisible (bar);
        bar->setMeterBounds (xs[k], 39, 16);
        bar->setSplitPosition ((float)scale.positionOf (-1.0));
        bar->setLevel ((float)scale.positionOf (levels[k]));
        bar->setLevel ((float)scale.positionOf (levels[k] - 6.0)); // marker holds above the bar

        m.picture (page, k == 5 ? "Led_On_png" : "Led_Off_png", xs[k], 28, 17, 8);
        m.label (page, texts[k], labelXs[k], 407, 22, 19, 10.0f, juce::Justification::centred)
            .setColour (juce::Label::outlineColourId, juce::Colour (0xFF979797));
    }

    return render (page);
}

TEST (PanelSnapshots, TruePeakBarsMeetThePrintedScale)
{
    const auto image = drawTruePeakPage();
    writeSnapshot ("panels/true-peak-page-18", image);
    MeterScale scale;
    scale.setType (8);

    // The marker of the C bar (-12 dBTP) sits on the printed -12 tick's row.
    const auto row = TarnArtwork::truePeakRow (scale, -12.0);
    const auto markerTop = 39 + 352 - (int)(352.0f * (float)scale.positionOf (-12.0));
    EXPECT_LE (std::abs (markerTop - row), 1);
    EXPECT_EQ (image.getPixelAt (135, markerTop), juce::Colour (0xFF81CA2F));
}

static juce::Image drawHistogramPanel()
{
    Mockup m;
    OSKAHistogramContainer panel;
    panel.setSize (130, 472);

    m.picture (panel, "Logo_png", 12, 0, 60, 25);
    RIRORuduLoudnessHistogram histogram (juce::Colour (0xFF3A93DD), juce::Colour (0xFF3A93DD),
                                         juce::Colours::red);
    panel.addAndMakeVisible (histogram);
    histogram.setBounds (10, 41, 110, 352);
    histogram.setScaleType (0);
    histogram.setMomentaryThreshold (-20.0f);

    juce::Array<float> levels;
    juce::Array<float> counts;

    for (int i = 0; i <= 700; ++i)
    {
        const auto level = (float)(-70.0 + i / 10.0);
        levels.add (level);
        counts.add (800.0f * std::exp (-0.5f * std::pow ((level + 23.5f) / 3.5f, 2.0f)) +
                    300.0f * std::exp (-0.5f * std::pow ((level + 31.0f) / 2.0f, 2.0f)));
    }

    histogram.setData (levels, counts);

    m.picture (panel, "Switch_Off_png", 49, 405, 32, 13);
    m.label (panel, "ML", 9, 403, 84, 20, 15.0f);
    m.label (panel, "k", 28, 407, 84, 20, 12.0f);
    m.label (panel, "SL", 82, 403, 84, 20, 15.0f);
    m.label (panel, "k", 96, 407, 84, 20, 12.0f);

    return render (panel);
}

TEST (PanelSnapshots, HistogramPanelAndEditorComposite)
{
    const auto histogram = drawHistogramPanel();
    writeSnapshot ("panels/histogram-panel", histogram);
    EXPECT_EQ (histogram.getPixelAt (5, 200), juce::Colours::black);

    // The editor's three left-hand regions side by side.
    juce::Image editor (juce::Image::ARGB, 729, 472, true);
    juce::Graphics g (editor);
    g.fillAll (juce::Colours::black);
    g.drawImageAt (histogram, 0, 0);
    g.drawImageAt (drawMeterPanel(), 130, 0);
    g.drawImageAt (drawTruePeakPage(), 379, 0);
    writeSnapshot ("panels/editor-composite", editor);
}
