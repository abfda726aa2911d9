#include "editor/RIRORuduVU.h"

#include <cmath>

namespace
{
// Relative tolerance below which a change of level or marker is not a change, so
// that a steady signal causes no repaints.
bool differs (float reference, float value) noexcept
{
    return std::abs (reference - value) > std::abs (reference) * 1.0e-8f;
}
} // namespace

RIRORuduVU::RIRORuduVU (const juce::Image& background, juce::Colour lower, juce::Colour upper, float split)
    : peakHoldEnabled (1), lowerColour (lower), upperColour (upper), backgroundImage (background)
{
    setName ("VUMeter");
    ownedBarImage = std::make_unique<juce::Image> (juce::Image::RGB, backgroundImage.getWidth(),
                                                   backgroundImage.getHeight(), false);
    barImage = *ownedBarImage;
    splitPosition = split;
    rebuildBarImage();
}

RIRORuduVU::RIRORuduVU (const juce::Image& background, const juce::Image& bar)
    : lowerColour (juce::Colour (0u)), upperColour (juce::Colour (0u)), backgroundImage (background),
      barImage (bar)
{
    setName ("VUMeter");
}

RIRORuduVU::~RIRORuduVU() = default;

void RIRORuduVU::setLevel (float newLevel)
{
    const auto x = juce::jlimit (0.0f, 1.0f, newLevel);
    level = juce::jlimit (0.0f, 1.0f, level);

    if (differs (level, x))
    {
        if (ballisticsEnabled)
        {
            // Instant rise, exponential release per refresh tick, then a light
            // smoothing with the attack time as the weight of the previous level.
            const auto candidate = (1.0f - releaseCoefficient) * x + releaseCoefficient * envelope;
            envelope = x > candidate ? x : candidate;
            level = (1.0f - attackTime) * envelope + attackTime * level;
        }
        else
        {
            level = x;
        }

        repaint();
    }

    level = juce::jlimit (0.0f, 1.0f, level);
    peak = juce::jlimit (0.0f, 1.0f, peak);

    if (peakHoldEnabled == 0 || !differs (level, peak))
        return;

    if (level > peak)
    {
        holdCounter = 0;
        peak = level;
        decayStep = 0.005f;
        holding = false;
        repaint();
        return;
    }

    if (!holding)
    {
        holdCounter = 0;
        holding = true;
    }
    else if (holdCounter < holdTicks)
    {
        ++holdCounter;
    }
    else if (decayPeak())
    {
        repaint();
    }
}

bool RIRORuduVU::decayPeak()
{
    if (!differs (peak, 0.0f))
        return false;

    if (!(decayStep > 0.0f))
        return false;

    peak -= decayStep;
    decayStep *= 2.0f;
    return true;
}

void RIRORuduVU::setSampleRate (double newSampleRate)
{
    sampleRate = newSampleRate;
    updateReleaseCoefficient();
}

void RIRORuduVU::setAttackTime (float seconds)
{
    attackTime = seconds;
}

void RIRORuduVU::setReleaseTime (float seconds)
{
    releaseTime = seconds;
    updateReleaseCoefficient();
}

void RIRORuduVU::updateReleaseCoefficient()
{
    // The meter is updated once per refresh tick, so this coefficient acts per tick.
    // A time or rate of zero means no memory at all (e to the minus infinity); a
    // negative one would make the release grow without bound, so it counts as zero.
    const auto samples = (double)releaseTime * sampleRate;

    if (!(samples > 0.0))
    {
        releaseCoefficient = 0.0f;
        return;
    }

    releaseCoefficient = std::pow (2.7182817f, (float)(-1.0 / samples));
}

void RIRORuduVU::setBallisticsEnabled (bool shouldBeEnabled)
{
    ballisticsEnabled = shouldBeEnabled;
}

void RIRORuduVU::setHoldTime (int milliseconds)
{
    if (refreshPeriodMs != 0)
        holdTicks = milliseconds / refreshPeriodMs;
}

void RIRORuduVU::setSplitPosition (float newSplitPosition)
{
    if (newSplitPosition != splitPosition)
    {
        splitPosition = newSplitPosition;
        rebuildBarImage();
    }
}

void RIRORuduVU::setMeterBounds (int x, int y, int width)
{
    setBounds (x, y, width, meterHeight);
    repaint();
}

void RIRORuduVU::rebuildBarImage()
{
    if (ownedBarImage == nullptr || !ownedBarImage->isValid())
        return;

    ownedBarImage->clear (ownedBarImage->getBounds());

    juce::Graphics g (*ownedBarImage);
    const auto h = backgroundImage.getHeight();
    const auto w = backgroundImage.getWidth();
    const auto splitRows = (int)((float)h * splitPosition);

    g.setColour (lowerColour);
    g.fillRect (0, h - splitRows, w, splitRows);
    g.setColour (upperColour);
    g.fillRect (0, 0, w, h - splitRows);
}

void RIRORuduVU::paint (juce::Graphics& g)
{
    peak = juce::jlimit (0.0f, 1.0f, peak);
    level = juce::jlimit (0.0f, 1.0f, level);

    const auto w = getWidth();
    const auto h = getHeight();

    g.setOpacity (1.0f);
    g.drawImage (backgroundImage, 0, 0, w, h, 0, 0, w, h);

    const auto levelRows = (int)((float)h * level);

    if (levelRows != 0)
        g.drawImage (barImage, 0, h - levelRows, w, levelRows, 0, h - levelRows, w, levelRows);

    if (peakHoldEnabled != 0)
    {
        const auto peakRows = (int)((float)h * peak);

        if (peakRows != 0)
            g.drawImage (barImage, 0, h - peakRows, w, 2, 0, h - peakRows, w, 2);
    }
}
