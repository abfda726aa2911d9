#pragma once

#include "standalone/OSKAStandaloneFilterWindow.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// The standalone program: opens its settings file and builds its one window, which owns the
// file from then on. The window goes with the application object, after the message loop has
// ended; that is when the settings are written.
class Tarn51StandaloneApplication : public juce::JUCEApplication
{
public:
    Tarn51StandaloneApplication();
    ~Tarn51StandaloneApplication() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;
    void suspended() override;
    void resumed() override;

    // The settings file: Velnor/Tarn51.prefs in the user's configuration folder
    // ($XDG_CONFIG_HOME, or .config in the home folder when that is unset or not absolute).
    // The system-wide data folder would be the obvious place for settings shared by all users,
    // but ordinary users cannot write there, and their settings would be lost without a word.
    static juce::File getSettingsFile();
    static juce::PropertiesFile::Options getSettingsOptions();

    // Creates the file (and its folders) when it is missing, then opens it.
    static std::unique_ptr<juce::PropertiesFile> openSettingsFile();

    OSKAStandaloneFilterWindow* getWindow() const noexcept { return window.get(); }

private:
    std::unique_ptr<OSKAStandaloneFilterWindow> window;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Tarn51StandaloneApplication)
};
