#include <gtest/gtest.h>

#include "engine/OSKALoudnessModule.h"
#include "ProcessorDriver.h"
#include "support/TestSignals.h"

namespace
{
void prepare (OSKALoudnessModule& module, double rate)
{
    module.sampleRate = rate;
    module.updateFilterCoefficients();
    module.allocateWindows();
}
} // namespace

// With six channels the module runs all twelve K-weighting stages side by side; each channel's
// samples must be exactly those of the channel filtered alone (without fused multiply-add, those
// of juce::IIRFilter run stage after stage). Every channel has the same filters, so two such
// modules (five channels and one) give the reference for all six.
TEST (KWeighting, SideBySideFilteringEqualsTheJuceFiltersExactly)
{
    for (const double rate : {44100.0, 48000.0, 96000.0})
    {
        SCOPED_TRACE (rate);
        OSKALoudnessModule module, firstFive, last;
        for (auto* m : {&module, &firstFive, &last})
            prepare (*m, rate);

        const auto programme =
            TestSignals::noise (rate, -12.0f, 0.5, 17, {1.0f, 0.5f, 0.25f, 1.0f, 0.7f, 0.1f});
        int start = 0;

        for (const int n : {512, 1, 1000, 37, 4096, 0, 512, 3000})
        {
            module.inputBuffer.setSize (6, n);
            firstFive.inputBuffer.setSize (5, n);
            last.inputBuffer.setSize (1, n);

            for (int c = 0; c < 6; ++c)
                module.inputBuffer.copyFrom (c, 0, programme, c, start, n);
            for (int c = 0; c < 5; ++c)
                firstFive.inputBuffer.copyFrom (c, 0, programme, c, start, n);
            last.inputBuffer.copyFrom (0, 0, programme, 5, start, n);

            module.feed();
            firstFive.feed();
            last.feed();

            for (int i = 0; i < n; ++i)
            {
                for (int c = 0; c < 5; ++c)
                    ASSERT_EQ (module.inputBuffer.getSample (c, i), firstFive.inputBuffer.getSample (c, i))
                        << "channel " << c << " sample " << start + i;

                ASSERT_EQ (module.inputBuffer.getSample (5, i), last.inputBuffer.getSample (0, i))
                    << "channel 5 sample " << start + i;
            }

            start += n;

            // A reset in the middle, as at a start or stop of the measurement.
            if (n == 4096)
                for (auto* m : {&module, &firstFive, &last})
                    m->resetFilters();
        }
    }
}

struct BusCase
{
    double rate;
    int inputs;
    float surroundLayout; // 0 ITU, 1 C|24
    int expectedActive;   // L and R, or L and C with C|24
};

class ProcessorChannels : public testing::TestWithParam<BusCase>
{
};

// The loudness side measures the meter channels the bus feeds through the layout's map, and a
// -20 dBFS 997 Hz tone in the first input reads -23.0 LUFS at any rate.
TEST_P (ProcessorChannels, MeasureTheChannelsTheBusFeeds)
{
    const auto p = GetParam();
    Tarn51AudioProcessor processor;
    processor.setNonRealtime (true);
    processor.setPlayConfigDetails (p.inputs, p.inputs, p.rate, 512);
    ProcessorDriver::setValue (processor, "Surround layout", p.surroundLayout);
    ProcessorDriver::runManually (processor);
    processor.prepareToPlay (p.rate, 512);

    ProcessorDriver::process (processor,
                              TestSignals::sine (p.rate, 997.0, -20.0f, 1.0, TestSignals::only (0)));
    EXPECT_EQ (processor.loudnessModule.getActiveChannels(), p.expectedActive);
    EXPECT_NEAR (processor.readings.momentary, -23.0f, 0.05f);
}

INSTANTIATE_TEST_SUITE_P (Buses, ProcessorChannels,
                          testing::Values (BusCase{32000, 2, 0, 2}, BusCase{384000, 2, 0, 2},
                                           BusCase{48000, 1, 0, 1}, BusCase{48000, 2, 1, 2},
                                           BusCase{48000, 6, 0, 6}, BusCase{22050, 5, 0, 5}));
