#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// A vertical bar meter drawn from images: the background, then the lower part of
// the bar image up to the level, then a 2-pixel slice of the bar image at the peak
// marker. Levels are proportions of the meter height (0 bottom, 1 top); the meter
// knows nothing about decibels. Optional two-stage ballistics and a peak marker
// that follows, holds and then falls with a doubling step.
class RIRORuduVU : public juce::Component
{
public:
    // Generated two-colour bar: lowerColour below splitPosition, upperColour above.
    // Peak hold is on.
    RIRORuduVU (const juce::Image& background, juce::Colour lowerColour, juce::Colour upperColour,
                float splitPosition);

    // Given bar image; no peak hold, no ballistics.
    RIRORuduVU (const juce::Image& background, const juce::Image& bar);

    ~RIRORuduVU() override;

    // Per-refresh update with a proportion of the height.
    void setLevel (float newLevel);

    void setSampleRate (double newSampleRate);
    void setAttackTime (float seconds);
    void setReleaseTime (float seconds);
    void setBallisticsEnabled (bool shouldBeEnabled);
    void setHoldTime (int milliseconds);

    // Rebuilds the generated bar image when the split changes; does not repaint.
    void setSplitPosition (float newSplitPosition);

    // Bounds with the fixed meter height of 352 pixels.
    void setMeterBounds (int x, int y, int width);

    void paint (juce::Graphics& g) override;

    float getLevel() const noexcept { return level; }
    float getPeak() const noexcept { return peak; }
    float getEnvelope() const noexcept { return envelope; }
    float getDecayStep() const noexcept { return decayStep; }
    float getSplitPosition() const noexcept { return splitPosition; }
    float getReleaseCoefficient() const noexcept { return releaseCoefficient; }
    int getHoldTicks() const noexcept { return holdTicks; }
    bool isHolding() const noexcept { return holding; }
    bool isPeakHoldEnabled() const noexcept { return peakHoldEnabled != 0; }
    const juce::Image& getBarImage() const noexcept { return barImage; }

    static constexpr int meterHeight = 352;

private:
    void rebuildBarImage();
    bool decayPeak();
    void updateReleaseCoefficient();

    int refreshPeriodMs = 50;
    bool holding = false;
    int holdTicks = 20;
    int holdCounter = 0;
    float decayStep = 0.005f;
    int peakHoldEnabled = 0;
    float level = 0.0f;
    float envelope = 0.0f;
    float peak = 0.0f;
    float splitPosition = 0.0f;
    double sampleRate = 0.0;
    float releaseCoefficient = 0.0f;
    float attackTime = 0.0f;
    float releaseTime = 0.0f;
    bool ballisticsEnabled = false;
    juce::Colour lowerColour;
    juce::Colour upperColour;
    juce::Image backgroundImage;
    juce::Image barImage;
    std::unique_ptr<juce::Image> ownedBarImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RIRORuduVU)
};
