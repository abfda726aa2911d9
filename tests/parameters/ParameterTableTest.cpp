#include <gtest/gtest.h>

#include "processor/ParameterTable.h"

#include <limits>
#include <utility>

namespace
{
constexpr int standard = 0, followTransport = 4, surroundLayout = 5, maxLevel = 7, holdTime = 8,
              mlThreshold = 11, stlThreshold = 12, momLoudness = 13, shtLoudness = 14;
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();

void clearAllChanged (ParameterTable& table)
{
    for (int i = 0; i < table.getNumParameters(); ++i)
        table.testAndClearChanged (i);
}

bool noneChanged (const ParameterTable& table)
{
    for (int i = 0; i < table.getNumParameters(); ++i)
        if (table.isChanged (i))
            return false;
    return true;
}
} // namespace

TEST (ParameterTable, NamesAndLookup)
{
    ParameterTable table;
    ASSERT_EQ (table.getNumParameters(), 15);
    EXPECT_EQ (table.getParameterName (5), "Surround layout");
    EXPECT_EQ (table.getParameterName (13), "Mom. Loudness Param");
    EXPECT_EQ (table.identifiers[5], "Surroundlayout");
    EXPECT_EQ (table.identifiers[11], "MLThreshold");

    for (int i = 0; i < 15; ++i)
        EXPECT_EQ (table.indexOf (table.names[i]), i) << table.names[i];

    EXPECT_EQ (table.indexOf ("TruePeak Max Level"), 7);
    EXPECT_EQ (table.indexOf ("TruePeakMaxLevel"), -1); // identifiers are not display names
    EXPECT_EQ (table.indexOf ("truepeak max level"), -1);
    EXPECT_EQ (table.getParameterName (-1), juce::String());
    EXPECT_EQ (table.getParameterName (15), juce::String());
}

TEST (ParameterTable, NormalisationAndTexts)
{
    ParameterTable table;
    EXPECT_NEAR (table.getParameter (maxLevel), 11.0 / 12.0, 1e-6);
    EXPECT_EQ (table.getParameterText (maxLevel), "0.92");
    EXPECT_EQ (table.getParameterText (standard), "0.00");
    EXPECT_EQ (table.getParameterText (followTransport), "1.00");
    EXPECT_EQ (table.getParameterText (holdTime), "0.30");
    table.setParameter (surroundLayout, 0.5f);
    EXPECT_EQ (table.getParameterText (surroundLayout), "0.50");

    // Stored values outside the range (a loaded state may hold them) are kept but read clamped.
    table.setValue (standard, 7.0f);
    EXPECT_EQ (table.getValue (standard), 7.0f);
    EXPECT_EQ (table.getParameter (standard), 1.0f);
    table.setValue (mlThreshold, -40.0f);
    EXPECT_EQ (table.getParameter (mlThreshold), 0.0f);

    EXPECT_EQ (table.getParameter (15), 0.0f);
    EXPECT_EQ (table.getParameterText (-1), "0.00");
}

TEST (ParameterTable, SetParameterScalesAndLimits)
{
    ParameterTable table;
    table.setParameter (mlThreshold, 0.5f);
    EXPECT_FLOAT_EQ (table.getValue (mlThreshold), -20.0f);
    table.setParameter (mlThreshold, 1.5f);
    EXPECT_EQ (table.getValue (mlThreshold), -10.0f);
    table.setParameter (mlThreshold, -3.0f);
    EXPECT_EQ (table.getValue (mlThreshold), -30.0f);

    table.setParameter (standard, 0.5f);
    EXPECT_EQ (table.choiceOf (standard), 1);
    table.setParameter (standard, 0.25f);
    EXPECT_EQ (table.getValue (standard), 0.5f);
    EXPECT_EQ (table.choiceOf (standard), 0); // halves to even
    table.setParameter (followTransport, 0.5f);
    EXPECT_EQ (table.choiceOf (followTransport), 0);

    // Out of range indices and NaN change nothing, not even a changed bit.
    const auto before = table.getValues();
    clearAllChanged (table);
    table.setParameter (-1, 0.5f);
    table.setParameter (15, 0.5f);
    table.setParameter (maxLevel, notANumber);
    EXPECT_EQ (table.getValues(), before);
    EXPECT_TRUE (noneChanged (table));
}

TEST (ParameterTable, RoundHalfEven)
{
    const std::pair<float, int> cases[] = {{0.5f, 0},        {1.5f, 2},      {2.5f, 2}, {-0.5f, 0},
                                           {-1.5f, -2},      {-0.7f, -1},    {7.0f, 7}, {0.49999997f, 0},
                                           {0.50000006f, 1}, {notANumber, 0}};
    for (const auto& [value, expected] : cases)
        EXPECT_EQ (ParameterTable::roundHalfEven (value), expected) << value;

    EXPECT_EQ (ParameterTable::roundHalfEven (1e30f), std::numeric_limits<int>::max());
    EXPECT_EQ (ParameterTable::roundHalfEven (-std::numeric_limits<float>::infinity()),
               std::numeric_limits<int>::min());
}

TEST (ParameterTable, DefaultsStepsAndAutomation)
{
    ParameterTable table;

    // The defaults are the EBU program with both thresholds at -10.
    const float expected[15] = {0, 0, 0, 0, 1, 0, 0, -1, 3, 3, 0, -10, -10, -60, -60};
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ (table.getValue (i), expected[i]) << i;

    EXPECT_EQ (table.getParameterNumSteps (maxLevel), 2147483647);
    EXPECT_EQ (table.getParameterNumSteps (standard), 3);
    EXPECT_EQ (table.getParameterNumSteps (followTransport), 2);
    EXPECT_EQ (table.getParameterNumSteps (15), 0);

    table.setParameter (followTransport, 0.0f); // defaults do not follow the values
    EXPECT_EQ (table.getParameterDefaultValue (followTransport), 1.0f);
    EXPECT_EQ (table.getParameterDefaultValue (momLoudness), 0.0f);
    EXPECT_NEAR (table.getParameterDefaultValue (maxLevel), 11.0 / 12.0, 1e-6);
    EXPECT_EQ (table.getParameterDefaultValue (-1), 0.0f);

    for (int i = -1; i <= 15; ++i)
        EXPECT_EQ (table.isParameterAutomatable (i), i == maxLevel || i == momLoudness || i == shtLoudness)
            << i;
}

TEST (ParameterTable, Programs)
{
    ParameterTable table;
    int currentProgram = 0;
    ASSERT_EQ (table.getNumPrograms(), 3);
    EXPECT_EQ (table.getProgramName (2), "ARIB");
    EXPECT_EQ (table.getProgramName (3), juce::String());

    // A program overwrites every value, channel order and outputs included, and marks all.
    table.setParameter (surroundLayout, 1.0f);
    table.setParameter (momLoudness, 0.7f);
    clearAllChanged (table);
    table.setCurrentProgram (1, currentProgram);
    EXPECT_EQ (currentProgram, 1);
    EXPECT_EQ (table.getValue (standard), 1.0f);
    EXPECT_EQ (table.getValue (maxLevel), -2.0f);
    EXPECT_EQ (table.getValue (mlThreshold), -10.0f);
    EXPECT_EQ (table.getValue (stlThreshold), -10.0f);
    EXPECT_EQ (table.getValue (surroundLayout), 0.0f);
    EXPECT_EQ (table.getValue (momLoudness), -60.0f);
    for (int i = 0; i < 15; ++i)
        EXPECT_TRUE (table.isChanged (i)) << i;

    table.setCurrentProgram (0, currentProgram);
    EXPECT_EQ (table.getValue (mlThreshold), -15.0f);
    EXPECT_EQ (table.getValue (stlThreshold), -18.0f);

    const auto before = table.getValues();
    clearAllChanged (table);
    table.setCurrentProgram (3, currentProgram);
    table.setCurrentProgram (-1, currentProgram);
    EXPECT_EQ (currentProgram, 0);
    EXPECT_EQ (table.getValues(), before);
    EXPECT_TRUE (noneChanged (table));

    table.changeProgramName (1, "Mine");
    table.changeProgramName (3, "Nowhere");
    EXPECT_EQ (table.getProgramName (1), "Mine");
    EXPECT_EQ (table.programNames.size(), 3);
}

TEST (ParameterTable, ChangedBits)
{
    ParameterTable table;
    EXPECT_TRUE (table.testAndClearChanged (3)); // a new table has every bit set
    EXPECT_FALSE (table.testAndClearChanged (3));
    EXPECT_TRUE (table.isChanged (4));

    clearAllChanged (table);
    table.setParameter (holdTime, 0.1f);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ (table.isChanged (i), i == holdTime) << i;

    clearAllChanged (table);
    table.setValue (maxLevel, -3.0f); // the loader marks all once every value is in
    EXPECT_TRUE (noneChanged (table));
    table.markAllChanged();
    for (int i = 0; i < 15; ++i)
        EXPECT_TRUE (table.testAndClearChanged (i));
    EXPECT_FALSE (table.testAndClearChanged (15));
}

TEST (ParameterTable, StandaloneDoesNotFollowTheTransport)
{
    ParameterTable plugin;
    ParameterTable standalone (ParameterTable::Variant::standalone);
    int currentProgram = 0;

    EXPECT_EQ (standalone.getValue (followTransport), 0.0f);
    EXPECT_EQ (standalone.getParameterDefaultValue (followTransport), 0.0f);

    for (int p = 0; p < 3; ++p)
    {
        standalone.setCurrentProgram (p, currentProgram);
        plugin.setCurrentProgram (p, currentProgram);
        auto expected = plugin.getValues();
        expected[followTransport] = 0.0f;
        EXPECT_EQ (standalone.getValues(), expected) << p;
    }

    EXPECT_EQ (standalone.identifiers, plugin.identifiers);
}
