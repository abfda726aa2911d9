#include <gtest/gtest.h>

#include "editor/MeterScale.h"
#include "processor/ParameterTable.h"

#include <cmath>
#include <limits>

namespace
{
MeterScale scaleOfType (int type)
{
    MeterScale scale;
    scale.setType (type);
    return scale;
}

double tickPositionAt (const MeterScale& scale, double value)
{
    const int index = scale.tickValues.indexOf (value);
    EXPECT_GE (index, 0) << "no tick at " << value << " on type " << scale.type;
    return index >= 0 ? scale.tickPositions[index] : -1.0;
}
} // namespace

TEST (MeterScale, TickTablesAndEnds)
{
    const int expectedCounts[9] = {14, 14, 12, 12, 14, 14, 12, 12, 32};

    for (int type = 0; type < 9; ++type)
    {
        SCOPED_TRACE (type);
        const auto scale = scaleOfType (type);
        ASSERT_EQ (scale.tickValues.size(), expectedCounts[type]);
        ASSERT_EQ (scale.tickPositions.size(), expectedCounts[type]);

        // Top to bottom, from the top of the scale down to its bottom.
        EXPECT_EQ (scale.tickValues.getFirst(), scale.maximum);
        EXPECT_EQ (scale.tickValues.getLast(), scale.minimum);
        for (int i = 1; i < scale.tickValues.size(); ++i)
            EXPECT_LT (scale.tickValues[i], scale.tickValues[i - 1]);
        for (int i = 0; i < scale.tickValues.size(); ++i)
            EXPECT_DOUBLE_EQ (scale.tickPositions[i], scale.positionOf (scale.tickValues[i]));

        // Not clamped at either end.
        EXPECT_NEAR (scale.positionOf (scale.minimum), 0.0, 1e-12);
        EXPECT_NEAR (scale.positionOf (scale.maximum), 1.0, 1e-12);
        EXPECT_LT (scale.positionOf (-70.0), 0.0);
        EXPECT_GT (scale.positionOf (scale.maximum + 1.0), 1.0);
    }

    const auto truePeak = scaleOfType (8);
    EXPECT_EQ (truePeak.tickValues.indexOf (-30.0), -1);
    EXPECT_EQ (truePeak.tickValues[26], -25.0);
    EXPECT_LT (truePeak.positionOf (-std::numeric_limits<double>::infinity()), 0.0); // silence
}

TEST (MeterScale, TellingPositions)
{
    // +9 scales: the target level and the labels one step either side.
    for (const int type : {0, 1, 4, 5})
    {
        SCOPED_TRACE (type);
        const auto scale = scaleOfType (type);
        const double target = type < 4 ? -23.0 : -24.0;
        EXPECT_NEAR (tickPositionAt (scale, target), 0.5516, 1e-4);
        EXPECT_NEAR (tickPositionAt (scale, target + 1.0), 0.5943, 1e-4);
        EXPECT_NEAR (tickPositionAt (scale, target - 1.0), 0.5103, 1e-4);
    }

    const auto ebuWide = scaleOfType (2);
    EXPECT_NEAR (tickPositionAt (ebuWide, -23.0), 0.5516, 1e-4);
    EXPECT_NEAR (tickPositionAt (ebuWide, -40.0), 0.2454, 1e-4);

    const auto truePeak = scaleOfType (8);
    EXPECT_NEAR (tickPositionAt (truePeak, 0.0), 0.8829, 1e-4);
    EXPECT_NEAR (tickPositionAt (truePeak, -1.0), 0.8605, 1e-4);
    EXPECT_NEAR (tickPositionAt (truePeak, -12.0), 0.6359, 1e-4);
    EXPECT_NEAR (tickPositionAt (truePeak, -20.0), 0.4949, 1e-4);
}

TEST (MeterScale, RelativeScales)
{
    // On the +9 scale the relative twin has the absolute ticks.
    MeterScale scale;
    scale.setType (0);
    const auto absolute = scale.tickPositions;
    scale.setType (1);
    EXPECT_EQ (scale.displayOffset, -23.0);
    EXPECT_EQ (scale.tickPositions, absolute);
    EXPECT_EQ (scale.tickValues.getFirst(), -14.0);
    EXPECT_EQ (scale.tickValues.getLast(), -41.0);

    // On the +18 scale it does not: label 12 LU is -11 LUFS, the absolute scale has -10.
    const auto wide = scaleOfType (2);
    const auto wideRelative = scaleOfType (3);
    EXPECT_EQ (wideRelative.maximum, wide.maximum);
    EXPECT_EQ (wideRelative.tickValues[3], -11.0);
    EXPECT_EQ (wideRelative.tickValues.indexOf (-10.0), -1);
    EXPECT_GE (wide.tickValues.indexOf (-10.0), 0);
    EXPECT_EQ (scaleOfType (7).tickValues[3], -12.0);
}

TEST (MeterScale, SetTypeNeverReallocates)
{
    MeterScale scale;
    const auto* storage = scale.tickValues.getRawDataPointer();
    scale.setType (0);
    const auto before = scale.tickPositions;

    scale.setType (0);
    EXPECT_EQ (scale.tickPositions, before);

    for (const int type : {8, 2, 7, 8, 0})
        scale.setType (type);
    EXPECT_EQ (scale.tickValues.getRawDataPointer(), storage);
    EXPECT_EQ (scale.tickPositions, before);

    // Nor does copying into an existing scale.
    MeterScale target;
    const auto* targetStorage = target.tickPositions.getRawDataPointer();
    target = scaleOfType (8);
    EXPECT_EQ (target.tickPositions.getRawDataPointer(), targetStorage);
    EXPECT_EQ (target.tickPositions, scaleOfType (8).tickPositions);
    EXPECT_EQ (target.positionOf (-12.0), scaleOfType (8).positionOf (-12.0));
}

TEST (MeterScale, NewScaleIsDefined)
{
    MeterScale scale;
    EXPECT_EQ (scale.type, -1);
    EXPECT_TRUE (scale.tickValues.isEmpty());
    EXPECT_GT (scale.maximum, scale.minimum);

    // An unknown first type is stored, leaving a defined range and no ticks.
    scale.setType (42);
    EXPECT_EQ (scale.type, 42);
    EXPECT_TRUE (scale.tickValues.isEmpty());
    EXPECT_TRUE (std::isfinite (scale.positionOf (-23.0)));
    EXPECT_NEAR (scale.positionOf (scale.minimum), 0.0, 1e-12);
    EXPECT_NEAR (scale.positionOf (scale.maximum), 1.0, 1e-12);

    // After a known type, an unknown one keeps its mapping and ticks.
    scale.setType (8);
    scale.setType (-5);
    EXPECT_EQ (scale.tickValues.size(), 32);
    EXPECT_NEAR (scale.positionOf (0.0), 0.8829, 1e-4);
}

TEST (MeterScale, LoudnessOutputParameterMapping)
{
    // Loudness reaches the host as its clamped proportion on the type 6 scale.
    const auto automation = scaleOfType (6);
    ParameterTable table;
    const int momentary = table.indexOf ("Mom. Loudness Param");

    const auto p = (float)juce::jlimit (0.0, 1.0, automation.positionOf (-23.0));
    EXPECT_NEAR (p, 0.5727, 1e-4);
    table.setParameter (momentary, p);
    EXPECT_NEAR (table.getValue (momentary), -29.07, 0.01);
    EXPECT_EQ (juce::jlimit (0.0, 1.0, automation.positionOf (-70.0)), 0.0);
    EXPECT_EQ (juce::jlimit (0.0, 1.0, automation.positionOf (-3.0)), 1.0);
}
