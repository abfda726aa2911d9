#include "editor/RIRORuduArrowVU.h"

RIRORuduArrowVU::RIRORuduArrowVU (const juce::Image& background, const juce::Image& pointer)
    : backgroundImage (background), pointerImage (pointer)
{
    setName ("ArrowVUMeter");
}

RIRORuduArrowVU::~RIRORuduArrowVU() = default;

void RIRORuduArrowVU::setTarget (float target)
{
    const auto newPosition = juce::jlimit (0.0f, 1.0f, 0.1f * target + 0.9f * position);

    if (newPosition != position)
    {
        position = newPosition;
        repaint();
    }
}

void RIRORuduArrowVU::paint (juce::Graphics& g)
{
    const auto w = getWidth();
    const auto h = getHeight();

    g.setOpacity (1.0f);
    g.drawImage (backgroundImage, 0, 0, w, h, 0, 0, w, h);

    const auto y = h - pointerImage.getHeight() / 2 - (int)((float)h * position);
    g.drawImageAt (pointerImage, 0, y);
}
