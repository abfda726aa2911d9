#include "EditorFixture.h"

#include <gtest/gtest.h>

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
