#include <gtest/gtest.h>

#include "ProcessorDriver.h"

// The plug-in's buses beyond 5.1: which arrangements a host may give, which meter channel each
// bus channel feeds, and the arrangement kept in the state.

namespace
{
using S = juce::AudioChannelSet;

// The bus is made when the case runs: a channel set kept in gtest's parameter registry would
// outlive JUCE's leak counters and be reported as leaked at exit.
struct BusCase
{
    const char* name;
    S (*bus)();
    int layout;  // the meter's arrangement; -1: the bus is refused
    int probe;   // a bus channel that carries a tone
    int channel; // the meter channel it must reach
};

std::ostream& operator<< (std::ostream& out, const BusCase& c)
{
    return out << c.name;
}

const BusCase busCases[] = {
    {"7.0", S::create7point0, SpeakerLayout::surround71, 3, 4}, // Lss after C: no LFE
    {"7.1", S::create7point1, SpeakerLayout::surround71, 6, 6}, // Lrs
    {"5.1.2", S::create5point1point2, SpeakerLayout::surround512, 7, 7},
    {"5.1.4", S::create5point1point4, SpeakerLayout::surround514, 8, 8},
    {"7.1.2", S::create7point1point2, SpeakerLayout::surround712, 9, 9},
    // JUCE's buses run in the order of its speaker types: the upper layer before the rear pair.
    {"7.1.4", S::create7point1point4, SpeakerLayout::surround714, 6, 8},  // Ltf
    {"7.0.4", S::create7point0point4, SpeakerLayout::surround714, 10, 7}, // Rrs
    {"12 numbered", [] { return S::discreteChannels (12); }, SpeakerLayout::surround714, 5, 5},
    {"10 numbered", [] { return S::discreteChannels (10); }, SpeakerLayout::surround514, 9, 9},
    {"7.1 SDDS", S::create7point1SDDS, -1, 0, 0},
    {"6.1", S::create6point1, -1, 0, 0},
    {"7.1.6", S::create7point1point6, -1, 0, 0},
};

class BusArrangement : public testing::TestWithParam<BusCase>
{
};

juce::AudioProcessor::BusesLayout busesOf (const S& set)
{
    juce::AudioProcessor::BusesLayout buses;
    buses.inputBuses.add (set);
    buses.outputBuses.add (set);
    return buses;
}
} // namespace

TEST_P (BusArrangement, BusChannelsReachTheirMeterChannels)
{
    const auto& c = GetParam();
    Tarn51AudioProcessor p;

    ASSERT_EQ (p.isBusesLayoutSupported (busesOf (c.bus())), c.layout >= 0);
    if (c.layout < 0)
        return;

    ASSERT_TRUE (p.setBusesLayout (busesOf (c.bus())));
    p.prepareToPlay (ProcessorDriver::rate, ProcessorDriver::blockSize);
    ProcessorDriver::runManually (p);
    EXPECT_EQ (p.getMeterLayout(), c.layout);

    // A tone at -10 dBFS in one bus channel: its meter channel alone shows a peak.
    juce::AudioSampleBuffer programme (c.bus().size(), 48000);
    programme.clear();
    for (int i = 0; i < programme.getNumSamples(); ++i)
        programme.setSample (c.probe, i, 0.316f * std::sin (0.05f * (float)i));
    ProcessorDriver::process (p, programme);

    EXPECT_EQ ((int)p.readings.layout, c.layout);
    for (int k = 0; k < SpeakerLayout::maxChannels; ++k)
        EXPECT_EQ (p.readings.peakHold[k] > -20.0f, k == c.channel) << "meter channel " << k;

    // The state carries the arrangement; a bus of numbered channels takes it back from there.
    juce::MemoryBlock state;
    p.getStateInformation (state);
    p.releaseResources();

    Tarn51AudioProcessor restored;
    restored.setMeterLayout (c.layout == SpeakerLayout::surround514 ? SpeakerLayout::surround712
                                                                    : SpeakerLayout::surround51);
    ASSERT_TRUE (restored.setBusesLayout (busesOf (c.bus())));
    restored.setStateInformation (state.getData(), (int)state.getSize());
    restored.prepareToPlay (ProcessorDriver::rate, ProcessorDriver::blockSize);
    EXPECT_EQ (restored.getMeterLayout(), c.layout);
    restored.releaseResources();
}

INSTANTIATE_TEST_SUITE_P (Buses, BusArrangement, testing::ValuesIn (busCases));

TEST (BusArrangement, FiveOneStatesStayAsTheyWere)
{
    // A 5.1 session's state names no arrangement (as before there were others) and loads as 5.1,
    // whatever was asked for before.
    Tarn51AudioProcessor p;
    p.prepareToPlay (ProcessorDriver::rate, ProcessorDriver::blockSize);
    juce::MemoryBlock state;
    p.getStateInformation (state);
    EXPECT_FALSE (state.toString().contains ("meterLayout"));

    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Standalone);
    Tarn51AudioProcessor standalone;
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    standalone.setMeterLayout (SpeakerLayout::surround714);
    EXPECT_EQ ((int)standalone.readings.layout, SpeakerLayout::surround714) << "shown before any audio";
    juce::MemoryBlock wide;
    standalone.getStateInformation (wide);
    standalone.setStateInformation (state.getData(), (int)state.getSize());
    EXPECT_EQ (standalone.getMeterLayout(), SpeakerLayout::surround51);
    EXPECT_EQ ((int)standalone.readings.layout, SpeakerLayout::surround51);
    standalone.setStateInformation (wide.getData(), (int)wide.getSize());
    EXPECT_EQ (standalone.getMeterLayout(), SpeakerLayout::surround714);
    p.releaseResources();
}
