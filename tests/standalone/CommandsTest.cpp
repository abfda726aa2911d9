#include "standalone/CommandsListener.h"

#include <gtest/gtest.h>

TEST (StandaloneCommands, RAndCtrlFAreTheKeysOfTheTwoCommands)
{
    CommandsListener content;
    auto& manager = CommandsListener::getCommandManager();
    manager.registerAllCommandsForTarget (&content);

    juce::Array<juce::CommandID> commands;
    content.getAllCommands (commands);
    EXPECT_EQ (commands, juce::Array<juce::CommandID> (0x200E, 0x200F));

    auto* repaint = manager.getCommandForID (0x200E);
    auto* kiosk = manager.getCommandForID (0x200F);
    ASSERT_NE (repaint, nullptr);
    ASSERT_NE (kiosk, nullptr);
    EXPECT_EQ (repaint->shortName, "Toggle repaint display");
    EXPECT_EQ (kiosk->shortName, "Show full-screen kiosk mode");
    EXPECT_EQ (repaint->categoryName, "General");
    EXPECT_TRUE (repaint->description.isEmpty());

    auto& keys = *manager.getKeyMappings();
    EXPECT_EQ (keys.findCommandForKeyPress (juce::KeyPress ('r')), 0x200E);
    EXPECT_EQ (keys.findCommandForKeyPress (juce::KeyPress ('f', juce::ModifierKeys::commandModifier, 0)),
               0x200F);
    EXPECT_EQ (keys.findCommandForKeyPress (juce::KeyPress ('f')), 0);

    // Without the program's window the commands do nothing, but they are handled.
    EXPECT_TRUE (content.perform (juce::ApplicationCommandTarget::InvocationInfo (0x200E)));
    EXPECT_FALSE (CommandsListener::isRepaintDisplayOn());
    EXPECT_FALSE (content.perform (juce::ApplicationCommandTarget::InvocationInfo (0x2010)));

    CommandsListener::deleteCommandManager();
    EXPECT_FALSE (CommandsListener::hasCommandManager());
}
