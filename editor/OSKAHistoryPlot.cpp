#include "editor/OSKAHistoryPlot.h"

#include "editor/EditorPalette.h"
#include "report/ReadoutText.h"

#include <cmath>
#include <vector>

namespace
{
using Bucket = LoudnessHistory::Bucket;

// The meter's palette: short-term loudness in its blue, the integrated loudness and the target
// band in its green, overs in its red, grids and labels in its greys.
const juce::Colour background (0xFF000000);
const auto& gridGrey = EditorPalette::midGrey;
const auto& labelGrey = EditorPalette::lightGrey;
const auto& shortTermBlue = EditorPalette::accentBlue;
const auto& integratedGreen = EditorPalette::okGreen;
const auto& overRed = EditorPalette::alarmRed;

// One pixel column of the curves: the buckets that fall on it, merged.
struct Column
{
    float x;
    Bucket values;
};

float lower (float a, float b)
{
    return std::isnan (a) ? b : (std::isnan (b) ? a : std::min (a, b));
}

float higher (float a, float b)
{
    return std::isnan (a) ? b : (std::isnan (b) ? a : std::max (a, b));
}

void mergeInto (Bucket& into, const Bucket& later)
{
    into.momentaryMin = lower (into.momentaryMin, later.momentaryMin);
    into.momentaryMax = higher (into.momentaryMax, later.momentaryMax);
    into.shortTermMin = lower (into.shortTermMin, later.shortTermMin);
    into.shortTermMax = higher (into.shortTermMax, later.shortTermMax);
    into.integrated = std::isnan (later.integrated) ? into.integrated : later.integrated;
    into.truePeak = higher (into.truePeak, later.truePeak);
}

// The buckets merged by the pixel column their middle falls on, in time order.
std::vector<Column> columnsOf (const OSKAHistoryPlot::Series& series, juce::Rectangle<float> area)
{
    std::vector<Column> columns;
    const auto seconds = series.axisEnd - series.axisStart;

    if (series.buckets == nullptr || !(seconds > 0.0))
        return columns;

    columns.reserve ((size_t)juce::jmin (series.numBuckets, (int)area.getWidth() + 2));
    const auto pixelsPerSecond = (double)area.getWidth() / seconds;
    const auto bucketSeconds = (double)series.stepsPerBucket * LoudnessHistory::stepSeconds;

    for (int i = 0; i < series.numBuckets; ++i)
    {
        const auto middle =
            LoudnessHistory::startOfStep (series.firstStep) + ((double)i + 0.5) * bucketSeconds;

        if (middle < series.axisStart || middle > series.axisEnd)
            continue;

        const auto x =
            std::floor ((float)((middle - series.axisStart) * pixelsPerSecond)) + area.getX() + 0.5f;

        if (!columns.empty() && columns.back().x == x)
            mergeInto (columns.back().values, series.buckets[i]);
        else
            columns.push_back ({x, series.buckets[i]});
    }

    return columns;
}

class LevelMapping
{
public:
    LevelMapping (const MeterScale& s, juce::Rectangle<float> a) : scale (s), area (a) {}

    float yOf (float level) const
    {
        const auto p = (float)scale.positionOf ((double)level);
        const auto y = area.getBottom() - p * area.getHeight();
        // Far outside the area the path would only grow; a little outside is clipped away.
        return juce::jlimit (area.getY() - 2.0f, area.getBottom() + 2.0f, y);
    }

private:
    const MeterScale& scale;
    juce::Rectangle<float> area;
};

// Each column's range from the lower to the upper value as a bar as wide as the column; a
// column without a value stays empty. Whole pixels: the renderer fills those directly, where
// hundreds of fractional bars side by side would each add edges to every scanline they cross.
template <typename Upper, typename Lower>
void fillColumnRanges (juce::Graphics& g, const std::vector<Column>& columns, const LevelMapping& levels,
                       Upper upper, Lower lowerOf)
{
    for (size_t i = 0; i < columns.size(); ++i)
    {
        const auto& c = columns[i];

        if (std::isnan (upper (c.values)))
            continue;

        const auto x = (int)std::floor (c.x);
        const auto width =
            i + 1 < columns.size() ? juce::jlimit (1, 4, (int)std::floor (columns[i + 1].x) - x) : 1;
        const auto top = juce::roundToInt (levels.yOf (upper (c.values)));
        const auto bottom = juce::roundToInt (levels.yOf (lowerOf (c.values)));
        g.fillRect (x, top, width, juce::jmax (1, bottom - top));
    }
}

// A line through one value of each column, broken where the value is missing.
template <typename Value>
juce::Path linePath (const std::vector<Column>& columns, const LevelMapping& levels, Value valueOf)
{
    juce::Path path;
    bool drawing = false;

    for (const auto& c : columns)
    {
        const auto v = valueOf (c.values);

        if (std::isnan (v))
        {
            drawing = false;
            continue;
        }

        const auto y = levels.yOf (v);

        if (drawing)
            path.lineTo (c.x, y);
        else
            path.startNewSubPath (c.x, y);

        drawing = true;
    }

    return path;
}

void drawLevelAxis (juce::Graphics& g, const MeterScale& scale, juce::Rectangle<float> area, float fontHeight)
{
    auto lastLabelY = 1.0e9f;

    // Ticks from the top down; a label too close to the one above it is left out.
    for (int i = 0; i < scale.tickValues.size(); ++i)
    {
        const auto y = area.getBottom() - (float)scale.tickPositions[i] * area.getHeight();
        g.setColour (gridGrey.withAlpha (0.3f));
        g.drawHorizontalLine (juce::roundToInt (y), area.getX(), area.getRight());

        if (std::abs (y - lastLabelY) < fontHeight)
            continue;

        lastLabelY = y;
        const auto label = juce::String (juce::roundToInt (scale.tickValues[i] - scale.displayOffset));
        g.setColour (labelGrey);
        g.drawText (label,
                    juce::Rectangle<float> (area.getX() - (float)OSKAHistoryPlot::levelAxisWidth,
                                            y - fontHeight * 0.5f,
                                            (float)OSKAHistoryPlot::levelAxisWidth - 4.0f, fontHeight),
                    juce::Justification::centredRight, false);
    }
}

void drawTimeAxis (juce::Graphics& g, const OSKAHistoryPlot::Series& series,
                   const OSKAHistoryPlot::Settings& settings, juce::Rectangle<float> area,
                   juce::Rectangle<int> bounds)
{
    const auto seconds = series.axisEnd - series.axisStart;
    const juce::Font font (settings.fontHeight);
    const auto labelWidth = font.getStringWidthFloat (ReadoutText::position (0.0, settings.frameRate)) + 4.0f;
    const auto interval =
        OSKAHistoryPlot::timeTickInterval (seconds, (int)area.getWidth(), (int)labelWidth + 10);
    g.setFont (font);

    for (auto t = std::ceil (series.axisStart / interval) * interval; t <= series.axisEnd + 1.0e-9;
         t += interval)
    {
        const auto x = area.getX() + (float)((t - series.axisStart) / seconds) * area.getWidth();
        g.setColour (gridGrey.withAlpha (0.25f));
        g.drawVerticalLine (juce::roundToInt (x), area.getY(), area.getBottom());

        // Kept inside the drawing where a label at either end would run over its edge.
        const auto left =
            juce::jlimit ((float)bounds.getX(), (float)bounds.getRight() - labelWidth, x - labelWidth * 0.5f);
        g.setColour (labelGrey);
        g.drawText (
            ReadoutText::position (t, settings.frameRate),
            juce::Rectangle<float> (left, area.getBottom() + 2.0f, labelWidth, settings.fontHeight + 2.0f),
            juce::Justification::centred, false);
    }
}
} // namespace

void OSKAHistoryPlot::drawLegend (juce::Graphics& g, float x, float y, float fontHeight)
{
    struct Entry
    {
        juce::Colour colour;
        const char* name;
        float sampleHeight;
    };

    const Entry legend[] = {{shortTermBlue, "Short term", 2.0f},
                            {labelGrey.withAlpha (0.5f), "Momentary", 2.0f},
                            {integratedGreen, "Integrated", 2.0f},
                            {overRed, "TP over", 6.0f}};
    const juce::Font font (fontHeight);
    g.setFont (font);

    for (const auto& entry : legend)
    {
        g.setColour (entry.colour);
        g.fillRect (
            juce::Rectangle<float> (x, y - entry.sampleHeight * 0.5f, fontHeight, entry.sampleHeight));
        g.setColour (juce::Colours::white);
        const auto width = font.getStringWidthFloat (entry.name);
        g.drawText (entry.name,
                    juce::Rectangle<float> (x + fontHeight * 1.2f, y - fontHeight * 0.65f, width + 2.0f,
                                            fontHeight * 1.3f),
                    juce::Justification::centredLeft, false);
        x += fontHeight * 2.3f + width;
    }
}

double OSKAHistoryPlot::timeTickInterval (double seconds, int pixels, int minimumGap) noexcept
{
    static constexpr double steps[] = {1.0,    2.0,    5.0,     10.0,    15.0,    30.0,
                                       60.0,   120.0,  300.0,   600.0,   900.0,   1800.0,
                                       3600.0, 7200.0, 10800.0, 21600.0, 43200.0, 86400.0};

    if (!(seconds > 0.0) || pixels <= 0)
        return steps[0];

    for (const auto step : steps)
        if (step / seconds * pixels >= minimumGap)
            return step;

    return std::ceil (seconds / 86400.0) * 86400.0;
}

juce::Rectangle<int> OSKAHistoryPlot::draw (juce::Graphics& g, juce::Rectangle<int> bounds,
                                            const Series& series, const Settings& settings)
{
    const auto curves = bounds.withTrimmedLeft (levelAxisWidth).withTrimmedBottom (timeAxisHeight);
    const auto area = curves.toFloat();

    if (curves.isEmpty())
        return curves;

    MeterScale scale;
    scale.setType (juce::jlimit (0, 7, settings.scaleType));
    const LevelMapping levels (scale, area);

    g.setColour (background);
    g.fillRect (bounds);
    g.setFont (juce::Font (settings.fontHeight));
    drawLevelAxis (g, scale, area, settings.fontHeight);
    drawTimeAxis (g, series, settings, area, bounds);

    {
        juce::Graphics::ScopedSaveState clip (g);
        g.reduceClipRegion (curves);

        // Target band, +-1 LU around the standard's target.
        const auto target = targetLoudness (scale.type);
        const auto bandTop = levels.yOf (target + 1.0f);
        const auto bandBottom = levels.yOf (target - 1.0f);
        g.setColour (integratedGreen.withAlpha (0.16f));
        g.fillRect (juce::Rectangle<float> (area.getX(), bandTop, area.getWidth(), bandBottom - bandTop));
        g.setColour (integratedGreen.withAlpha (0.45f));
        g.drawHorizontalLine (juce::roundToInt (levels.yOf (target)), area.getX(), area.getRight());

        const auto columns = columnsOf (series, area);
        const juce::PathStrokeType line (1.6f);

        // Momentary loudness as a faint band of each column's range, joined from column to
        // column.
        g.setColour (labelGrey.withAlpha (0.3f));
        fillColumnRanges (
            g, columns, levels, [] (const Bucket& b) { return b.momentaryMax; },
            [] (const Bucket& b) { return b.momentaryMin; });
        g.strokePath (linePath (columns, levels,
                                [] (const Bucket& b) { return 0.5f * (b.momentaryMin + b.momentaryMax); }),
                      juce::PathStrokeType (1.0f));

        // Short-term loudness: a line through the middle of each column's range, and the range
        // itself where a column holds several values.
        g.setColour (shortTermBlue);
        fillColumnRanges (
            g, columns, levels, [] (const Bucket& b) { return b.shortTermMax; },
            [] (const Bucket& b) { return b.shortTermMin; });
        g.strokePath (linePath (columns, levels,
                                [] (const Bucket& b) { return 0.5f * (b.shortTermMin + b.shortTermMax); }),
                      line);

        g.setColour (integratedGreen);
        g.strokePath (linePath (columns, levels, [] (const Bucket& b) { return b.integrated; }), line);

        // True-peak overs: a mark on the time axis under every column that had one.
        g.setColour (overRed);

        for (const auto& c : columns)
            if (c.values.truePeak > settings.truePeakLimit)
                g.fillRect (juce::Rectangle<float> (c.x - 1.0f, area.getBottom() - 6.0f, 2.0f, 6.0f));
    }

    g.setColour (gridGrey.withAlpha (0.7f));
    g.drawRect (curves);
    return curves;
}
