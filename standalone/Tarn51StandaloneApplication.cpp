#include "standalone/Tarn51StandaloneApplication.h"

#include "editor/EditorTypeface.h"

Tarn51StandaloneApplication::Tarn51StandaloneApplication() = default;

Tarn51StandaloneApplication::~Tarn51StandaloneApplication() = default;

const juce::String Tarn51StandaloneApplication::getApplicationName()
{
    return "Tarn51Standalone";
}

const juce::String Tarn51StandaloneApplication::getApplicationVersion()
{
    return "2.0.3";
}

bool Tarn51StandaloneApplication::moreThanOneInstanceAllowed()
{
    return true;
}

juce::File Tarn51StandaloneApplication::getSettingsFile()
{
#if JUCE_WINDOWS
    // The all-users application data folder (C:\ProgramData).
    const auto folder = juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory);
#else
    // XDG base directories: a relative $XDG_CONFIG_HOME is invalid and to be ignored.
    const auto configHome = juce::SystemStats::getEnvironmentVariable ("XDG_CONFIG_HOME", {});
    const auto folder =
        juce::File::isAbsolutePath (configHome)
            ? juce::File (configHome)
            : juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".config");
#endif

    return folder.getChildFile ("Velnor").getChildFile ("Tarn51.prefs");
}

juce::PropertiesFile::Options Tarn51StandaloneApplication::getSettingsOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Tarn51";
    options.folderName = "Velnor";
    options.filenameSuffix = ".prefs";
    options.commonToAllUsers = true;
    options.ignoreCaseOfKeyNames = true;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.millisecondsBeforeSaving = 3000;
    options.processLock = nullptr;
    options.doNotSave = false;
    return options;
}

std::unique_ptr<juce::PropertiesFile> Tarn51StandaloneApplication::openSettingsFile()
{
    const auto options = getSettingsOptions();
    const auto file = getSettingsFile();

    if (!file.exists())
        file.create();

    auto settingsFile = std::make_unique<juce::PropertiesFile> (file, options);
    settingsFile->reload();
    return settingsFile;
}

void Tarn51StandaloneApplication::initialise (const juce::String&)
{
    // Before the first window, so that the dialogs get the editor's face too.
    EditorTypeface::applyToDefaultLook();
    window = std::make_unique<OSKAStandaloneFilterWindow> ("Tarn 5.1", juce::Colours::black,
                                                           openSettingsFile().release());

    window->setTitleBarButtonsRequired (juce::DocumentWindow::allButtons, true);
    window->setColour (juce::DocumentWindow::textColourId, juce::Colours::white);
    window->setUsingNativeTitleBar (true);
    window->setTitleBarTextCentred (true);
    // Resizable before it is shown: with a native title bar that change makes a new native
    // window, and the first one would be mapped, placed and thrown away.
    window->setResizable (true, false);
    window->setVisible (true);
}

void Tarn51StandaloneApplication::shutdown() {}

void Tarn51StandaloneApplication::anotherInstanceStarted (const juce::String&) {}

void Tarn51StandaloneApplication::systemRequestedQuit()
{
    quit();
}

void Tarn51StandaloneApplication::suspended() {}

void Tarn51StandaloneApplication::resumed() {}
