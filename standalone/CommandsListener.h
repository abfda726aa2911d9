#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The standalone window's content component: it carries the editor, its only child, and
// answers the program's two keyboard commands. It paints nothing itself.
//
// The commands live in one process-wide command manager, created by the first caller of
// getCommandManager and deleted by the window when it goes. Message thread only.
class CommandsListener : public juce::Component, public juce::ApplicationCommandTarget
{
public:
    enum CommandIDs
    {
        toggleRepaintDisplay = 0x200E,
        showKioskMode = 0x200F
    };

    CommandsListener();
    ~CommandsListener() override;

    juce::ApplicationCommandTarget* getNextCommandTarget() override;
    void getAllCommands (juce::Array<juce::CommandID>& commands) override;
    void getCommandInfo (juce::CommandID commandID, juce::ApplicationCommandInfo& result) override;
    bool perform (const InvocationInfo& info) override;

    static juce::ApplicationCommandManager& getCommandManager();
    static void deleteCommandManager();
    static bool hasCommandManager() noexcept;

    // The flag that "Toggle repaint display" inverts; false at start.
    static bool isRepaintDisplayOn() noexcept;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CommandsListener)
};
