#include "engine/SpeakerLayout.h"
#include "processor/StateBlock.h"
#include "processor/Tarn51AudioProcessor.h"
#include "standalone/OSKAStandaloneFilterWindow.h"
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

namespace
{
class SettingsLayouts : public ::testing::TestWithParam<int>
{
};

std::unique_ptr<Tarn51AudioProcessor> standaloneProcessor()
{
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Standalone);
    auto processor = std::make_unique<Tarn51AudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    return processor;
}

std::vector<int> settingOf (const RelaxedAtomic<int> (&setting)[SpeakerLayout::maxChannels])
{
    return std::vector<int> (std::begin (setting), std::end (setting));
}
} // namespace

// The layout and its channel assignment (reversed, to tell channels apart) come back from the
// settings file; a file without the layout, as written before there were bigger layouts, loads
// as 5.1 with the first six channels of its assignment.
TEST_P (SettingsLayouts, TheLayoutAndItsAssignmentComeBackFromTheFile)
{
    juce::TemporaryFile folder;
    ScopedEnvironment config ("XDG_CONFIG_HOME", folder.getFile().getFullPathName().toRawUTF8());
    const auto& layout = SpeakerLayout::get (GetParam());
    const auto n = layout.numChannels;
    int assignment[SpeakerLayout::maxChannels];
    std::vector<int> expected, expectedOld;

    for (int i = 0; i < SpeakerLayout::maxChannels; ++i)
    {
        assignment[i] = i < n ? n - 1 - i : -1;
        expected.push_back (assignment[i]);
        expectedOld.push_back (i < 6 ? assignment[i] : -1);
    }

    {
        auto processor = standaloneProcessor();
        processor->setMeterLayout (layout.id);
        processor->applyInputLayout (assignment);
        processor->applyOutputLayout (assignment);
        auto settings = Tarn51StandaloneApplication::openSettingsFile();
        OSKAStandaloneFilterWindow::storeProcessor (*processor, *settings);
    }

    auto settings = Tarn51StandaloneApplication::openSettingsFile();
    auto restored = standaloneProcessor();
    OSKAStandaloneFilterWindow::restoreProcessor (*restored, *settings);
    EXPECT_EQ (restored->getMeterLayout(), layout.id);
    EXPECT_EQ (settingOf (restored->inputLayoutSetting), expected);
    EXPECT_EQ (settingOf (restored->outputLayoutSetting), expected);

    // As written before: neither the file's key nor the state's attribute.
    settings->removeValue ("speakerLayout");
    juce::MemoryBlock state;
    ASSERT_TRUE (state.fromBase64Encoding (settings->getValue ("filterState")));
    auto xml = StateBlock::read (state.getData(), (int)state.getSize());
    ASSERT_NE (xml, nullptr);
    xml->removeAttribute ("meterLayout");
    StateBlock::write (*xml, state);
    settings->setValue ("filterState", state.toBase64Encoding());
    auto old = standaloneProcessor();
    OSKAStandaloneFilterWindow::restoreProcessor (*old, *settings);
    EXPECT_EQ (old->getMeterLayout(), SpeakerLayout::surround51);
    EXPECT_EQ (settingOf (old->inputLayoutSetting), expectedOld);
    // Ranked among the six it keeps.
    EXPECT_EQ (settingOf (old->outputChannelMap),
               (std::vector<int>{5, 4, 3, 2, 1, 0, -1, -1, -1, -1, -1, -1}));
}

INSTANTIATE_TEST_SUITE_P (
    StandaloneSettingsFile, SettingsLayouts, ::testing::Range (0, (int)SpeakerLayout::numLayouts),
    [] (const auto& test)
    {
        return "layout" +
               juce::String (SpeakerLayout::get (test.param).name).removeCharacters (".").toStdString();
    });
