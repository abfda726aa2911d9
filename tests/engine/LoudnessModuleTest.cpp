#include <gtest/gtest.h>

#include "EngineDriver.h"
#include "support/TestSignals.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <memory>

using namespace TestSignals;

namespace
{
// Feeds silence up to a total of `target` samples in blocks of at most 1000 and no longer than
// a hop, with one computeBlocks() after each block, counting the values that appear.
struct WindowCounter
{
    long long fed = 0;
    int momentary = 0;
    int shortTerm = 0;

    void feedTo (OSKALoudnessModule& module, long long target)
    {
        while (fed < target)
        {
            const int n =
                static_cast<int> (std::min<long long> (std::min (1000, module.momentaryHop), target - fed));
            module.inputBuffer.setSize (6, n, false, false, true);
            module.inputBuffer.clear();
            module.feed();
            fed += n;

            module.computeBlocks();
            momentary += module.newMomentary.load() ? 1 : 0;
            shortTerm += module.newShortTerm.load() ? 1 : 0;
        }
    }
};

struct RateCase
{
    double rate;
    int momentaryLength, momentaryHop;
    int shortTermLength, shortTermHop;
};

// Names the case in test listings (and so in CTest's test names).
void PrintTo (const RateCase& c, std::ostream* os)
{
    *os << static_cast<int> (c.rate) << "Hz";
}

class WindowTiming : public testing::TestWithParam<RateCase>
{
};

// The K-weighted output of a unit impulse in L, as feed() leaves it in inputBuffer.
std::vector<float> impulseResponse (double rate, int length = 64)
{
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::prepare (*module, rate, length);
    EngineDriver::feedBlock (*module, impulse (rate, length / rate, only (L)), 0, length);

    const float* out = module->inputBuffer.getReadPointer (L);
    return std::vector<float> (out, out + length);
}

float largestDifference (const std::vector<float>& a, const std::vector<float>& b)
{
    float largest = 0.0f;
    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max (largest, std::abs (a[i] - b[i]));
    return largest;
}

// The last momentary value of a tone in L at the given rate.
float toneLoudness (double rate, double frequency)
{
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::Values seen;
    EngineDriver::measure (*module, rate, sine (rate, frequency, -20.0f, 1.0, only (L)), &seen);
    return seen.momentary.empty() ? std::numeric_limits<float>::quiet_NaN() : seen.momentary.back();
}
} // namespace

TEST_P (WindowTiming, ValuesAppearAfterAFullWindowAndThenEveryHop)
{
    const auto p = GetParam();
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::prepare (*module, p.rate);

    ASSERT_EQ (module->momentaryLength, p.momentaryLength);
    ASSERT_EQ (module->shortTermLength, p.shortTermLength);
    EXPECT_EQ (module->momentaryFifo->getCapacity(), 4 * p.momentaryLength);
    EXPECT_EQ (module->shortTermFifo->getCapacity(), 4 * p.shortTermLength);

    WindowCounter count;
    count.feedTo (*module, p.momentaryLength - 1);
    EXPECT_EQ (count.momentary, 0);
    count.feedTo (*module, p.momentaryLength);
    EXPECT_EQ (count.momentary, 1);
    count.feedTo (*module, p.momentaryLength + p.momentaryHop - 1);
    EXPECT_EQ (count.momentary, 1);
    count.feedTo (*module, p.momentaryLength + p.momentaryHop);
    EXPECT_EQ (count.momentary, 2);
    // Ten 10 ms steps to the second gating block, and the first step after it taken too.
    EXPECT_EQ (module->momentaryFifo->readPosition(), p.momentaryHop + p.momentaryHop / 10);

    count.feedTo (*module, p.shortTermLength - 1);
    EXPECT_EQ (count.shortTerm, 0);
    count.feedTo (*module, p.shortTermLength);
    EXPECT_EQ (count.shortTerm, 1);
    EXPECT_EQ (count.momentary, 1 + (p.shortTermLength - p.momentaryLength) / p.momentaryHop);

    count.feedTo (*module, p.shortTermLength + p.shortTermHop - 1);
    EXPECT_EQ (count.shortTerm, 1);
    count.feedTo (*module, p.shortTermLength + p.shortTermHop);
    EXPECT_EQ (count.shortTerm, 2);
    count.feedTo (*module, p.shortTermLength + 2 * p.shortTermHop);
    EXPECT_EQ (count.shortTerm, 3);
}

// Both kinds step on by the momentary hop (100 ms) at every rate, hops that are no multiple of
// ten (22.05 kHz) among them.
INSTANTIATE_TEST_SUITE_P (
    Rates, WindowTiming,
    testing::Values (RateCase{48000, 19200, 4800, 144000, 4800}, RateCase{44100, 17640, 4410, 132300, 4410},
                     RateCase{96000, 38400, 9600, 288000, 9600}, RateCase{88200, 35280, 8820, 264600, 8820},
                     RateCase{32000, 12800, 3200, 96000, 3200}, RateCase{8000, 3200, 800, 24000, 800},
                     RateCase{22050, 8820, 2205, 66150, 2205},
                     RateCase{384000, 153600, 38400, 1152000, 38400}),
    [] (const auto& caseInfo) { return std::to_string (static_cast<int> (caseInfo.param.rate)); });

TEST (LoudnessModule, NewValueFlagsLastOneTimeSlice)
{
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::prepare (*module, 48000, 4800);

    const auto tone = sine (48000, 997, -20.0f, 0.4, only (L));
    for (int start = 0; start < tone.getNumSamples(); start += 4800)
        EngineDriver::feedBlock (*module, tone, start, 4800);

    EXPECT_EQ (module->useTimeSlice(), 50);
    EXPECT_TRUE (module->newMomentary.load());
    EXPECT_FALSE (module->newShortTerm.load());
    EXPECT_EQ (module->getResults().momentary, -23.0f);

    module->useTimeSlice();
    EXPECT_FALSE (module->newMomentary.load());
    EXPECT_EQ (module->getResults().momentary, -23.0f); // the value stays
}

TEST (LoudnessModule, BlockLoudnessOfTonesInSingleChannels)
{
    // -20 dBFS at 997 Hz in L: +0.69 dB of K-weighting cancels the -0.691 offset.
    {
        auto module = std::make_unique<OSKALoudnessModule>();
        EngineDriver::Values seen;
        EngineDriver::measure (*module, 48000, sine (48000, 997, -20.0f, 5.0, only (L)), &seen);
        ASSERT_EQ (seen.momentary.size(), 47u);
        ASSERT_EQ (seen.shortTerm.size(), 21u); // 3 s to 5 s, ten a second
        for (float m : seen.momentary)
            EXPECT_EQ (m, -23.0f);
        for (float s : seen.shortTerm)
            EXPECT_EQ (s, -23.0f);
    }

    // The surround weight is 1.41 (+1.49 dB), not 1.5 dB; LFE does not count.
    {
        auto module = std::make_unique<OSKALoudnessModule>();
        EXPECT_EQ (module->getChannelWeight (Ls), 1.41f);
        EXPECT_EQ (module->getChannelWeight (Rs), 1.41f);
        EXPECT_EQ (module->getChannelWeight (LFE), 0.0f);
        EXPECT_NEAR (
            EngineDriver::measure (*module, 48000, sine (48000, 997, -20.0f, 3.0, only (Ls))).shortTerm,
            -21.5f, 0.05f);
    }
    for (int channel : {R, C, Rs})
    {
        auto module = std::make_unique<OSKALoudnessModule>();
        const float expected = channel == Rs ? -21.5f : -23.0f;
        EXPECT_NEAR (
            EngineDriver::measure (*module, 48000, sine (48000, 997, -20.0f, 3.0, only (channel))).shortTerm,
            expected, 0.05f)
            << "channel " << channel;
    }
    {
        auto module = std::make_unique<OSKALoudnessModule>();
        const auto r = EngineDriver::measure (*module, 48000, sine (48000, 997, -20.0f, 3.0, only (LFE)));
        EXPECT_EQ (r.momentary, -70.0f);
        EXPECT_EQ (r.shortTerm, -70.0f);
    }
}

TEST (LoudnessModule, SilenceSitsOnTheFloorAndFullScaleSaturates)
{
    auto quiet = std::make_unique<OSKALoudnessModule>();
    EngineDriver::Values seen;
    EngineDriver::measure (*quiet, 48000, silence (48000, 3.5), &seen);
    ASSERT_FALSE (seen.momentary.empty());
    for (float m : seen.momentary)
        EXPECT_EQ (m, -70.0f);
    EXPECT_EQ (quiet->getResults().shortTerm, -70.0f);
    EXPECT_EQ (quiet->getResults().integrated, -70.0f);

    auto loud = std::make_unique<OSKALoudnessModule>();
    const auto r =
        EngineDriver::measure (*loud, 48000, square (48000, 1000, 0.0f, 3.5, fiveChannelDb (0, 0, 0, 0, 0)));
    EXPECT_EQ (r.momentary, 0.0f);
    EXPECT_EQ (r.shortTerm, 0.0f);
}

// Gain in dB at `frequency` of the K-weighting's analogue design: the high shelf and the
// high-pass, each a second-order section.
double analogueGainDb (double frequency)
{
    using Complex = std::complex<double>;
    const auto section = [frequency] (double f0, double q, double high, double middle, double low)
    {
        const Complex s (0.0, frequency / f0);
        return std::abs ((high * s * s + middle / q * s + low) / (s * s + s / q + 1.0));
    };
    const double vh = std::pow (10.0, 3.999843853973347 / 20.0);
    const double shelf =
        section (1681.974450955533, 0.7071752369554196, vh, std::pow (vh, 0.4996667741545416), 1.0);
    const double highPass = section (38.13547087602444, 0.5003270373238773, 1.0, 0.0, 0.0);
    return 20.0 * std::log10 (shelf * highPass);
}

class KWeightingAtEveryRate : public testing::TestWithParam<double>
{
};

// Every rate the meter measures is weighted with the curve's own design: a 997 Hz tone reads as
// at 48 kHz, and tones well below half the rate (the bilinear transform bends the curve near
// there) read as the analogue curve weights them.
TEST_P (KWeightingAtEveryRate, FollowsTheAnalogueDesign)
{
    const double rate = GetParam();
    EXPECT_NEAR (toneLoudness (rate, 997.0), -23.0f, 0.1f);

    // A -20 dBFS sine has an RMS level of -23.01 dB; the reading subtracts 0.691 dB.
    for (double frequency : {40.0, 100.0, 3000.0})
    {
        if (frequency >= rate / 4)
            continue;

        const double gain = static_cast<double> (toneLoudness (rate, frequency)) + 23.0103 + 0.691;
        EXPECT_NEAR (gain, analogueGainDb (frequency), 0.35) << frequency << " Hz";
    }
}

INSTANTIATE_TEST_SUITE_P (Rates, KWeightingAtEveryRate,
                          testing::Values (8000.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0, 96000.0,
                                           192000.0, 352800.0, 384000.0),
                          [] (const auto& caseInfo)
                          { return std::to_string (static_cast<int> (caseInfo.param)); });

TEST (LoudnessModule, EverySupportedRateHasItsOwnFilters)
{
    const double rates[] = {44100, 48000, 88200, 96000, 176400, 192000};
    std::vector<std::vector<float>> responses;
    for (double rate : rates)
        responses.push_back (impulseResponse (rate));

    for (size_t a = 0; a < responses.size(); ++a)
        for (size_t b = a + 1; b < responses.size(); ++b)
            EXPECT_GT (largestDifference (responses[a], responses[b]), 1e-3f)
                << rates[a] << " vs " << rates[b];

    // Each pre-filter starts with its own b0 from the table (the high-pass stage's b0 is 1).
    const float tableB0[] = {1.5308412f, 1.5351249f, 1.5575154f, 1.5597142f, 1.5711154f, 1.5722272f};
    for (size_t r = 0; r < responses.size(); ++r)
        EXPECT_EQ (responses[r][0], tableB0[r]) << rates[r];
}

TEST (LoudnessModule, EveryRateWeightsTheSameCurve)
{
    // One analogue design at every rate: tones across the band read as at 48 kHz.
    for (double frequency : {60.0, 997.0, 4000.0, 10000.0})
    {
        const float reference = toneLoudness (48000, frequency);

        for (double rate : {44100.0, 88200.0, 96000.0, 176400.0, 192000.0})
            EXPECT_NEAR (toneLoudness (rate, frequency), reference, 0.11f) << frequency << " Hz at " << rate;
    }

    EXPECT_EQ (toneLoudness (48000, 997), -23.0f);
    EXPECT_GT (toneLoudness (48000, 10000), -20.0f); // the high shelf lifts by about 4 dB
    EXPECT_LT (toneLoudness (48000, 30), -23.5f);    // the high-pass cuts the lows
}

TEST (LoudnessModule, NanAudioNeverReachesTheStatistics)
{
    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::measure (*module, 48000, sine (48000, 997, -20.0f, 4.0, only (L)));
    const auto before = module->getResults();
    const int momentaryCount = module->momentaryHistogram.countAtOrAbove (-70.0f);
    const int shortTermCount = module->shortTermHistogram.countAtOrAbove (-70.0f);
    ASSERT_GT (momentaryCount, 0);

    // A NaN sample makes every window that holds it NaN; those values are left out of
    // the statistics, the others are counted as usual.
    auto poisoned = sine (48000, 997, -20.0f, 4.0, only (L));
    poisoned.setSample (L, 30000, std::numeric_limits<float>::quiet_NaN());
    EngineDriver::Values seen;
    EngineDriver::play (*module, poisoned, 512, &seen);

    const auto finite = [] (const std::vector<float>& values)
    {
        return static_cast<int> (
            std::count_if (values.begin(), values.end(), [] (float v) { return !std::isnan (v); }));
    };

    ASSERT_LT (finite (seen.momentary), static_cast<int> (seen.momentary.size()));
    ASSERT_LT (finite (seen.shortTerm), static_cast<int> (seen.shortTerm.size()));
    EXPECT_EQ (module->momentaryHistogram.countAtOrAbove (-70.0f), momentaryCount + finite (seen.momentary));
    EXPECT_EQ (module->shortTermHistogram.countAtOrAbove (-70.0f), shortTermCount + finite (seen.shortTerm));
    EXPECT_NEAR (module->getResults().integrated, before.integrated, 1e-3f);
    EXPECT_NEAR (module->getResults().loudnessRange, before.loudnessRange, 1e-3f);
    EXPECT_EQ (module->getResults().momentary, -23.0f);
}

class ActiveChannels : public testing::TestWithParam<juce::uint32>
{
};

// A module told which channels carry audio weights and queues those alone and takes the others
// as silence: every filtered sample and every value is exactly that of all six
// channels measured with the others silent, whatever the others hold.
TEST_P (ActiveChannels, MeasureAsAllSixWithTheRestSilent)
{
    const auto mask = GetParam();
    const auto present = [mask] (int c) { return (mask & (1u << c)) != 0; };
    const double rate = 44100;
    const auto programme = noise (rate, -18.0f, 4.0, 5, {1.0f, 0.5f, 0.8f, 1.0f, 0.7f, 0.3f});
    auto silenced = programme;
    for (int c = 0; c < 6; ++c)
        if (!present (c))
            silenced.clear (c, 0, silenced.getNumSamples());

    auto some = std::make_unique<OSKALoudnessModule>();
    auto all = std::make_unique<OSKALoudnessModule>();
    EngineDriver::prepare (*some, rate);
    EngineDriver::prepare (*all, rate);
    some->setActiveChannelMask (mask);
    EXPECT_EQ (some->shortTermFifo->getActiveChannelMask(), mask);
    some->setMeasuring (1);
    all->setMeasuring (1);

    EngineDriver::Values seenSome, seenAll;
    for (int start = 0, block = 1; start < programme.getNumSamples();
         start += block, block = block * 7 % 1009)
    {
        block = std::min (block, programme.getNumSamples() - start);
        EngineDriver::feedBlock (*some, programme, start, block);
        EngineDriver::feedBlock (*all, silenced, start, block);

        for (int c = 0; c < 6; ++c)
            for (int i = 0; i < block && present (c); ++i)
                ASSERT_EQ (some->inputBuffer.getSample (c, i), all->inputBuffer.getSample (c, i))
                    << "channel " << c << " sample " << start + i;

        some->computeBlocks();
        all->computeBlocks();
        EngineDriver::collect (*some, &seenSome);
        EngineDriver::collect (*all, &seenAll);
    }

    ASSERT_GT (seenAll.shortTerm.size(), 5u);
    EXPECT_EQ (seenSome.momentary, seenAll.momentary);
    EXPECT_EQ (seenSome.shortTerm, seenAll.shortTerm);
    const auto a = some->getResults();
    const auto b = all->getResults();
    EXPECT_EQ (a.integrated, b.integrated);
    EXPECT_EQ (a.loudnessRange, b.loudnessRange);

    // Taking on channels again starts them from silence: nothing they held before is measured.
    some->setActiveChannels (6);
    EXPECT_EQ (some->momentaryFifo->numReady(), 0);
}

// Mono, stereo, mono in C, L R C, and 5.0.
INSTANTIATE_TEST_SUITE_P (Masks, ActiveChannels, testing::Values (0x1u, 0x3u, 0x4u, 0x7u, 0x37u));

// Seven to twelve channels run as lanes of one or two vectors: each channel comes out of the
// K-weighting exactly as when it runs alone, so no lane takes another's samples or state.
class WideArrangements : public testing::TestWithParam<int>
{
};

TEST_P (WideArrangements, EachChannelIsWeightedAsOnItsOwn)
{
    const int count = GetParam();
    const double rate = 48000;
    juce::AudioSampleBuffer programme (OSKALoudnessModule::numChannels, 6000);
    juce::Random random (count);
    for (int c = 0; c < programme.getNumChannels(); ++c)
        for (int i = 0; i < programme.getNumSamples(); ++i)
            programme.setSample (c, i, (random.nextFloat() - 0.5f) * (0.1f + 0.07f * (float)c));

    auto together = std::make_unique<OSKALoudnessModule>();
    EngineDriver::prepare (*together, rate);
    together->setLayout (SpeakerLayout::surround714);
    together->setActiveChannels (count);
    EXPECT_FLOAT_EQ (together->getChannelWeight (4), 1.41f); // Lss
    EXPECT_FLOAT_EQ (together->getChannelWeight (6), 1.0f);  // Lrs

    std::vector<std::unique_ptr<OSKALoudnessModule>> alone;
    for (int c = 0; c < count; ++c)
    {
        alone.push_back (std::make_unique<OSKALoudnessModule>());
        EngineDriver::prepare (*alone.back(), rate);
        alone.back()->setActiveChannelMask (1u << c);
    }

    for (int start = 0, block = 1; start < programme.getNumSamples(); start += block, block = block * 7 % 509)
    {
        block = std::min (block, programme.getNumSamples() - start);
        EngineDriver::feedBlock (*together, programme, start, block);

        for (int c = 0; c < count; ++c)
        {
            EngineDriver::feedBlock (*alone[(size_t)c], programme, start, block);
            for (int i = 0; i < block; ++i)
                ASSERT_EQ (together->inputBuffer.getSample (c, i),
                           alone[(size_t)c]->inputBuffer.getSample (c, i))
                    << "channel " << c << " sample " << start + i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P (Counts, WideArrangements, testing::Values (7, 8, 9, 12));
