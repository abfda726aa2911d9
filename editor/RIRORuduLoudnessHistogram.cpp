#include "editor/RIRORuduLoudnessHistogram.h"

RIRORuduLoudnessHistogram::RIRORuduLoudnessHistogram (const juce::Colour& momentary,
                                                      const juce::Colour& shortTerm,
                                                      const juce::Colour& overThreshold)
    : shortTermColour (shortTerm), momentaryColour (momentary), overThresholdColour (overThreshold)
{
}

RIRORuduLoudnessHistogram::~RIRORuduLoudnessHistogram() = default;

void RIRORuduLoudnessHistogram::setData (juce::Array<float> values, juce::Array<float> counts)
{
    if (values.size() != counts.size())
        return;

    binValues.clearQuick();
    binCounts.clearQuick();

    // Before the first scale type the scale's range means nothing, so no bin is kept.
    if (scale.type >= 0)
    {
        const auto lower = scale.minimum;
        const auto upper = juce::jmax (scale.minimum, scale.maximum);

        for (int i = 0; i < values.size(); ++i)
        {
            const auto v = (double)values.getUnchecked (i);

            if (lower <= v && v <= upper)
            {
                binValues.add (v);
                binCounts.add ((double)counts.getUnchecked (i));
            }
        }
    }

    if (!binCounts.isEmpty())
    {
        const auto largest =
            juce::FloatVectorOperations::findMaximum (binCounts.getRawDataPointer(), binCounts.size());

        if (largest != 0.0)
            juce::FloatVectorOperations::multiply (binCounts.getRawDataPointer(), 1.0 / largest,
                                                   binCounts.size());
    }

    binY.clearQuick();
    binX.clearQuick();

    for (int i = 0; i < binValues.size(); ++i)
    {
        const auto p = scale.positionOf (binValues.getUnchecked (i));
        binY.add (innerBottom - juce::roundToInt (p * innerHeight));
        binX.add ((int)(innerWidth * binCounts.getUnchecked (i) + innerLeft));
    }
}

void RIRORuduLoudnessHistogram::setScaleType (int type)
{
    if (type == currentScaleType)
        return;

    scale.setType (type);
    rebuildBackground();
    currentScaleType = type;
}

void RIRORuduLoudnessHistogram::setLoudnessMode (int mode)
{
    loudnessMode = mode;
}

void RIRORuduLoudnessHistogram::setMomentaryThreshold (float threshold)
{
    momentaryThreshold = threshold;
}

void RIRORuduLoudnessHistogram::setShortTermThreshold (float threshold)
{
    shortTermThreshold = threshold;
}

void RIRORuduLoudnessHistogram::resized()
{
    width = getWidth();
    height = getHeight();
    innerWidth = width - 2;
    innerHeight = height - 2;
    innerLeft = 1;
    innerTop = 1;
    innerRight = width - 2;
    innerBottom = height - 2;
    rebuildBackground();
}

void RIRORuduLoudnessHistogram::rebuildBackground()
{
    backgroundImage.reset();

    // An empty component has no grid; paint then fills nothing.
    if (width <= 0 || height <= 0)
        return;

    backgroundImage = std::make_unique<juce::Image> (juce::Image::RGB, width, height, false);
    backgroundImage->clear (backgroundImage->getBounds());

    juce::Graphics g (*backgroundImage);
    g.setColour (fillColour);
    g.fillRect (0, 0, width, height);

    g.setColour (gridColour);
    g.setOpacity (0.25f);
    g.drawRect (0, 0, width, height, borderThickness);

    g.setOpacity (0.15f);
    g.drawVerticalLine (width / 2, 0.0f, (float)height);

    // The grid reaches one row less than the bins (innerHeight - 1), so a bin at a
    // tick's loudness may lie one row above that tick's line.
    for (const auto p : scale.tickPositions)
    {
        const auto y = innerBottom - juce::roundToInt ((innerHeight - 1) * p);
        g.drawHorizontalLine (y, (float)innerLeft, (float)(innerRight + 1));
    }
}

void RIRORuduLoudnessHistogram::paint (juce::Graphics& g)
{
    const auto shortTermMode = loudnessMode != 0;
    const auto threshold = shortTermMode ? shortTermThreshold : momentaryThreshold;
    const auto colour = shortTermMode ? shortTermColour : momentaryColour;

    if (backgroundImage != nullptr)
    {
        g.drawImage (*backgroundImage, 0, 0, width, height, 0, 0, width, height);
    }
    else
    {
        g.setColour (fillColour);
        g.fillRect (0, 0, width, height);
    }

    juce::Path outline;
    juce::Path under;
    juce::Path over;
    outline.startNewSubPath ((float)(innerRight + 1), (float)innerBottom);
    under.startNewSubPath ((float)innerRight, (float)innerBottom);
    auto overStarted = false;
    auto crossingY = 0;

    for (int i = 0; i < binValues.size(); ++i)
    {
        const auto x = (float)(innerRight - binX.getUnchecked (i) + 1);
        const auto y = binY.getUnchecked (i);

        if ((double)threshold > binValues.getUnchecked (i))
        {
            under.lineTo (x, (float)y);
        }
        else
        {
            if (!overStarted)
            {
                over.startNewSubPath ((float)innerRight, (float)y);
                under.lineTo (x, (float)y);
                crossingY = y;
                overStarted = true;
            }

            over.lineTo (x, (float)y);
        }

        outline.lineTo (x, (float)y);
    }

    outline.lineTo ((float)(innerRight + 1), (float)innerTop);
    outline.closeSubPath();
    under.lineTo ((float)innerRight, (float)crossingY);
    under.closeSubPath();

    if (overStarted)
    {
        over.lineTo ((float)innerRight, (float)innerTop);
        over.closeSubPath();
    }

    g.setColour (colour);
    g.setOpacity (0.5f);
    g.strokePath (outline,
                  juce::PathStrokeType (2.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt));

    // crossingY stays 0 when no bin reached the threshold.
    if (crossingY != 0)
    {
        g.setColour (overThresholdColour);
        g.setOpacity (0.25f);
        g.fillPath (over);
    }

    g.setColour (colour);
    g.setOpacity (0.25f);
    g.fillPath (under);
}
