#include <gtest/gtest.h>

#include "EngineDriver.h"
#include "support/TestSignals.h"

#include <memory>

using namespace TestSignals;

// The EBU loudness meter cases (Tech 3341 1-6, loudness range Tech 3342 1-4), generated
// here and measured through feed() and time slices, with gating on.
namespace
{
constexpr double toneHz = 1000.0;

struct EbuCase
{
    const char* name;
    std::vector<Segment> segments;
    bool fiveChannel;
    float expected; // integrated loudness (LUFS) or loudness range (LU)
    bool range;     // expected is a loudness range
    bool steady;    // every momentary and short-term value must match as well
};

std::vector<EbuCase> allCases()
{
    return {
        {"3341_1", {{-23, 20}}, false, -23.0f, false, true},
        {"3341_2", {{-33, 20}}, false, -33.0f, false, true},
        {"3341_3", {{-36, 10}, {-23, 60}, {-36, 10}}, false, -23.0f, false, false},
        {"3341_4", {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, false, -23.0f, false, false},
        {"3341_5", {{-26, 20}, {-20, 20.1}, {-26, 20}}, false, -23.0f, false, false},
        {"3341_6", {{0, 20}}, true, -23.0f, false, false},
        {"3342_1", {{-20, 20}, {-30, 20}}, false, 10.0f, true, false},
        {"3342_2", {{-20, 20}, {-15, 20}}, false, 5.0f, true, false},
        {"3342_3", {{-40, 20}, {-20, 20}}, false, 20.0f, true, false},
        {"3342_4", {{-50, 20}, {-35, 20}, {-20, 20}, {-35, 20}, {-50, 20}}, false, 15.0f, true, false},
    };
}

struct RatedCase
{
    double rate;
    EbuCase ebu;
};

std::vector<RatedCase> casesAt (double rate, std::initializer_list<const char*> names = {})
{
    std::vector<RatedCase> out;
    for (const auto& c : allCases())
    {
        bool wanted = names.size() == 0;
        for (const char* n : names)
            wanted = wanted || std::string (n) == c.name;
        if (wanted)
            out.push_back ({rate, c});
    }
    return out;
}

// Names the case in test listings (and so in CTest's test names).
void PrintTo (const RatedCase& c, std::ostream* os)
{
    *os << c.ebu.name << "_at_" << static_cast<int> (c.rate) << "Hz";
}

class EbuConformance : public testing::TestWithParam<RatedCase>
{
};
} // namespace

TEST_P (EbuConformance, MeetsTheReferenceReading)
{
    const auto& p = GetParam();
    const auto gains = p.ebu.fiveChannel ? fiveChannelDb (-28, -28, -24, -30, -30) : stereo();
    const auto programme = sineProgramme (p.rate, toneHz, p.ebu.segments, gains);

    auto module = std::make_unique<OSKALoudnessModule>();
    EngineDriver::Values seen;
    const auto results = EngineDriver::measure (*module, p.rate, programme, &seen);

    if (p.ebu.range)
    {
        EXPECT_NEAR (results.loudnessRange, p.ebu.expected, 1.0f);
        EXPECT_NEAR (results.rangeHigh - results.rangeLow, results.loudnessRange, 1e-4f);
    }
    else
    {
        EXPECT_NEAR (results.integrated, p.ebu.expected, 0.1f);
    }

    if (p.ebu.steady)
    {
        ASSERT_GE (seen.momentary.size(), 190u);
        ASSERT_GE (seen.shortTerm.size(), 28u);
        for (float m : seen.momentary)
            ASSERT_NEAR (m, p.ebu.expected, 0.1f);
        for (float s : seen.shortTerm)
            ASSERT_NEAR (s, p.ebu.expected, 0.1f);
    }
}

INSTANTIATE_TEST_SUITE_P (At48k, EbuConformance, testing::ValuesIn (casesAt (48000)),
                          [] (const auto& caseInfo) { return std::string (caseInfo.param.ebu.name); });

INSTANTIATE_TEST_SUITE_P (At44k1, EbuConformance,
                          testing::ValuesIn (casesAt (44100,
                                                      {"3341_1", "3341_4", "3341_6", "3342_1", "3342_4"})),
                          [] (const auto& caseInfo) { return std::string (caseInfo.param.ebu.name); });

INSTANTIATE_TEST_SUITE_P (At96k, EbuConformance,
                          testing::ValuesIn (casesAt (96000, {"3341_2", "3341_5", "3341_6", "3342_3"})),
                          [] (const auto& caseInfo) { return std::string (caseInfo.param.ebu.name); });
