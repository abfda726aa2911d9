#include "editor/RIRORuduLRVU.h"

RIRORuduLRVU::RIRORuduLRVU (const juce::Image& background, const juce::Image& bar)
    : backgroundImage (background), barImage (bar)
{
    setName ("LRVUMeter");
}

RIRORuduLRVU::~RIRORuduLRVU() = default;

void RIRORuduLRVU::setTargetRange (float targetLow, float targetHigh)
{
    const auto newLow = juce::jlimit (0.0f, 1.0f, 0.1f * targetLow + 0.9f * rangeLow);
    const auto newHigh = juce::jlimit (0.0f, 1.0f, 0.1f * targetHigh + 0.9f * rangeHigh);
    auto changed = false;

    if (newLow != rangeLow)
    {
        rangeLow = newLow;
        changed = true;
    }

    if (newHigh != rangeHigh)
    {
        rangeHigh = newHigh;
        changed = true;
    }

    if (changed)
        repaint();
}

void RIRORuduLRVU::paint (juce::Graphics& g)
{
    const auto w = getWidth();
    const auto h = getHeight();

    g.setOpacity (1.0f);
    g.drawImage (backgroundImage, 0, 0, w, h, 0, 0, w, h);

    const auto top = (int)((float)h * rangeHigh);
    const auto bottom = (int)((float)h * rangeLow);

    // A lower end at or above the upper end leaves no segment to draw.
    if (top > bottom)
        g.drawImage (barImage, 0, h - top, w, top - bottom, 0, h - top, w, top - bottom);
}
