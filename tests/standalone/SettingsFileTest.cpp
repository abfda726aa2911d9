#include "standalone/Tarn51StandaloneApplication.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
// Sets or clears an environment variable for one test and puts the old value back after it.
class ScopedEnvironment
{
public:
    ScopedEnvironment (const char* variableName, const char* value) : name (variableName)
    {
        if (const char* old = std::getenv (name))
            previous = std::string (old), hadValue = true;

        if (value != nullptr)
            setenv (name, value, 1);
        else
            unsetenv (name);
    }

    ~ScopedEnvironment()
    {
        if (hadValue)
            setenv (name, previous.c_str(), 1);
        else
            unsetenv (name);
    }

private:
    const char* name;
    std::string previous;
    bool hadValue = false;
};
} // namespace

TEST (StandaloneSettingsFile, LivesInTheUsersConfigurationFolder)
{
    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);

    {
        ScopedEnvironment config ("XDG_CONFIG_HOME", "/tmp/tarn-config");
        EXPECT_EQ (Tarn51StandaloneApplication::getSettingsFile().getFullPathName(),
                   "/tmp/tarn-config/Velnor/Tarn51.prefs");
    }
    {
        ScopedEnvironment config ("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ (Tarn51StandaloneApplication::getSettingsFile(),
                   home.getChildFile (".config/Velnor/Tarn51.prefs"));
    }
    {
        // A relative value is not a valid configuration folder.
        ScopedEnvironment config ("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ (Tarn51StandaloneApplication::getSettingsFile(),
                   home.getChildFile (".config/Velnor/Tarn51.prefs"));
    }
}

TEST (StandaloneSettingsFile, FirstStartCreatesTheFolderAndAnEmptyFileThatKeepsXmlValues)
{
    juce::TemporaryFile folder;
    ScopedEnvironment config ("XDG_CONFIG_HOME", folder.getFile().getFullPathName().toRawUTF8());
    const auto file = folder.getFile().getChildFile ("Velnor/Tarn51.prefs");

    {
        auto settings = Tarn51StandaloneApplication::openSettingsFile();
        ASSERT_TRUE (file.existsAsFile());
        EXPECT_EQ (file.getSize(), 0);
        EXPECT_EQ (settings->getFile(), file);
        EXPECT_FALSE (settings->containsKey ("windowX"));

        settings->setValue ("windowX", 37);
        settings->setValue ("audioSetup", juce::String());
    }

    // Written when the object goes, in JUCE's XML form; keys compared without case.
    const auto xml = juce::parseXML (file);
    ASSERT_NE (xml, nullptr);
    EXPECT_TRUE (xml->hasTagName ("PROPERTIES"));

    auto settings = Tarn51StandaloneApplication::openSettingsFile();
    EXPECT_EQ (settings->getIntValue ("WINDOWX", -100), 37);
    EXPECT_TRUE (settings->containsKey ("audioSetup"));
    EXPECT_EQ (settings->getXmlValue ("audioSetup"), nullptr);
    EXPECT_EQ (settings->getIntValue ("windowY", -100), -100);

    folder.getFile().deleteRecursively();
}
