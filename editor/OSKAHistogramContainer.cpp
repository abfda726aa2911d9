#include "editor/OSKAHistogramContainer.h"

OSKAHistogramContainer::OSKAHistogramContainer() = default;

OSKAHistogramContainer::~OSKAHistogramContainer() = default;

void OSKAHistogramContainer::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

void OSKAHistogramContainer::resized()
{
    repaint();
}
