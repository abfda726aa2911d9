#include <gtest/gtest.h>

#include "ProcessorDriver.h"
#include "support/TestSignals.h"

using namespace ProcessorDriver;

namespace
{
std::unique_ptr<Tarn51AudioProcessor> makeStandalone()
{
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Standalone);
    auto p = std::make_unique<Tarn51AudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    p->setNonRealtime (true);
    p->prepareToPlay (rate, blockSize);
    return p;
}

template <size_t size>
void expectMap (const RelaxedAtomic<int> (&map)[size], std::initializer_list<int> expected)
{
    int i = 0;
    for (const int e : expected)
    {
        EXPECT_EQ (map[i], e) << "meter channel " << i;
        ++i;
    }
}

// Entries for the six channels of 5.1; the processor's further channels unassigned.
struct MeterEntries
{
    int values[Tarn51AudioProcessor::numMeterChannels];
};

MeterEntries meterEntries (std::initializer_list<int> first)
{
    MeterEntries e;
    std::fill (std::begin (e.values), std::end (e.values), -1);
    std::copy (first.begin(), first.end(), e.values);
    return e;
}

// One block through processBlock; returns the buffer as it leaves.
juce::AudioSampleBuffer processOne (Tarn51AudioProcessor& p, const juce::AudioSampleBuffer& in)
{
    juce::AudioSampleBuffer block (in);
    juce::MidiBuffer midi;
    p.processBlock (block, midi);
    return block;
}

// A buffer whose channel k holds the constant k + 1 (so routing is easy to read).
juce::AudioSampleBuffer labelledChannels (int channels, int numSamples)
{
    juce::AudioSampleBuffer b (channels, numSamples);
    for (int c = 0; c < channels; ++c)
        juce::FloatVectorOperations::fill (b.getWritePointer (c), (float)(c + 1) * 0.1f, numSamples);
    return b;
}
} // namespace

TEST (Standalone, AssignmentRanksDeviceChannelsToBufferChannels)
{
    auto p = makeStandalone();

    const auto entries = meterEntries ({2, 0, -1, 5, -1, -1});
    p->applyInputLayout (entries.values);
    expectMap (p->channelMap, {1, 0, -1, 2, -1, -1});
    expectMap (p->inputLayoutSetting, {2, 0, -1, 5, -1, -1});

    // Input 3 for L while R holds input 1: L is the second active channel.
    const auto second = meterEntries ({3, 1, -1, -1, -1, -1});
    p->applyOutputLayout (second.values);
    expectMap (p->outputChannelMap, {1, 0, -1, -1, -1, -1});
    expectMap (p->outputLayoutSetting, {3, 1, -1, -1, -1, -1});
    expectMap (p->channelMap, {1, 0, -1, 2, -1, -1});

    // Repeated entries (a state without the layout attributes gives six zeros): every meter
    // channel naming a device channel gets that channel's buffer channel.
    const auto zeros = meterEntries ({0, 0, 0, 0, 0, 0});
    p->applyInputLayout (zeros.values);
    expectMap (p->channelMap, {0, 0, 0, 0, 0, 0});

    const auto repeated = meterEntries ({4, 1, 4, -1, 1, 7});
    p->applyInputLayout (repeated.values);
    expectMap (p->channelMap, {1, 0, 1, -1, 0, 2});

    // Negative numbers other than -1 name no device channel either.
    const auto negative = meterEntries ({-5, 2, -1, 3, -2, 0});
    p->applyInputLayout (negative.values);
    expectMap (p->channelMap, {-1, 1, -1, 2, -1, 0});
    expectMap (p->inputLayoutSetting, {-5, 2, -1, 3, -2, 0});
}

TEST (Standalone, TheSurroundLayoutIsNotReadAndTheMeterIsSilentUntilAssigned)
{
    auto p = makeStandalone();
    EXPECT_EQ (p->parameters.getValue (p->parameters.indexOf ("Follow Transport")), 0.0f);

    p->manualRun = 1;
    const auto tone = TestSignals::sine (rate, 997.0, -6.0f, 0.05, {1, 1, 1, 1, 1, 1});
    const auto out = processOne (*p, tone);

    for (int c = 0; c < 6; ++c)
    {
        EXPECT_EQ (p->channelMap[c], -1);
        EXPECT_EQ (p->readings.peakHold[c], -70.0f);
        EXPECT_EQ (out.getMagnitude (c, 0, out.getNumSamples()), 0.0f) << "no output assigned: silent";
    }
}

TEST (Standalone, TheOutputIsRebuiltFromTheAssignment)
{
    auto p = makeStandalone();
    p->setPlayConfigDetails (2, 2, rate, blockSize);

    // Device inputs 0 and 1 feed L and R; L and R go to outputs 2 and 1: a swap.
    const auto inputs = meterEntries ({0, 1, -1, -1, -1, -1});
    const auto outputs = meterEntries ({1, 0, -1, -1, -1, -1});
    p->applyInputLayout (inputs.values);
    p->applyOutputLayout (outputs.values);

    const auto in = labelledChannels (2, blockSize);
    const auto out = processOne (*p, in);
    EXPECT_EQ (out.getSample (0, 10), 0.2f);
    EXPECT_EQ (out.getSample (1, 10), 0.1f);
    // Metered from the inputs: L is fed by input 0, at half the level of input 1.
    EXPECT_NEAR (p->readings.peakHold[1] - p->readings.peakHold[0], 6.0f, 0.15f);

    // A meter channel with an input but no output sends nothing; outputs no one names stay
    // silent; entries beyond the buffer are skipped.
    const auto leftOnly = meterEntries ({-1, 0, -1, -1, -1, -1});
    p->applyOutputLayout (leftOnly.values);
    const auto second = processOne (*p, in);
    EXPECT_EQ (second.getSample (0, 10), 0.2f);
    EXPECT_EQ (second.getMagnitude (1, 0, blockSize), 0.0f);

    const auto beyond = meterEntries ({0, 1, 2, 3, 4, 5});
    p->applyInputLayout (beyond.values);
    p->applyOutputLayout (beyond.values);
    const auto third = processOne (*p, in);
    EXPECT_EQ (third.getSample (0, 10), 0.1f);
    EXPECT_EQ (third.getSample (1, 10), 0.2f);
}

TEST (Standalone, TheStateCarriesTheAssignment)
{
    auto p = makeStandalone();
    const auto inputs = meterEntries ({2, 0, -1, 5, -1, -1});
    const auto outputs = meterEntries ({0, 1, 2, 3, 4, 5});
    p->applyInputLayout (inputs.values);
    p->applyOutputLayout (outputs.values);

    juce::MemoryBlock state;
    p->getStateInformation (state);
    const auto text =
        juce::String::fromUTF8 (static_cast<const char*> (state.getData()) + 8, (int)state.getSize() - 9);
    EXPECT_TRUE (text.endsWith (" ShtLoudnessParam=\"-60\" settingsInputLayout=\"2;0;-1;5;-1;-1;\""
                                " settingsOutputLayout=\"0;1;2;3;4;5;\"/>"))
        << text;

    auto q = makeStandalone();
    q->setStateInformation (state.getData(), (int)state.getSize());
    expectMap (q->inputLayoutSetting, {2, 0, -1, 5, -1, -1});
    expectMap (q->channelMap, {1, 0, -1, 2, -1, -1});
    expectMap (q->outputLayoutSetting, {0, 1, 2, 3, 4, 5});
    expectMap (q->outputChannelMap, {0, 1, 2, 3, 4, 5});

    // The plug-in's state has no layout: all twelve entries become 0.
    Tarn51AudioProcessor plugin;
    juce::MemoryBlock pluginState;
    plugin.getStateInformation (pluginState);
    q->setStateInformation (pluginState.getData(), (int)pluginState.getSize());
    expectMap (q->inputLayoutSetting, {0, 0, 0, 0, 0, 0});
    expectMap (q->outputLayoutSetting, {0, 0, 0, 0, 0, 0});

    // And the plug-in ignores the standalone program's layout attributes.
    plugin.setStateInformation (state.getData(), (int)state.getSize());
    expectMap (plugin.inputLayoutSetting, {-1, -1, -1, -1, -1, -1});
    expectMap (plugin.channelMap, {-1, -1, -1, -1, -1, -1});
}
