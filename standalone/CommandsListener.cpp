#include "standalone/CommandsListener.h"

#include "standalone/OSKAStandaloneFilterWindow.h"

namespace
{
std::unique_ptr<juce::ApplicationCommandManager>& commandManagerInstance()
{
    static std::unique_ptr<juce::ApplicationCommandManager> instance;
    return instance;
}

bool repaintDisplay = false;

OSKAStandaloneFilterWindow* findStandaloneWindow()
{
    for (int i = juce::TopLevelWindow::getNumTopLevelWindows(); --i >= 0;)
        if (auto* window =
                dynamic_cast<OSKAStandaloneFilterWindow*> (juce::TopLevelWindow::getTopLevelWindow (i)))
            return window;

    return nullptr;
}
} // namespace

CommandsListener::CommandsListener() = default;

CommandsListener::~CommandsListener() = default;

juce::ApplicationCommandManager& CommandsListener::getCommandManager()
{
    auto& instance = commandManagerInstance();

    if (instance == nullptr)
        instance = std::make_unique<juce::ApplicationCommandManager>();

    return *instance;
}

void CommandsListener::deleteCommandManager()
{
    commandManagerInstance().reset();
}

bool CommandsListener::hasCommandManager() noexcept
{
    return commandManagerInstance() != nullptr;
}

bool CommandsListener::isRepaintDisplayOn() noexcept
{
    return repaintDisplay;
}

juce::ApplicationCommandTarget* CommandsListener::getNextCommandTarget()
{
    return findFirstTargetParentComponent();
}

void CommandsListener::getAllCommands (juce::Array<juce::CommandID>& commands)
{
    commands.add (toggleRepaintDisplay);
    commands.add (showKioskMode);
}

void CommandsListener::getCommandInfo (juce::CommandID commandID, juce::ApplicationCommandInfo& result)
{
    const juce::String category ("General");

    if (commandID == toggleRepaintDisplay)
    {
        result.setInfo ("Toggle repaint display", juce::String(), category, 0);
        result.addDefaultKeypress ('r', juce::ModifierKeys::noModifiers);
        result.setTicked (repaintDisplay);
    }
    else if (commandID == showKioskMode)
    {
        result.setInfo ("Show full-screen kiosk mode", juce::String(), category, 0);
        result.addDefaultKeypress ('f', juce::ModifierKeys::commandModifier);
        result.setTicked (juce::Desktop::getInstance().getKioskModeComponent() != nullptr);
    }
}

bool CommandsListener::perform (const InvocationInfo& info)
{
    if (info.commandID != toggleRepaintDisplay && info.commandID != showKioskMode)
        return false;

    auto* window = findStandaloneWindow();

    if (window == nullptr)
        return true;

    if (info.commandID == toggleRepaintDisplay)
    {
        repaintDisplay = !repaintDisplay;
        window->repaint();
    }
    else
    {
        auto& desktop = juce::Desktop::getInstance();

        if (desktop.getKioskModeComponent() == nullptr)
            desktop.setKioskModeComponent (getTopLevelComponent());
        else
            desktop.setKioskModeComponent (nullptr);
    }

    return true;
}
