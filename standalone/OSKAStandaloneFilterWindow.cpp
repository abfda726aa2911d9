#include "standalone/OSKAStandaloneFilterWindow.h"

#include <limits>

#include "editor/RiroruduLoudnessAudioProcessorEditor.h"
#include "engine/SpeakerLayout.h"
#include "processor/Tarn51AudioProcessor.h"
#include "standalone/OSKAAudioDeviceSelectorComponent.h"
#include "standalone/WindowPlacement.h"

namespace
{
const juce::String filterStateKey ("filterState");
const juce::String speakerLayoutKey ("speakerLayout");
const juce::String audioSetupKey ("audioSetup");
const juce::String windowXKey ("windowX");
const juce::String windowYKey ("windowY");
const juce::String windowFrameXKey ("windowFrameX");
const juce::String windowFrameYKey ("windowFrameY");

#if JUCE_WINDOWS
// On Windows the program offers "Windows Audio" (WASAPI shared mode) and "DirectSound"; JUCE
// also offers WASAPI's exclusive and low-latency modes as types of their own.
class WindowsDeviceManager : public juce::AudioDeviceManager
{
public:
    void createAudioDeviceTypes (juce::OwnedArray<juce::AudioIODeviceType>& types) override
    {
        juce::AudioDeviceManager::createAudioDeviceTypes (types);
        for (int i = types.size(); --i >= 0;)
            if (types[i]->getTypeName() != "Windows Audio" && types[i]->getTypeName() != "DirectSound")
                types.remove (i);
    }
};
using StandaloneDeviceManager = WindowsDeviceManager;
#else
using StandaloneDeviceManager = juce::AudioDeviceManager;
#endif
} // namespace

// Puts the window back on its restored position where a window manager placed it elsewhere.
// The window is asked for where its frame was: a window manager that honours the program's
// position puts the frame there (north-west gravity), so the client area comes back where it
// was and the keeper finds nothing to do. But a window manager may place a window by its own
// rules (fluxbox does now and then; once JUCE has written its size limits into the window's
// hints they no longer say that the program chose the position), and without a stored frame
// position the
// frame lands where the client area was, a title bar too low. The window manager's moves
// arrive one by one, late on a loaded machine, so for three seconds after the frame is known a
// position that has stayed put for a moment and is not the restored one is corrected (a
// correction made between two of those moves would itself be off by the frame). Position and
// correction go to the window system itself: JUCE's copy of the position can miss the window
// manager's last move, and then reads as restored while the window is a title bar lower.
// Once the window has settled on the restored position, without a window manager, or after
// those seconds, the keeper does nothing, so a user who drags the window is left alone.
class OSKAStandaloneFilterWindow::PositionKeeper final : private juce::Timer
{
public:
    PositionKeeper (juce::Component& windowToKeep, juce::Point<int> position)
        : window (windowToKeep), target (position)
    {
        startTimer (intervalMilliseconds);
    }

    ~PositionKeeper() override { stopTimer(); }

private:
    static constexpr int intervalMilliseconds = 50;
    static constexpr int framedTicks = 60;    // how long the keeper watches a framed window
    static constexpr int unframedTicks = 100; // how long it waits for a frame once shown
    static constexpr int settledTicks = 3;

    void timerCallback() override
    {
        auto* peer = window.getPeer();

        if (peer == nullptr || !window.isShowing())
            return;

        const auto frame = peer->getFrameSizeIfPresent();
        const bool framed = frame && (frame->getTop() != 0 || frame->getLeft() != 0);

        if (!framed)
        {
            if (++ticksUnframed > unframedTicks)
                stopTimer();
            return;
        }

        if (++ticksFramed > framedTicks)
        {
            stopTimer();
            return;
        }

        const auto position = clientAreaPositionOnScreen (window);

        if (position != lastPosition)
        {
            lastPosition = position;
            ticksInPlace = 0;
            return;
        }

        if (++ticksInPlace != settledTicks)
            return;

        if (position != target)
            moveClientAreaTo (window, target);
        else
            stopTimer(); // in place: from here on the window is the user's
    }

    juce::Component& window;
    const juce::Point<int> target;
    juce::Point<int> lastPosition{std::numeric_limits<int>::min(), std::numeric_limits<int>::min()};
    int ticksUnframed = 0;
    int ticksFramed = 0;
    int ticksInPlace = 0;
};

OSKAStandaloneFilterWindow::OSKAStandaloneFilterWindow (const juce::String& title, juce::Colour,
                                                        juce::PropertySet* settingsToUse)
    : juce::DocumentWindow (title, juce::Colours::black, juce::DocumentWindow::allButtons, true),
      settings (settingsToUse)
{
    deviceManager = std::make_unique<StandaloneDeviceManager>();
    deviceManager->addAudioCallback (&player);
    deviceManager->addMidiInputDeviceCallback (juce::String(), &player);

    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Standalone);
    processor = std::make_unique<Tarn51AudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);

    if (processor == nullptr)
    {
        juce::JUCEApplicationBase::quit();
        return;
    }

    if (settings != nullptr)
        restoreProcessor (*processor, *settings);

    // A layout the processor's buses cannot take leaves them at 5.1.
    auto channels = SpeakerLayout::get (processor->getMeterLayout()).numChannels;
    juce::AudioProcessor::BusesLayout buses;
    buses.inputBuses.add (juce::AudioChannelSet::canonicalChannelSet (channels));
    buses.outputBuses.add (juce::AudioChannelSet::canonicalChannelSet (channels));

    if (!processor->checkBusesLayoutSupported (buses))
        channels = numChannels;

    processor->setPlayConfigDetails (channels, channels, 44100.0, 512);

    juce::String error;

    if (settings != nullptr)
    {
        const auto savedSetup = settings->getXmlValue (audioSetupKey);
        error = deviceManager->initialise (processor->getTotalNumInputChannels(),
                                           processor->getTotalNumOutputChannels(), savedSetup.get(), false);
    }
    else
    {
        error = deviceManager->initialise (processor->getTotalNumInputChannels(),
                                           processor->getTotalNumOutputChannels(), nullptr, true);
    }

    juce::Logger::writeToLog (error);

    content = std::make_unique<CommandsListener>();

    auto* editor = processor->createEditorIfNeeded();

    if (editor != nullptr)
        content->addAndMakeVisible (editor);

    content->setSize (editor != nullptr ? editor->getWidth() : 0,
                      editor != nullptr ? editor->getHeight() : 0);
    setContentNonOwned (content.get(), true);

    addKeyListener (CommandsListener::getCommandManager().getKeyMappings());

    // The editor's Audio Settings button opens this window's dialog.
    if (auto* meterEditor = dynamic_cast<RiroruduLoudnessAudioProcessorEditor*> (editor))
        meterEditor->setAudioSettingsCallback (&OSKAStandaloneFilterWindow::openAudioSettingsOf, this);

    if (error.isNotEmpty())
        openAudioSettings();

    const auto x = settings != nullptr ? settings->getIntValue (windowXKey, noPosition) : noPosition;
    const auto y = settings != nullptr ? settings->getIntValue (windowYKey, noPosition) : noPosition;

    if (x != noPosition && y != noPosition)
    {
        // A window manager puts a new window's frame, not its client area, where the program
        // asks (north-west gravity): asking for where the frame was brings the window back on
        // the first placement. Without a frame position the client area's is used as it is.
        const auto frameX = settings->getIntValue (windowFrameXKey, noPosition);
        const auto frameY = settings->getIntValue (windowFrameYKey, noPosition);
        const bool framed = settings->containsKey (windowFrameXKey) &&
                            settings->containsKey (windowFrameYKey) && frameX != noPosition &&
                            frameY != noPosition;
        setBoundsConstrained ({framed ? frameX : x, framed ? frameY : y, getWidth(), getHeight()});
        // The keeper still puts back a window that a window manager placed by its own rules.
        positionKeeper = std::make_unique<PositionKeeper> (
            *this, getPosition() + juce::Point<int> (x, y) -
                       juce::Point<int> (framed ? frameX : x, framed ? frameY : y));
    }
    else
        centreWithSize (getWidth(), getHeight());

    player.setProcessor (processor.get());
    triggerAsyncUpdate();
}

OSKAStandaloneFilterWindow::~OSKAStandaloneFilterWindow()
{
    positionKeeper.reset();
    delete audioSettingsDialog.getComponent();

    if (settings != nullptr)
    {
        // Where the window really is: JUCE's copy of the position can lag the window manager.
        const auto position = clientAreaPositionOnScreen (*this);
        settings->setValue (windowXKey, position.x);
        settings->setValue (windowYKey, position.y);

        // And its frame, from the frame extents the window manager has set now.
        if (const auto frame = framePositionOnScreen (*this))
        {
            settings->setValue (windowFrameXKey, frame->x);
            settings->setValue (windowFrameYKey, frame->y);
        }
        else
        {
            settings->removeValue (windowFrameXKey);
            settings->removeValue (windowFrameYKey);
        }

        if (deviceManager != nullptr)
        {
            const auto state = deviceManager->createStateXml();
            settings->setValue (audioSetupKey, state.get());
        }
    }

    if (deviceManager != nullptr)
    {
        deviceManager->removeMidiInputDeviceCallback (juce::String(), &player);
        deviceManager->removeAudioCallback (&player);
    }

    if (settings != nullptr && processor != nullptr)
        storeProcessor (*processor, *settings);

    if (processor != nullptr)
        processor->editorBeingDeleted (processor->getActiveEditor());

    if (content != nullptr)
        content->deleteAllChildren();

    clearContentComponent();

    deviceManager.reset();
    content.reset();

    if (CommandsListener::hasCommandManager())
        removeKeyListener (CommandsListener::getCommandManager().getKeyMappings());

    CommandsListener::deleteCommandManager();
    player.setProcessor (nullptr);
    processor.reset();
    settings.reset();
}

void OSKAStandaloneFilterWindow::restoreProcessor (Tarn51AudioProcessor& p, const juce::PropertySet& from)
{
    // The layout first: the state's channel assignment has one entry per channel of it.
    SpeakerLayout::Named named{SpeakerLayout::surround51, 0};
    const auto name = from.getValue (speakerLayoutKey).toStdString();
    p.setMeterLayout (SpeakerLayout::fromName (name, named) ? named.id : SpeakerLayout::surround51);

    juce::MemoryBlock state;

    if (state.fromBase64Encoding (from.getValue (filterStateKey)) && state.getSize() > 0)
        p.setStateInformation (state.getData(), (int)state.getSize());
}

void OSKAStandaloneFilterWindow::storeProcessor (Tarn51AudioProcessor& p, juce::PropertySet& to)
{
    to.setValue (speakerLayoutKey, SpeakerLayout::get (p.getMeterLayout()).name);

    juce::MemoryBlock state;
    p.getStateInformation (state);
    to.setValue (filterStateKey, state.toBase64Encoding());
}

void OSKAStandaloneFilterWindow::resized()
{
    juce::DocumentWindow::resized();

    if (processor != nullptr)
        if (auto* editor = processor->getActiveEditor())
            editor->centreWithSize (editor->getWidth(), editor->getHeight());
}

void OSKAStandaloneFilterWindow::closeButtonPressed()
{
    juce::JUCEApplicationBase::quit();
}

void OSKAStandaloneFilterWindow::handleAsyncUpdate()
{
    auto& commandManager = CommandsListener::getCommandManager();

    if (content != nullptr)
        commandManager.registerAllCommandsForTarget (content.get());

    if (auto* application = juce::JUCEApplication::getInstance())
        commandManager.registerAllCommandsForTarget (application);
}

void OSKAStandaloneFilterWindow::openAudioSettingsOf (void* window)
{
    if (window != nullptr)
        static_cast<OSKAStandaloneFilterWindow*> (window)->openAudioSettings();
}

void OSKAStandaloneFilterWindow::openAudioSettings()
{
    if (processor == nullptr || deviceManager == nullptr)
        return;

    const auto inputs = processor->getTotalNumInputChannels();
    const auto outputs = processor->getTotalNumOutputChannels();

    auto selector = std::make_unique<OSKAAudioDeviceSelectorComponent> (*deviceManager, inputs, inputs,
                                                                        outputs, outputs, processor.get());
    selector->setSize (dialogWidth, dialogHeight);

    juce::DialogWindow::LaunchOptions options;
    options.content.setOwned (selector.release());
    options.dialogTitle = "Audio Settings";
    options.dialogBackgroundColour = juce::Colours::black;
    options.escapeKeyTriggersCloseButton = true;
    options.useNativeTitleBar = true;
    options.resizable = false;
    options.componentToCentreAround = nullptr;

    // The dialog window is built with JUCE's own title bar and then switched to the native one,
    // which leaves it at the old outer size and stretches the content by the title bar's
    // height; give the content its size back, and centre the window again.
    if (auto* dialog = options.launchAsync())
    {
        dialog->setContentComponentSize (dialogWidth, dialogHeight);
        dialog->centreWithSize (dialog->getWidth(), dialog->getHeight());
        audioSettingsDialog = dialog;
    }
}
