#include "EditorFixture.h"

#include <gtest/gtest.h>

using namespace EditorTest;

namespace
{
const juce::Colour black (0xFF000000);
const juce::Colour lightGrey (0xFFD8D8D8);

void expectOnlyPageShown (EditorProbe& probe, juce::Component& page)
{
    for (auto* p : {&probe.truePeakPage(), &probe.statisticsPage(), &probe.settingsPage(), &probe.aboutPage(),
                    (juce::Component*)&probe.historyPage()})
    {
        EXPECT_EQ (p->isVisible(), p == &page);

        if (p == &page)
        {
            EXPECT_EQ (p->getBounds(), juce::Rectangle<int> (379, 0, 350, 472));
        }
    }
}

void selectTab (EditorProbe& probe, int index)
{
    probe.tabs().setCurrentTabIndex (index);
    probe.tabs().dispatchPendingMessages();
}
} // namespace

TEST (EditorLayout, AFreshEditorShowsTheTruePeakPageWithTheFirstTabSelected)
{
    Fixture f;
    auto& p = *f.probe;
    auto& editor = *f.editor;

    EXPECT_EQ (editor.getWidth(), 729);
    EXPECT_EQ (editor.getHeight(), 472);
    EXPECT_FALSE (editor.isResizable());
    EXPECT_TRUE (editor.isOpaque());

    EXPECT_TRUE (p.histogramPanel().isVisible());
    EXPECT_EQ (p.histogramPanel().getBounds(), juce::Rectangle<int> (0, 0, 130, 472));
    EXPECT_TRUE (p.meterPanel().isVisible());
    EXPECT_EQ (p.meterPanel().getBounds(), juce::Rectangle<int> (130, 0, 249, 472));
    EXPECT_TRUE (sameImage (p.meterPanel().getImage(), p.imageEbu9()));
    expectOnlyPageShown (p, p.truePeakPage());

    auto& tabs = p.tabs();
    EXPECT_EQ (tabs.getBounds(), juce::Rectangle<int> (699, 0, 30, 325));
    EXPECT_EQ (tabs.getOrientation(), juce::TabbedButtonBar::TabsAtRight);
    ASSERT_EQ (tabs.getNumTabs(), 5);
    EXPECT_EQ (tabs.getCurrentTabIndex(), 0);

    // Each text is padded with a no-break blank at both ends.
    const auto nb = juce::String::charToString ((juce::juce_wchar)0x00A0);
    const juce::StringArray expectedNames{nb + " TP Meter " + nb, nb + "Statistics" + nb,
                                          nb + " Settings " + nb, nb + " About " + nb, nb + " History " + nb};
    EXPECT_EQ (tabs.getTabNames(), expectedNames);
    EXPECT_EQ (tabs.getTabBackgroundColour (0), black);

    for (int i = 1; i < 5; ++i)
        EXPECT_EQ (tabs.getTabBackgroundColour (i), lightGrey);

    // The tabs lie on top of the pages, the pages in their order behind them.
    EXPECT_EQ (editor.getIndexOfChildComponent (&tabs), editor.getNumChildComponents() - 1);
    EXPECT_LT (editor.getIndexOfChildComponent (&p.truePeakPage()),
               editor.getIndexOfChildComponent (&p.meterPanel()));
    EXPECT_LT (editor.getIndexOfChildComponent (&p.aboutPage()),
               editor.getIndexOfChildComponent (&p.statisticsPage()));
}

TEST (EditorLayout, ComponentsCarryTheirNamesTextsAndStartStates)
{
    Fixture f;
    auto& p = *f.probe;

    EXPECT_EQ (p.momentaryBar().getName(), "VUMeter");
    EXPECT_EQ (p.momentaryBar().getBounds(), juce::Rectangle<int> (58, 41, 25, 352));
    EXPECT_FALSE (p.momentaryBar().isPeakHoldEnabled());
    EXPECT_EQ (p.rangeMeter().getName(), "LRVUMeter");
    EXPECT_EQ (p.targetArrow().getName(), "ArrowVUMeter");

    const char* const names[] = {"TPLeftDisplay", "TPRightDisplay", "TPCenterDisplay",
                                 "TPLFEDisplay",  "TPLeftSDisplay", "TPRightSDisplay"};
    const int barX[] = {70, 99, 128, 157, 185, 215};

    for (int c = 0; c < 6; ++c)
    {
        EXPECT_EQ (p.truePeakValue (c).getName(), names[c]);
        EXPECT_EQ (p.truePeakBar (c).getBounds(), juce::Rectangle<int> (barX[c], 39, 16, 352));
        EXPECT_TRUE (p.truePeakBar (c).isPeakHoldEnabled());
        EXPECT_FALSE (p.overloadIndicator (c).isEnabled());
    }

    EXPECT_FALSE (p.peakAlarm().isEnabled());
    EXPECT_EQ (p.elapsedTime().getText(), "00:00:00:00");
    EXPECT_EQ (p.unitCaption().getText(), "ML   LUFS");
    EXPECT_EQ (p.versionLine().getText(), "Tarn5.1 Version 2.0.3 64b (509)");
    EXPECT_TRUE (p.contactLink().getURL().isWellFormed());
    EXPECT_NE (p.contactLink().getURL(), p.userGuideLink().getURL());

    // The plug-in's settings page has the channel order and transport following, and no
    // audio settings.
    EXPECT_EQ (p.channelOrderBox().getParentComponent(), &p.settingsPage());
    EXPECT_EQ (p.followCheckBox().getParentComponent(), &p.settingsPage());
    EXPECT_EQ (p.audioSettings().getParentComponent(), nullptr);

    // Each statistics value sits immediately left of its unit, on the unit's row.
    f.processor->readings.integrated = -23.0f;
    f.tick();
    const auto value = p.integratedValue().getBounds();
    const auto unit = p.integratedUnit().getBounds();
    EXPECT_EQ (value.getRight(), unit.getX());
    EXPECT_EQ (value.getY(), unit.getY());
    EXPECT_EQ (value.getHeight(), unit.getHeight());
    EXPECT_GT (value.getWidth(), 0);
}

TEST (EditorLayout, EachTabShowsItsPageAndTurnsBlack)
{
    Fixture f;
    auto& p = *f.probe;
    juce::Component* pages[] = {&p.truePeakPage(), &p.statisticsPage(), &p.settingsPage(), &p.aboutPage(),
                                &p.historyPage()};

    for (int index : {1, 2, 3, 4, 0, 2})
    {
        selectTab (p, index);
        expectOnlyPageShown (p, *pages[index]);

        for (int i = 0; i < 5; ++i)
            EXPECT_EQ (p.tabs().getTabBackgroundColour (i), i == index ? black : lightGrey) << index;

        // The fixed regions stay where they are.
        EXPECT_TRUE (p.histogramPanel().isVisible());
        EXPECT_EQ (p.meterPanel().getBounds(), juce::Rectangle<int> (130, 0, 249, 472));
    }
}

TEST (EditorLayout, TheStandaloneSettingsPageHasNoChannelOrderAndAnAudioSettingsButton)
{
    struct Window
    {
        static void openSettings (void* context) { ++static_cast<Window*> (context)->openings; }
        int openings = 0;
    } window;

    Fixture f (true);
    auto& p = *f.probe;

    EXPECT_EQ (p.channelOrderBox().getParentComponent(), nullptr);
    EXPECT_EQ (p.followCheckBox().getParentComponent(), nullptr);
    ASSERT_EQ (p.audioSettings().getParentComponent(), &p.settingsPage());
    EXPECT_EQ (p.audioSettings().getBounds(), juce::Rectangle<int> (17, 281, 96, 22));

    // The hidden box still follows its parameter (off by default here), so play/pause is usable.
    f.tick();
    EXPECT_FALSE (p.followCheckBox().getToggleState());
    EXPECT_TRUE (p.playPause().isEnabled());
    f.setParameter ("Follow Transport", 1.0f);
    f.tick();
    EXPECT_TRUE (p.followCheckBox().getToggleState());

    // Without a hook the button does nothing; with one it reaches the window.
    Fixture::click (p.audioSettings());
    f.editor->setAudioSettingsCallback (&Window::openSettings, &window);
    Fixture::click (p.audioSettings());
    Fixture::click (p.audioSettings());
    EXPECT_EQ (window.openings, 2);
}

TEST (EditorLayout, TheEditorOpensAndClosesRepeatedlyAndTheProcessorDrivesItsTimer)
{
    Fixture f;
    f.closeEditor();
    f.measure (minus23Programme());

    for (int round = 0; round < 10; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (f.processor->createEditorIfNeeded());
        auto* ours = dynamic_cast<RiroruduLoudnessAudioProcessorEditor*> (editor.get());
        ASSERT_NE (ours, nullptr);
        EXPECT_TRUE (ours->isTimerRunning());

        ours->timerCallback();
        EXPECT_EQ (EditorProbe (*ours).integratedReadout().getText(), "-23.0 LUFS");

        f.processor->releaseResources();
        EXPECT_FALSE (ours->isTimerRunning());
        f.processor->prepareToPlay (rate, blockSize);
        EXPECT_EQ (ours->getTimerInterval(), 50);
        dispatchMessages();
        f.processor->editorBeingDeleted (editor.get());
    }

    EXPECT_EQ (f.processor->getActiveEditor(), nullptr);
}
