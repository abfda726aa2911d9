#include "EditorFixture.h"

#include "editor/MeterScale.h"
#include "engine/SpeakerLayout.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace EditorTest;

namespace
{
// Pixels of a rendered area that are not dark.
int litPixels (const juce::Image& image, juce::Rectangle<int> area)
{
    int count = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (image.getPixelAt (x, y).getBrightness() > 0.2f)
                ++count;

    return count;
}
} // namespace

// The editor on each of its pages after a -23 LUFS programme, as the user sees it.
TEST (EditorSnapshots, EachPageAfterAMinus23LufsProgramme)
{
    Fixture f;
    auto& p = *f.probe;
    f.playHead.info.setFrameRate (juce::AudioPlayHead::fps25);
    f.setParameter ("ML Threshold", -22.0f);
    f.setParameter ("STL Threshold", -22.0f);

    f.measure (speechProgramme());
    f.tick (80);
    ASSERT_EQ (p.integratedReadout().getText(), "-23.0 LUFS");

    const char* const names[] = {"editor-tp", "editor-statistics", "editor-settings", "editor-about"};

    for (int page = 0; page < 4; ++page)
    {
        p.tabs().setCurrentTabIndex (page);
        p.tabs().dispatchPendingMessages();
        const auto image = render (*f.editor);
        ASSERT_EQ (image.getWidth(), 729);
        ASSERT_EQ (image.getHeight(), 472);
        writeSnapshot (names[page], image);

        // The right-hand page is drawn, and the tab column beside it.
        EXPECT_GT (litPixels (image, {379, 0, 320, 472}), 2000) << names[page];
        EXPECT_GT (litPixels (image, {699, 0, 30, 325}), 2000) << names[page];
    }
}

namespace
{
// Where a label's text ends, in editor coordinates, and whether it fits its label.
struct TextExtent
{
    float right;
    bool fits;
};

TextExtent extentOf (juce::Label& label, juce::Component& editor)
{
    const auto font = label.getFont();
    const auto border = label.getBorderSize();
    const auto width = font.getStringWidthFloat (label.getText().trimEnd());
    const auto area = (float)(label.getWidth() - border.getLeftAndRight());
    const auto left = (float)editor.getLocalPoint (&label, juce::Point<int> (border.getLeft(), 0)).x;
    // Up to 8 % condensed passes: a typeface wider than the one the boxes were sized for
    // condenses the longest captions a little, which the eye does not notice.
    return {left + width, width <= area * 1.08f};
}
} // namespace

// The texts as the user reads them: no label condenses its text noticeably, none runs under
// the tabs, and no statistics caption runs into its value.
TEST (EditorSnapshots, TextsFitAndKeepClearOfEachOther)
{
    Fixture f;
    auto& p = *f.probe;
    f.playHead.info.setFrameRate (juce::AudioPlayHead::fps25);
    f.measure (speechProgramme());
    f.tick();

    for (auto* page : {&p.truePeakPage(), &p.statisticsPage(), &p.settingsPage(), &p.aboutPage(),
                       (juce::Component*)&p.historyPage()})
    {
        for (auto* child : page->getChildren())
        {
            auto* label = dynamic_cast<juce::Label*> (child);

            // The six peak values are narrow boxes by design; their text may be condensed.
            if (label == nullptr || label->getName().startsWith ("TP"))
                continue;

            const auto extent = extentOf (*label, *f.editor);
            EXPECT_TRUE (extent.fits) << label->getText();
            EXPECT_LT (extent.right, 699.0f) << label->getText();
        }
    }

    const std::pair<juce::Label*, juce::Label*> rows[] = {{&p.integratedRowCaption(), &p.integratedValue()},
                                                          {&p.rangeRowCaption(), &p.rangeValue()},
                                                          {&p.maxShortTermCaption(), &p.maxShortTermValue()},
                                                          {&p.maxMomentaryCaption(), &p.maxMomentaryValue()},
                                                          {&p.maxTruePeakCaption(), &p.maxTruePeakValue()}};

    for (auto [caption, value] : rows)
    {
        // The widest value a row can show.
        value->setText ("-59.9 ", juce::dontSendNotification);
        const auto captionEnd = extentOf (*caption, *f.editor).right;
        const auto valueStart =
            (float)f.editor->getLocalPoint (value, juce::Point<int> (value->getBorderSize().getLeft(), 0)).x;
        EXPECT_LT (captionEnd + 3.0f, valueStart) << caption->getText();
    }
}

namespace
{
// FNV-1a over the rendered pixels, row by row, as text to pin a page's picture.
juce::String pixelHash (const juce::Image& image)
{
    const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
    std::uint64_t hash = 14695981039346656037ull;

    for (int y = 0; y < data.height; ++y)
    {
        const auto* row = data.getLinePointer (y);

        for (int i = 0; i < data.width * data.pixelStride; ++i)
            hash = (hash ^ row[i]) * 1099511628211ull;
    }

    return juce::String::toHexString ((juce::int64)hash).paddedLeft ('0', 16);
}

struct PinnedPage
{
    bool standalone;
    int page;
    const char* name;
    const char* hash;
};

// Hashes of the pictures as first drawn, so that a change of the editor's structure that moves
// one pixel shows. Debian 12's fonts are fixed, so the pictures are the same on every CI run; a
// deliberate change of the looks, or of the version line on the About page, means new hashes.
const PinnedPage pinnedPages[] = {
    {false, 0, "plugin-tp", "e6c1510af922025c"},
    {false, 1, "plugin-statistics", "04beb85f531a01c5"},
    {false, 2, "plugin-settings", "b3364998a0773ba4"},
    {false, 3, "plugin-about", "0450593800d45395"},
    {false, 4, "plugin-history", "dbc802972ceec78f"},
    {true, 0, "standalone-tp", "6de295f11af90bc1"},
    {true, 1, "standalone-statistics", "3912b94cfaff6e7b"},
    {true, 2, "standalone-settings", "e1b3222797ad98f4"},
    {true, 3, "standalone-about", "da4ad8e94e21eddb"},
    {true, 4, "standalone-history", "7659121f08767224"},
};

void PrintTo (const PinnedPage& pinned, std::ostream* out)
{
    *out << pinned.name;
}

class PinnedSnapshots : public ::testing::TestWithParam<PinnedPage>
{
};
} // namespace

// Each page of both editors after the -23 LUFS programme, pixel for pixel as first drawn.
TEST_P (PinnedSnapshots, PageKeepsItsPixels)
{
    const auto& pinned = GetParam();
    Fixture f (pinned.standalone);
    f.playHead.info.setFrameRate (juce::AudioPlayHead::fps25);
    f.setParameter ("ML Threshold", -22.0f);
    f.setParameter ("STL Threshold", -22.0f);
    // The standalone program measures while its play button is down.
    if (pinned.standalone)
        Fixture::click (f.probe->playPause());

    f.measure (speechProgramme());
    f.tick (80);

    f.probe->tabs().setCurrentTabIndex (pinned.page);
    f.probe->tabs().dispatchPendingMessages();
    const auto image = render (*f.editor);
    writeSnapshot (pinned.name, image);
    EXPECT_EQ (pixelHash (image), pinned.hash) << pinned.name;
}

INSTANTIATE_TEST_SUITE_P (EditorSnapshots, PinnedSnapshots, ::testing::ValuesIn (pinnedPages),
                          [] (const auto& test)
                          { return juce::String (test.param.name).removeCharacters ("-").toStdString(); });

namespace
{
class TruePeakLayouts : public ::testing::TestWithParam<int>
{
};

bool isLit (juce::Colour colour)
{
    return colour.getBrightness() > 0.2f;
}
} // namespace

// The true-peak page in each arrangement: one bar per channel, evenly spaced inside the page,
// each with its light, its name under it and a held peak that fits its box and overlaps no
// other. A staircase of peaks from -40 to +2 dBTP, the loudest channels over.
TEST_P (TruePeakLayouts, OneLegibleLabelledBarPerChannel)
{
    const auto& layout = SpeakerLayout::get (GetParam());
    const auto n = layout.numChannels;
    Fixture f;
    auto& p = *f.probe;
    // The pages follow the arrangement the readings carry (set by the audio thread).
    auto& r = f.processor->readings;
    r.layout = layout.id;
    f.tick();
    float levels[SpeakerLayout::maxChannels] = {};

    for (int c = 0; c < n; ++c)
    {
        levels[c] = -40.0f + 42.0f * (float)c / (float)(n - 1);
        r.peakHold[c] = std::round (levels[c] * 10.0f) / 10.0f - (c % 2 == 0 ? 0.0f : 10.0f);
        r.channelOver[c] = levels[c] > -1.0f ? 1 : 0;
    }

    r.truePeakOver = 1;
    MeterScale scale;
    scale.setType (8); // the true-peak page's scale

    for (int i = 0; i < 10; ++i)
    {
        for (int c = 0; c < n; ++c)
            r.peakPosition[c] = (float)scale.positionOf (levels[c]);

        f.tick();
    }

    p.tabs().setCurrentTabIndex (0);
    p.tabs().dispatchPendingMessages();
    auto& page = p.truePeakPage();
    const auto image = render (page);
    if (layout.id == SpeakerLayout::surround714)
    {
        writeSnapshot ("editor-truepeak-714", render (*f.editor));
        p.tabs().setCurrentTabIndex (2);
        p.tabs().dispatchPendingMessages();
        writeSnapshot ("editor-settings-714", render (*f.editor));
    }

    // The settings page's channel-order row: the three orders of 5.1, or the arrangement's own.
    auto& orders = p.channelOrderBox();
    EXPECT_EQ (orders.getNumItems(), layout.id == SpeakerLayout::surround51 ? 3 : 1);
    EXPECT_EQ (orders.isEnabled(), layout.id == SpeakerLayout::surround51);
    EXPECT_TRUE (orders.getText().startsWith (layout.id == SpeakerLayout::surround51 ? "ITU" : layout.name))
        << orders.getText();
    auto rest = orders.getText().fromFirstOccurrenceOf (" - ", false, false);

    // Up to six names fit the box; a bigger bed's order is the host's.
    for (int c = 0; c < n && n <= 6; ++c)
    {
        auto order = rest.upToFirstOccurrenceOf (" ", false, false);
        EXPECT_EQ (order, juce::String (layout.speakers[c].label)) << c;
        rest = rest.fromFirstOccurrenceOf (" ", false, false);
    }

    if (n > 6)
    {
        EXPECT_EQ (rest, "host order");
    }

    if (auto* text = dynamic_cast<juce::Label*> (orders.getChildComponent (0)))
    {
        // As the label draws it: squeezed down to its smallest scale before it is cut short.
        const auto squeeze = text->getMinimumHorizontalScale() > 0.0f
                                 ? text->getMinimumHorizontalScale()
                                 : juce::Font::getDefaultMinimumHorizontalScaleFactor();
        const auto room = text->getBorderSize().subtractedFrom (text->getLocalBounds()).getWidth();
        EXPECT_LE (text->getFont().getStringWidthFloat (orders.getText()) * squeeze, (float)room)
            << "the order is cut short";
    }
    else
        ADD_FAILURE() << "no text in the channel-order box";

    const auto scaleImage = p.truePeakScaleImage().getImage();
    const auto pitch = (float)(p.truePeakBar (n - 1).getX() - p.truePeakBar (0).getX()) / (float)(n - 1);

    for (int c = 0; c < SpeakerLayout::maxChannels; ++c)
    {
        auto& bar = p.truePeakBar (c);
        auto& light = p.overloadIndicator (c);
        auto& value = p.truePeakValue (c);
        ASSERT_EQ (bar.isVisible(), c < n) << c;
        EXPECT_EQ (light.isVisible(), c < n) << c;
        EXPECT_EQ (value.isVisible(), c < n) << c;

        if (c >= n)
            continue;

        const auto label = juce::String (layout.speakers[c].label);
        SCOPED_TRACE (label);
        EXPECT_EQ (light.getName(), "overload" + label);
        EXPECT_TRUE (page.getLocalBounds().contains (bar.getBounds()));
        EXPECT_TRUE (page.getLocalBounds().contains (value.getBounds()));
        EXPECT_GE (bar.getWidth(), 12);
        EXPECT_NEAR ((float)(bar.getX() - p.truePeakBar (0).getX()), pitch * (float)c, 1.5f);
        EXPECT_EQ (light.getToggleState(), levels[c] > -1.0f);

        // The held peak keeps clear of every other box and, beyond the 5.1 page's narrow boxes
        // (which condense it, as they always did), fits its box.
        const auto text = value.getText().trimEnd();
        EXPECT_TRUE (text.containsAnyOf ("0123456789")) << text;
        if (layout.id != SpeakerLayout::surround51)
        {
            EXPECT_LE (value.getFont().getStringWidthFloat (text),
                       (float)(value.getWidth() - value.getBorderSize().getLeftAndRight()))
                << text;
        }

        for (int other = 0; other < c; ++other)
            EXPECT_FALSE (value.getBounds().intersects (p.truePeakValue (other).getBounds())) << other;

        if (c > 0)
        {
            EXPECT_GE (bar.getX() - p.truePeakBar (c - 1).getRight(), 4);
        }

        // The bar is drawn up to its level and no higher; the name is written under it.
        const auto x = bar.getBounds().getCentreX();
        const auto top = bar.getBottom() - juce::roundToInt (bar.getLevel() * (float)RIRORuduVU::meterHeight);
        EXPECT_TRUE (isLit (image.getPixelAt (x, top + 3))) << top;
        EXPECT_FALSE (isLit (image.getPixelAt (x, top - 8))) << top;

        int namePixels = 0;
        for (int y = 393; y < 404; ++y)
            for (int dx = -5; dx <= 5; ++dx)
                namePixels += isLit (scaleImage.getPixelAt (x + dx, y)) ? 1 : 0;
        EXPECT_GT (namePixels, 6);
    }
}

INSTANTIATE_TEST_SUITE_P (
    EditorSnapshots, TruePeakLayouts, ::testing::Range (0, (int)SpeakerLayout::numLayouts),
    [] (const auto& test)
    {
        return "layout" +
               juce::String (SpeakerLayout::get (test.param).name).removeCharacters (".").toStdString();
    });
