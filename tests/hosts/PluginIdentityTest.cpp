#include <gtest/gtest.h>

#include "processor/Tarn51AudioProcessor.h"

#include <memory>

// What the JUCE format wrappers take from the build configuration and from the processor. The
// programs in the subfolders load the built plug-ins into real hosts.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter();

namespace
{
constexpr int fourCharCode (const char (&code)[5])
{
    return (int (code[0]) << 24) | (int (code[1]) << 16) | (int (code[2]) << 8) | int (code[3]);
}

TEST (PluginIdentity, ConfigurationTheWrappersAreBuiltWith)
{
    EXPECT_STREQ (JucePlugin_Name, "Tarn5.1");
    EXPECT_STREQ (JucePlugin_Desc,
                  "Loudness and True Peak meter compatible with BS1770 and EBU R128 standards.");
    EXPECT_STREQ (JucePlugin_VersionString, "2.0.3");
    EXPECT_EQ (JucePlugin_VersionCode, 0x20003);
    EXPECT_STREQ (JucePlugin_Manufacturer, "Velnor");
    EXPECT_EQ (JucePlugin_ManufacturerCode, fourCharCode ("Veln"));
    EXPECT_EQ (JucePlugin_PluginCode, fourCharCode ("Tr51"));
    EXPECT_EQ (JucePlugin_VSTUniqueID, JucePlugin_PluginCode);
    EXPECT_EQ (JucePlugin_AAXProductId, JucePlugin_PluginCode);
    EXPECT_EQ (JucePlugin_AAXManufacturerCode, JucePlugin_ManufacturerCode);
    EXPECT_STREQ (JUCE_STRINGIFY (JucePlugin_AAXIdentifier), "org.velnor.tarn51");
    EXPECT_EQ (JucePlugin_AAXCategory, 512);
    EXPECT_EQ (JucePlugin_AAXDisableBypass, 0);
    EXPECT_EQ (JucePlugin_AAXDisableMultiMono, 0);
    EXPECT_EQ (JucePlugin_IsSynth, 0);
    EXPECT_EQ (JucePlugin_IsMidiEffect, 0);
    EXPECT_EQ (JucePlugin_WantsMidiInput, 0);
    EXPECT_EQ (JucePlugin_ProducesMidiOutput, 0);
    EXPECT_STREQ (JucePlugin_LV2URI, "https://velnor.org/plugins/tarn51");

    const short configurations[][2] = {JucePlugin_PreferredChannelConfigurations};
    const short expected[][2] = {{6, 6}, {5, 5}, {2, 2},   {1, 1},   {7, 7},
                                 {8, 8}, {9, 9}, {10, 10}, {11, 11}, {12, 12}};
    ASSERT_EQ (std::size (configurations), std::size (expected));
    for (size_t i = 0; i < std::size (expected); ++i)
    {
        EXPECT_EQ (configurations[i][0], expected[i][0]) << i;
        EXPECT_EQ (configurations[i][1], expected[i][1]) << i;
    }
}

TEST (PluginIdentity, FactoryMakesTheMeterWithWhatTheWrappersAsk)
{
    std::unique_ptr<juce::AudioProcessor> created (createPluginFilter());
    auto* processor = dynamic_cast<Tarn51AudioProcessor*> (created.get());
    ASSERT_NE (processor, nullptr);
    EXPECT_EQ (processor->getName(), juce::String ("Tarn5.1"));
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ (processor->getInputChannelName (i), juce::String (i + 1));
        EXPECT_EQ (processor->getOutputChannelName (i), juce::String (i + 1));
        EXPECT_TRUE (processor->isInputChannelStereoPair (i));
        EXPECT_TRUE (processor->isOutputChannelStereoPair (i));
    }
    EXPECT_FALSE (processor->acceptsMidi());
    EXPECT_FALSE (processor->producesMidi());
    EXPECT_FALSE (processor->isMidiEffect());
    EXPECT_EQ (processor->getTailLengthSeconds(), 0.0);
    EXPECT_EQ (processor->getLatencySamples(), 0);
    EXPECT_TRUE (processor->hasEditor());
    EXPECT_FALSE (processor->silenceInProducesSilenceOut());
}

// The formats derive their parameter IDs from these (LV2 URIs, VST3 IDs): distinct, and each a
// name that may begin an LV2 Turtle name.
TEST (PluginIdentity, ParameterIdsAreTheStateAttributeNames)
{
    Tarn51AudioProcessor processor;
    const char* ids[] = {"MeasurementStandard", "MeasurementScale", "MeasurementUnit",   "MeasurementType",
                         "FollowTransport",     "Surroundlayout",   "TruePeakRefLevel",  "TruePeakMaxLevel",
                         "TruePeakHoldTime",    "TruePeakOverTime", "HistogramLoudness", "MLThreshold",
                         "STLThreshold",        "MomLoudnessParam", "ShtLoudnessParam"};
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ (processor.getParameterID (i), juce::String (ids[i])) << i;
    EXPECT_EQ (processor.getParameterID (15), juce::String ("15"));
}

TEST (PluginIdentity, LayoutsFollowTheChannelConfigurations)
{
    std::unique_ptr<juce::AudioProcessor> processor (createPluginFilter());
    using Set = juce::AudioChannelSet;

    // The wrappers start with the first configuration.
    EXPECT_EQ (processor->getTotalNumInputChannels(), 6);
    EXPECT_EQ (processor->getTotalNumOutputChannels(), 6);

    for (const auto& set : {Set::create5point1(), Set::create6point0(), Set::discreteChannels (6),
                            Set::create5point0(), Set::stereo(), Set::mono(), Set::create7point1(),
                            Set::create7point1point4(), Set::discreteChannels (12)})
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        EXPECT_TRUE (processor->checkBusesLayoutSupported (layout)) << set.getDescription();
    }

    const std::pair<Set, Set> refused[] = {{Set::create5point1(), Set::stereo()},
                                           {Set::stereo(), Set::create5point1()},
                                           {Set::quadraphonic(), Set::quadraphonic()},
                                           {Set::createLCR(), Set::createLCR()},
                                           {Set::create7point1SDDS(), Set::create7point1SDDS()},
                                           {Set::create7point1point6(), Set::create7point1point6()},
                                           {Set::discreteChannels (13), Set::discreteChannels (13)}};
    for (const auto& [in, out] : refused)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (in);
        layout.outputBuses.add (out);
        EXPECT_FALSE (processor->checkBusesLayoutSupported (layout))
            << in.getDescription() << " -> " << out.getDescription();
    }
}
} // namespace
