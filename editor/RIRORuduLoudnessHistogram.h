#pragma once

#include "editor/MeterScale.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// The distribution of the measured momentary or short-term loudness, drawn
// sideways on the main meter's loudness scale: each bin is a point at its
// loudness's height, its distance from the right edge proportional to its count.
// The part at or above the loudness threshold is filled in a second colour.
class RIRORuduLoudnessHistogram : public juce::Component
{
public:
    RIRORuduLoudnessHistogram (const juce::Colour& momentaryColour, const juce::Colour& shortTermColour,
                               const juce::Colour& overThresholdColour);
    ~RIRORuduLoudnessHistogram() override;

    // Bin loudnesses (LUFS) and counts in ascending loudness; arrays of different
    // lengths are ignored. Does not repaint.
    void setData (juce::Array<float> values, juce::Array<float> counts);

    // Scale types 0..7 of the loudness meter; rebuilds the grid when it changes.
    void setScaleType (int type);

    void setLoudnessMode (int mode);
    void setMomentaryThreshold (float threshold);
    void setShortTermThreshold (float threshold);

    void resized() override;
    void paint (juce::Graphics& g) override;

    const juce::Array<double>& getBinValues() const noexcept { return binValues; }
    const juce::Array<double>& getBinCounts() const noexcept { return binCounts; }
    const juce::Array<int>& getBinX() const noexcept { return binX; }
    const juce::Array<int>& getBinY() const noexcept { return binY; }
    const juce::Image* getBackgroundImage() const noexcept { return backgroundImage.get(); }
    int getScaleType() const noexcept { return currentScaleType; }

private:
    void rebuildBackground();

    std::unique_ptr<juce::Image> backgroundImage;
    MeterScale scale;
    int currentScaleType = -1;
    int loudnessMode = 0;
    juce::Array<double> binCounts;
    juce::Array<double> binValues;
    juce::Array<int> binY;
    juce::Array<int> binX;
    juce::Colour fillColour{juce::Colours::black};
    juce::Colour gridColour{juce::Colours::lightgrey};
    juce::Colour shortTermColour;
    juce::Colour momentaryColour;
    juce::Colour overThresholdColour;
    int width = 0;
    int height = 0;
    int innerWidth = 0;
    int innerHeight = 0;
    int borderThickness = 1;
    int innerLeft = 1;
    int innerTop = 1;
    int innerRight = 0;
    int innerBottom = 0;
    float momentaryThreshold = -23.0f;
    float shortTermThreshold = -23.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RIRORuduLoudnessHistogram)
};
