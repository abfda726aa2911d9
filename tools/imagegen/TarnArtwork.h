#pragma once

#include <juce_graphics/juce_graphics.h>

#include <vector>

class MeterScale;

// Draws the editor's embedded image set: the printed meter scales (from the same
// MeterScale tables the meters are positioned with), the bar and pointer images,
// buttons, switches, indicators and the logo. Everything is drawn with one
// typeface loaded from its font file, so the result does not depend on which fonts
// the machine's font configuration prefers, and the same program always draws the
// same pixels.
class TarnArtwork
{
public:
    struct Picture
    {
        juce::String fileName; // the resource name is this name with '.' replaced by '_'
        juce::Image image;
    };

    // One printed loudness scale background.
    struct LoudnessScaleImage
    {
        const char* fileName;
        int scaleType;      // the MeterScale type whose labels are printed
        const char* unit;   // unit shown above the numbers
        double targetLevel; // the highlighted mark, in the scale's measured unit (LUFS)
    };

    explicit TarnArtwork (const juce::File& fontFolder = defaultFontFolder());

    bool isReady() const noexcept { return regularTypeface != nullptr && boldTypeface != nullptr; }
    const juce::String& getError() const noexcept { return error; }

    // Every image of the set, in a fixed order.
    std::vector<Picture> renderAll() const;

    static juce::MemoryBlock encodePng (const juce::Image& image);
    static juce::File defaultFontFolder();
    static const std::vector<LoudnessScaleImage>& loudnessScaleImages();

    // Rows where a bar shows a level: the top row of a bar of that level.
    static int loudnessRow (const MeterScale& scale, double level);
    static int truePeakRow (const MeterScale& scale, double level);

    // Geometry of the meter panel and of the true-peak page, in image coordinates.
    static constexpr int loudnessTop = 41;
    static constexpr int meterHeight = 352;
    static constexpr int momentaryBarX = 58;
    static constexpr int momentaryBarWidth = 25;
    static constexpr int rangeBarX = 110;
    static constexpr int pointerX = 126;
    static constexpr int loudnessTickLeftX0 = 50; // label ticks left of the momentary bar
    static constexpr int loudnessTickLeftX1 = 56;
    static constexpr int truePeakTop = 39;
    static constexpr int truePeakBarWidth = 16;
    static constexpr int truePeakBarX[6] = {70, 99, 128, 157, 185, 215};
    static constexpr int truePeakTickLeftX0 = 64; // every tick, left of the first bar
    static constexpr int truePeakTickLeftX1 = 68;

private:
    juce::Image drawLoudnessScale (const LoudnessScaleImage& spec) const;
    juce::Image drawTruePeakScale (double referenceLevel) const;
    juce::Image drawPlayButton (int width, bool enabled, bool pause) const;
    juce::Image drawResetButton (bool pressed) const;
    juce::Image drawSaveButton (bool pressed) const;
    juce::Image drawAudioSettingsButton (bool pressed) const;
    juce::Image drawSlideSwitch (bool knobRight, bool mouseOver) const;
    juce::Image drawCheckBox (bool on) const;
    juce::Image drawLed (bool on) const;
    juce::Image drawAlarmDisc (bool on) const;
    juce::Image drawLogo() const;

    juce::Font regular (float height) const;
    juce::Font bold (float height) const;

    juce::Typeface::Ptr regularTypeface;
    juce::Typeface::Ptr boldTypeface;
    juce::String error;
};
