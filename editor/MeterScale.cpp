#include "editor/MeterScale.h"

#include <cmath>

namespace
{
struct ScaleInfo
{
    double minimum;
    double maximum;
    double displayOffset;
    int numLabels;
    double labels[MeterScale::maximumTicks];
};

// Labels top to bottom, in the unit printed on the scale; a label's value is offset + label.
constexpr ScaleInfo scaleInfos[MeterScale::numTypes] = {
    // 0: EBU, +9, LUFS
    {-41, -14, 0, 14, {-14, -16, -18, -20, -21, -22, -23, -24, -25, -26, -28, -30, -35, -41}},
    // 1: EBU, +9, LU
    {-41, -14, -23, 14, {9, 7, 5, 3, 2, 1, 0, -1, -2, -3, -5, -7, -12, -18}},
    // 2: EBU, +18, LUFS
    {-59, -5, 0, 12, {-5, -6, -8, -10, -16, -20, -23, -26, -30, -40, -50, -59}},
    // 3: EBU, +18, LU
    {-59, -5, -23, 12, {18, 17, 15, 12, 6, 3, 0, -3, -6, -18, -28, -36}},
    // 4: ATSC and ARIB, +9, LUFS
    {-42, -15, 0, 14, {-15, -17, -19, -21, -22, -23, -24, -25, -26, -27, -29, -31, -36, -42}},
    // 5: ATSC and ARIB, +9, LU
    {-42, -15, -24, 14, {9, 7, 5, 3, 2, 1, 0, -1, -2, -3, -5, -7, -12, -18}},
    // 6: ATSC and ARIB, +18, LUFS
    {-60, -6, 0, 12, {-6, -7, -9, -12, -18, -22, -24, -26, -30, -40, -50, -60}},
    // 7: ATSC and ARIB, +18, LU
    {-60, -6, -24, 12, {18, 17, 15, 12, 6, 3, 0, -3, -6, -18, -28, -36}},
    // 8: true peak, dB: 5 down to -20 in steps of 1, then wider steps (no -30)
    {-60, 5, 0, 32, {5,   4,   3,   2,   1,   0,   -1,  -2,  -3,  -4,  -5,  -6,  -7,  -8,  -9,  -10,
                     -11, -12, -13, -14, -15, -16, -17, -18, -19, -20, -25, -35, -40, -45, -50, -60}}};
} // namespace

MeterScale::MeterScale()
{
    tickValues.ensureStorageAllocated (maximumTicks);
    tickPositions.ensureStorageAllocated (maximumTicks);
    setRange (0.0, 1.0);
}

MeterScale::MeterScale (const MeterScale& other) : MeterScale()
{
    *this = other;
}

MeterScale& MeterScale::operator= (const MeterScale& other)
{
    if (this == &other)
        return *this;

    minimum = other.minimum;
    maximum = other.maximum;
    range = other.range;
    expLow = other.expLow;
    expHigh = other.expHigh;
    expSpan = other.expSpan;
    // clearQuick keeps the storage, so copying into an existing scale does not allocate.
    tickValues.clearQuick();
    tickValues.addArray (other.tickValues);
    tickPositions.clearQuick();
    tickPositions.addArray (other.tickPositions);
    displayOffset = other.displayOffset;
    type = other.type;
    return *this;
}

void MeterScale::setRange (double newMinimum, double newMaximum)
{
    jassert (newMaximum > newMinimum);

    minimum = newMinimum;
    maximum = newMaximum;
    range = maximum - minimum;
    expLow = std::exp (minimum / range) * std::exp (range);
    expHigh = std::exp (maximum / range) * std::exp (range);
    expSpan = expHigh - expLow;
}

void MeterScale::setType (int newType)
{
    if (newType == type)
        return;

    if (newType >= 0 && newType < numTypes)
    {
        const auto& info = scaleInfos[newType];

        tickValues.clearQuick();
        tickPositions.clearQuick();
        displayOffset = info.displayOffset;
        setRange (info.minimum, info.maximum);

        for (int i = 0; i < info.numLabels; ++i)
        {
            const double value = displayOffset + info.labels[i];
            tickValues.add (value);
            tickPositions.add (positionOf (value));
        }
    }

    type = newType;
}

double MeterScale::positionOf (double value) const
{
    return (std::exp (value / range) * std::exp (range) - expLow) / expSpan;
}
