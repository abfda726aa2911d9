#include <gtest/gtest.h>

#include "ProcessorDriver.h"
#include "support/TestSignals.h"

#include <cmath>
#include <tuple>
#include <vector>

using namespace ProcessorDriver;
using namespace TestSignals;

// The minimum requirements of "EBU Mode" meters (steady tones, bursts at any offset, stepped
// bursts, a true peak above full scale), generated here and measured through the processor:
// offline, and in real time with time slices that come only every 19th block (about 200 ms), so that each
// slice finds several values of each kind waiting.
namespace
{
constexpr double toneHz = 1000.0;
constexpr float tolerance = 0.1f + 1.0e-4f; // 0.1 LU, and the float steps of the readings
constexpr float silent = -100.0f;

struct RunSetup
{
    double rate;
    bool realTime;
};

std::string nameOf (const RunSetup& s)
{
    return std::to_string (static_cast<int> (s.rate)) + (s.realTime ? "RealTime" : "Offline");
}

void PrintTo (const RunSetup& s, std::ostream* os)
{
    *os << nameOf (s);
}

// Stereo tone segments, silent where the level is `silent`. A stereo sine at X dBFS reads
// X LUFS.
juce::AudioSampleBuffer programmeOf (double rate, const std::vector<Segment>& segments)
{
    auto programme = sineProgramme (rate, toneHz, segments, stereo());
    int start = 0;

    for (const auto& s : segments)
    {
        const int length = samplesFor (rate, s.seconds);
        if (s.dBFS <= silent)
            programme.clear (start, length);
        start += length;
    }

    return programme;
}

// Measures `programme` from a fresh start in blocks of 512; afterBlock sees the processor
// after every block with the index of the block's end.
void measure (Tarn51AudioProcessor& p, const RunSetup& setup, const juce::AudioSampleBuffer& programme,
              const std::function<void (int)>& afterBlock = {})
{
    p.setNonRealtime (!setup.realTime);
    p.prepareToPlay (setup.rate, blockSize);
    runManually (p);

    // In real time the test's own thread stands in for the loudness thread, late on purpose.
    if (setup.realTime)
        p.loudnessThread.removeTimeSliceClient (&p.loudnessModule);

    int blocks = 0;
    process (p, programme, blockSize, nullptr,
             [&] (int start)
             {
                 if (setup.realTime && ++blocks % 19 == 0)
                     p.loudnessModule.useTimeSlice();
                 if (afterBlock)
                     afterBlock (juce::jmin (start + blockSize, programme.getNumSamples()));
             });

    if (setup.realTime)
    {
        // The last slice, and a block that takes its values.
        p.loudnessModule.useTimeSlice();
        juce::AudioSampleBuffer empty (2, 0);
        juce::MidiBuffer midi;
        p.processBlock (empty, midi);
    }
}

// Counts of a histogram outside level +/- 0.1, and in all.
std::pair<float, float> countsAround (const LoudnessHistogram& h, float level)
{
    float outside = 0.0f, all = 0.0f;

    for (int i = 0; i < LoudnessHistogram::numBins; ++i)
    {
        all += h.countInBin (i);
        if (std::abs (h.levelOfBin (i) - level) > tolerance)
            outside += h.countInBin (i);
    }

    return {outside, all};
}

class SteadyTone : public testing::TestWithParam<RunSetup>
{
};

// One burst kind: its length, and the twenty starting offsets spread over the 100 ms grid of
// the short-term values or over 10 ms steps of the momentary maxima (odd sample counts, so
// that the offsets fall on every phase).
struct BurstKind
{
    const char* name;
    double seconds;
    double offsetStep;
    bool shortTerm; // reads the short-term maximum, else the momentary one
};

const BurstKind shortTermBursts{"ShortTerm", 3.0, 0.0051, true};
const BurstKind momentaryBursts{"Momentary", 0.4, 0.0053, false};

void PrintTo (const BurstKind& kind, std::ostream* os)
{
    *os << kind.name;
}

float maximumOf (const MeterReadings& r, const BurstKind& kind)
{
    return kind.shortTerm ? r.maxShortTerm : r.maxMomentary;
}

using BurstCase = std::tuple<RunSetup, BurstKind>;

std::string burstName (const testing::TestParamInfo<BurstCase>& info)
{
    return nameOf (std::get<0> (info.param)) + std::get<1> (info.param).name;
}

class Bursts : public testing::TestWithParam<BurstCase>
{
};
} // namespace

TEST_P (SteadyTone, ReadsTheSameAtTenValuesASecond)
{
    // Every value of both kinds lands in the histograms: all -23.0 +/- 0.1, ten a second from
    // the end of the first window on.
    Tarn51AudioProcessor p;
    const auto tone = programmeOf (GetParam().rate, {{-23.0f, 20.0}});
    measure (p, GetParam(), tone);

    const auto& module = p.loudnessModule;
    const int n = tone.getNumSamples();
    const auto momentary = countsAround (module.momentaryHistogram, -23.0f);
    const auto shortTerm = countsAround (module.shortTermHistogram, -23.0f);

    EXPECT_EQ (momentary.first, 0.0f);
    EXPECT_EQ (momentary.second, (float)((n - module.momentaryLength) / module.momentaryHop + 1));
    EXPECT_EQ (shortTerm.first, 0.0f);
    EXPECT_EQ (shortTerm.second, (float)((n - module.shortTermLength) / module.momentaryHop + 1));
    EXPECT_EQ (module.momentaryHop, samplesFor (GetParam().rate, 0.1));
    EXPECT_NEAR (p.readings.shortTerm, -23.0f, tolerance);
    EXPECT_NEAR (p.readings.momentary, -23.0f, tolerance);
    EXPECT_NEAR (p.readings.maxShortTerm, -23.0f, tolerance);
    EXPECT_NEAR (p.readings.maxMomentary, -23.0f, tolerance);
}

INSTANTIATE_TEST_SUITE_P (EbuMode, SteadyTone,
                          testing::Values (RunSetup{48000, false}, RunSetup{48000, true},
                                           RunSetup{44100, false}),
                          [] (const auto& caseInfo) { return nameOf (caseInfo.param); });

TEST_P (Bursts, OneBurstReadsItsLevelWhereverItStarts)
{
    const auto& [setup, kind] = GetParam();

    for (int k = 0; k < 20; ++k)
    {
        Tarn51AudioProcessor p;
        const double before = 1.0 + k * kind.offsetStep;
        measure (p, setup,
                 programmeOf (setup.rate, {{silent, before}, {-23.0f, kind.seconds}, {silent, 1.0}}));
        EXPECT_NEAR (maximumOf (p.readings, kind), -23.0f, tolerance) << "burst after " << before << " s";
    }
}

TEST_P (Bursts, SteppedBurstsReadEachLevel)
{
    // Twenty bursts from -38 to -19 LUFS, 1 LU apart, each followed by silence longer than a
    // window; at the end of each silence the maximum is that burst's level.
    const auto& [setup, kind] = GetParam();
    const double gap = kind.shortTerm ? 3.5 : 0.8;
    std::vector<Segment> segments{{silent, 0.5037}};
    std::vector<std::pair<int, float>> checks; // end of a burst's gap, its level
    int end = samplesFor (setup.rate, 0.5037);

    for (int level = -38; level <= -19; ++level)
    {
        segments.push_back ({(float)level, kind.seconds + 0.0013 * (level + 38)});
        segments.push_back ({silent, gap});
        end += samplesFor (setup.rate, segments[segments.size() - 2].seconds) + samplesFor (setup.rate, gap);
        checks.push_back ({end, (float)level});
    }

    Tarn51AudioProcessor p;
    size_t next = 0;
    std::vector<float> seen;

    measure (p, setup, programmeOf (setup.rate, segments),
             [&] (int blockEnd)
             {
                 // Read in the last block of the silence.
                 if (next < checks.size() && blockEnd + blockSize > checks[next].first)
                 {
                     seen.push_back (maximumOf (p.readings, kind));
                     ++next;
                 }
             });

    seen.push_back (maximumOf (p.readings, kind));
    ASSERT_GE (seen.size(), checks.size());

    for (size_t i = 0; i < checks.size(); ++i)
        EXPECT_NEAR (seen[i], checks[i].second, tolerance) << "burst " << i;
}

INSTANTIATE_TEST_SUITE_P (EbuMode, Bursts,
                          testing::Combine (testing::Values (RunSetup{48000, false}, RunSetup{48000, true},
                                                             RunSetup{44100, false}),
                                            testing::Values (shortTermBursts, momentaryBursts)),
                          burstName);

TEST (EbuMode, TruePeakAboveFullScale)
{
    // A quarter-rate sine whose samples are +-1.0, 45 degrees off its peaks: +3.0 dBTP.
    Tarn51AudioProcessor p;
    const int n = samplesFor (ProcessorDriver::rate, 2.0);
    juce::AudioSampleBuffer programme (6, n);
    programme.clear();

    for (int i = 0; i < n; ++i)
    {
        const auto phase = juce::MathConstants<double>::halfPi * i + juce::MathConstants<double>::pi / 4.0;
        const auto sample = (float)(std::sqrt (2.0) * std::sin (phase));
        programme.setSample (L, i, sample);
        programme.setSample (R, i, sample);
    }

    measure (p, RunSetup{ProcessorDriver::rate, false}, programme);
    EXPECT_GE (p.readings.maxTruePeak, 3.0f - 0.4f);
    EXPECT_LE (p.readings.maxTruePeak, 3.0f + 0.2f);
}
