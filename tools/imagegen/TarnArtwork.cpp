#include "TarnArtwork.h"

#include "editor/MeterScale.h"

#include <cmath>

namespace
{
namespace Palette
{
const juce::Colour black (0xFF000000);
const juce::Colour white (0xFFFFFFFF);
const juce::Colour lightGrey (0xFFD8D8D8);
const juce::Colour midGrey (0xFF979797);
const juce::Colour accentBlue (0xFF3A93DD);
const juce::Colour barBlue (0xFF3892E3);
const juce::Colour okGreen (0xFF81CA2F);
const juce::Colour alarmRed (0xFFD70014);
const juce::Colour yellow (0xFFFFFF00);
const juce::Colour frame (0xFF3A3A3A);
const juce::Colour panel (0xFF0E0E0E);
const juce::Colour panelEdge (0xFF2E2E2E);
const juce::Colour minorTick (0xFF5A5A5A);
const juce::Colour connector (0xFF262626);
} // namespace Palette

const char* const minusSign = "\xe2\x88\x92"; // U+2212, as wide as a digit pair looks right

juce::String levelText (int value, bool signedPlus)
{
    if (value < 0)
        return juce::String (juce::CharPointer_UTF8 (minusSign)) + juce::String (-value);

    if (value > 0 && signedPlus)
        return "+" + juce::String (value);

    return juce::String (value);
}

enum class Anchor
{
    left,
    centre,
    right
};

// Ink height of the digits, for centring numbers on a tick row.
float digitHeight (const juce::Font& font)
{
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, "0123456789", 0.0f, 0.0f);
    juce::Path outline;
    glyphs.createPath (outline);
    return outline.getBounds().getHeight();
}

// One line of text whose digits are centred on pixel row `row`, its start, middle
// or end at anchorX. Positions are whole pixels so that small text stays crisp.
void drawTextOnRow (juce::Graphics& g, const juce::Font& font, const juce::String& text, float anchorX,
                    float row, Anchor anchor, juce::Colour colour)
{
    const auto width = font.getStringWidthFloat (text);
    auto x = anchorX;

    if (anchor == Anchor::right)
        x -= width;
    else if (anchor == Anchor::centre)
        x -= width * 0.5f;

    const auto baseline = juce::roundToInt (row + 0.5f + digitHeight (font) * 0.5f);

    g.setColour (colour);
    g.setFont (font);
    g.drawSingleLineText (text, juce::roundToInt (x), baseline);
}

juce::Image solidImage (int width, int height, juce::Colour colour)
{
    juce::Image image (juce::Image::RGB, width, height, false);
    image.clear (image.getBounds(), colour);
    return image;
}

juce::Image transparentImage (int width, int height)
{
    return juce::Image (juce::Image::ARGB, width, height, true);
}

// Fills each pixel with the colour at the share of 16 x 16 sample points that lie
// inside the shape: exact edges, and fully covered pixels fully opaque.
template <typename Inside> void fillByCoverage (juce::Image& image, juce::Colour colour, Inside inside)
{
    constexpr int samples = 16;

    for (int py = 0; py < image.getHeight(); ++py)
        for (int px = 0; px < image.getWidth(); ++px)
        {
            int hits = 0;

            for (int sy = 0; sy < samples; ++sy)
                for (int sx = 0; sx < samples; ++sx)
                    if (inside ((float)px + ((float)sx + 0.5f) / samples,
                                (float)py + ((float)sy + 0.5f) / samples))
                        ++hits;

            if (hits > 0)
                image.setPixelAt (
                    px, py,
                    colour.withAlpha ((juce::uint8)juce::roundToInt (255.0 * hits / (samples * samples))));
        }
}

// A readout field of the meter panel: the editor's labels print on it.
void drawReadoutPanel (juce::Graphics& g, float x, float y, float w, float h)
{
    g.setColour (Palette::panel);
    g.fillRoundedRectangle (x, y, w, h, 4.0f);
    g.setColour (Palette::panelEdge);
    g.drawRoundedRectangle (x, y, w, h, 4.0f, 1.0f);
}

juce::Typeface::Ptr loadTypeface (const juce::File& file, juce::String& error)
{
    juce::MemoryBlock data;

    if (!file.loadFileAsData (data) || data.getSize() == 0)
    {
        error << "cannot read the font file " << file.getFullPathName() << "\n";
        return nullptr;
    }

    return juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());
}

// Printed numbers of the true-peak scale: the scale's ticks come too close for one
// number each, so above 0 dBTP every other dB, -1 and -2 for the usual ceilings,
// every other dB down to -20, and all of the widely spaced ones below.
bool isPrintedTruePeakLabel (int value)
{
    if (value > 0)
        return value % 2 != 0;

    if (value >= -2)
        return true;

    if (value >= -20)
        return value % 2 == 0;

    return true;
}

const char* const channelNames[6] = {"L", "R", "C", "LFE", "Ls", "Rs"};
} // namespace

TarnArtwork::TarnArtwork (const juce::File& fontFolder)
{
    regularTypeface = loadTypeface (fontFolder.getChildFile ("DejaVuSans.ttf"), error);
    boldTypeface = loadTypeface (fontFolder.getChildFile ("DejaVuSans-Bold.ttf"), error);
}

juce::File TarnArtwork::defaultFontFolder()
{
    return juce::File ("/usr/share/fonts/truetype/dejavu");
}

juce::Font TarnArtwork::regular (float height) const
{
    return juce::Font (regularTypeface).withHeight (height);
}

juce::Font TarnArtwork::bold (float height) const
{
    return juce::Font (boldTypeface).withHeight (height);
}

const std::vector<TarnArtwork::LoudnessScaleImage>& TarnArtwork::loudnessScaleImages()
{
    // The relative scales share the mapping of their absolute twins for every
    // standard (the offset cancels), so one LU image serves EBU and ATSC alike.
    static const std::vector<LoudnessScaleImage> images{
        {"Tarn_EBU_9.png", 0, "LUFS", -23.0},  {"Tarn_EBU_18.png", 2, "LUFS", -23.0},
        {"Tarn_ATSC_9.png", 4, "LKFS", -24.0}, {"Tarn_ATSC_18.png", 6, "LKFS", -24.0},
        {"Tarn_LU_9.png", 1, "LU", -23.0},     {"Tarn_LU_18.png", 3, "LU", -23.0},
    };
    return images;
}

int TarnArtwork::loudnessRow (const MeterScale& scale, double level)
{
    return loudnessTop + meterHeight - juce::roundToInt (meterHeight * scale.positionOf (level));
}

int TarnArtwork::truePeakRow (const MeterScale& scale, double level)
{
    return truePeakTop + meterHeight - juce::roundToInt (meterHeight * scale.positionOf (level));
}

juce::MemoryBlock TarnArtwork::encodePng (const juce::Image& image)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    juce::PNGImageFormat png;
    png.writeImageToStream (image, out);
    out.flush();
    return block;
}

std::vector<TarnArtwork::Picture> TarnArtwork::renderAll() const
{
    std::vector<Picture> pictures;

    if (!isReady())
        return pictures;

    for (const auto& scaleImage : loudnessScaleImages())
        pictures.push_back ({scaleImage.fileName, drawLoudnessScale (scaleImage)});

    pictures.push_back ({"Peak_Meter_IEC_60268_18.png", drawTruePeakScale (-18.0)});
    pictures.push_back ({"Peak_Meter_IEC_60268_20.png", drawTruePeakScale (-20.0)});

    pictures.push_back ({"VU.png", solidImage (25, 350, Palette::barBlue)});
    pictures.push_back ({"VUblack.png", solidImage (25, 350, Palette::black)});
    pictures.push_back ({"VST_Target_arrow_bkg.png", solidImage (16, 352, Palette::black)});

    {
        // Pointing left, its tip on row 9 of column 0, so that the pointer's
        // centre row marks the level.
        auto arrow = transparentImage (16, 19);
        fillByCoverage (arrow, Palette::barBlue,
                        [] (float x, float y) { return std::abs (y - 9.5f) <= 9.5f * x / 16.0f; });
        pictures.push_back ({"VST_Target_arrow_blue.png", arrow});
    }

    for (auto [name, colour] :
         {std::pair<const char*, juce::Colour>{"VST_Targeting_alb.png", Palette::lightGrey},
          std::pair<const char*, juce::Colour>{"VST_Targeting_blue.png", Palette::barBlue}})
    {
        auto bar = solidImage (16, 352, Palette::black);
        bar.clear ({1, 1, 6, 350}, colour);
        pictures.push_back ({name, bar});
    }

    pictures.push_back ({"TP_VU_negru.png", solidImage (15, 351, Palette::black)});
    pictures.push_back ({"Led_Off.png", drawLed (false)});
    pictures.push_back ({"Led_On.png", drawLed (true)});
    pictures.push_back ({"TP_ALERT_OFF.png", drawAlarmDisc (false)});
    pictures.push_back ({"TP_ALERT_ON.png", drawAlarmDisc (true)});
    pictures.push_back ({"Logo.png", drawLogo()});
    pictures.push_back ({"butSaveLog.png", drawSaveButton (false)});
    pictures.push_back ({"but_SaveLogPush.png", drawSaveButton (true)});
    pictures.push_back ({"butPlay.png", drawPlayButton (86, true, false)});
    pictures.push_back ({"butPlayDisabled.png", drawPlayButton (84, false, false)});
    pictures.push_back ({"butPause.png", drawPlayButton (86, true, true)});
    pictures.push_back ({"butPauseDisabled.png", drawPlayButton (84, false, true)});
    pictures.push_back ({"butReset.png", drawResetButton (false)});
    pictures.push_back ({"but_ResetPush.png", drawResetButton (true)});
    pictures.push_back ({"Switch_Off.png", drawSlideSwitch (false, false)});
    pictures.push_back ({"Switch_Off_Over.png", drawSlideSwitch (false, true)});
    pictures.push_back ({"Switch_On.png", drawSlideSwitch (true, false)});
    pictures.push_back ({"Switch_On_Over.png", drawSlideSwitch (true, true)});
    pictures.push_back ({"CheckBox_Off.png", drawCheckBox (false)});
    pictures.push_back ({"CheckBox_On.png", drawCheckBox (true)});
    pictures.push_back ({"butAudioSettings.png", drawAudioSettingsButton (false)});
    pictures.push_back ({"butAudioSettingsPush.png", drawAudioSettingsButton (true)});
    pictures.push_back ({"Settings_bkg.png", solidImage (249, 472, Palette::black)});
    pictures.push_back ({"Statistics_bkg.png", solidImage (550, 472, Palette::black)});

    return pictures;
}

juce::Image TarnArtwork::drawLoudnessScale (const LoudnessScaleImage& spec) const
{
    MeterScale scale;
    scale.setType (spec.scaleType);

    const auto relative = scale.displayOffset != 0.0;
    auto image = solidImage (249, 472, Palette::black);
    juce::Graphics g (image);

    const auto labelFont = regular (11.0f);
    const auto targetFont = bold (11.0f);
    const auto captionFont = regular (10.0f);
    const auto barRight = momentaryBarX + momentaryBarWidth; // first column right of the bar
    const auto columnRight = pointerX + truePeakBarWidth;    // first column right of the pointer
    const auto barBottom = loudnessTop + meterHeight;        // the row of the scale's minimum

    drawTextOnRow (g, bold (12.0f), "LOUDNESS", 75.0f, 12.0f, Anchor::centre, Palette::lightGrey);
    drawTextOnRow (g, captionFont, spec.unit, 48.0f, 30.0f, Anchor::right, Palette::midGrey);
    drawTextOnRow (g, captionFont, "M", (float)momentaryBarX + momentaryBarWidth * 0.5f, 30.0f,
                   Anchor::centre, Palette::midGrey);
    drawTextOnRow (g, captionFont, "LRA", (float)rangeBarX + 8.0f, 30.0f, Anchor::centre, Palette::midGrey);
    drawTextOnRow (g, captionFont, "S", (float)pointerX + 8.5f, 30.0f, Anchor::centre, Palette::midGrey);

    // Frames: the momentary bar, and the range and pointer column beside it.
    g.setColour (Palette::frame);
    g.drawRect (momentaryBarX - 1, loudnessTop - 1, momentaryBarWidth + 2, barBottom - loudnessTop + 2);
    g.drawRect (rangeBarX - 1, loudnessTop - 1, columnRight - rangeBarX + 2, barBottom - loudnessTop + 2);

    // Unlabelled whole units on the right of the bar, where they are far enough apart.
    for (auto v = (int)std::ceil (scale.minimum); v <= (int)std::floor (scale.maximum); ++v)
    {
        if (scale.tickValues.contains ((double)v))
            continue;

        const auto row = loudnessRow (scale, v);
        const auto spacing = row - loudnessRow (scale, v + 1);

        if (spacing >= 4 || v % 5 == 0)
        {
            g.setColour (Palette::minorTick);
            g.fillRect (barRight + 1, row, 3, 1);
        }
    }

    for (int i = 0; i < scale.tickValues.size(); ++i)
    {
        const auto value = scale.tickValues[i];
        const auto row = loudnessRow (scale, value);
        const auto isTarget = std::abs (value - spec.targetLevel) < 1.0e-6;
        const auto colour = isTarget ? Palette::okGreen : Palette::lightGrey;
        const auto label = juce::roundToInt (value - scale.displayOffset);

        g.setColour (colour);
        g.fillRect (loudnessTickLeftX0, row, loudnessTickLeftX1 - loudnessTickLeftX0 + 1, 1);
        g.fillRect (barRight + 1, row, 7, 1);

        g.setColour (isTarget ? Palette::okGreen : Palette::connector);
        g.fillRect (barRight + 8, row, rangeBarX - barRight - 9, 1);

        if (isTarget)
        {
            juce::Path marker;
            marker.addTriangle ((float)columnRight + 1.0f, (float)row + 0.5f, (float)columnRight + 7.0f,
                                (float)row - 3.5f, (float)columnRight + 7.0f, (float)row + 4.5f);
            g.setColour (Palette::okGreen);
            g.fillPath (marker);
        }
        else
        {
            g.setColour (Palette::minorTick);
            g.fillRect (columnRight + 1, row, 4, 1);
        }

        drawTextOnRow (g, isTarget ? targetFont : labelFont, levelText (label, relative),
                       (float)loudnessTickLeftX0 - 2.0f, (float)row, Anchor::right, colour);
    }

    // Readout fields for the editor's labels, and the unit caption area under the bar.
    drawReadoutPanel (g, 151.5f, 31.5f, 89.0f, 31.0f);
    drawReadoutPanel (g, 151.5f, 92.5f, 89.0f, 42.0f);
    drawReadoutPanel (g, 151.5f, 152.5f, 89.0f, 42.0f);
    drawReadoutPanel (g, 151.5f, 212.5f, 89.0f, 42.0f);
    drawReadoutPanel (g, 151.5f, 266.5f, 89.0f, 24.0f);
    drawReadoutPanel (g, 151.5f, 303.5f, 89.0f, 24.0f);

    g.setColour (Palette::panelEdge);
    g.drawRoundedRectangle (29.5f, 402.5f, 90.0f, 29.0f, 3.0f, 1.0f);

    return image;
}

juce::Image TarnArtwork::drawTruePeakScale (double referenceLevel) const
{
    MeterScale scale;
    scale.setType (8);

    auto image = solidImage (301, 472, Palette::black);
    juce::Graphics g (image);

    const auto labelFont = regular (10.0f);
    const auto strongFont = bold (10.0f);
    const auto barBottom = truePeakTop + meterHeight; // the row of the scale's minimum
    const auto firstBar = truePeakBarX[0];
    const auto lastBarEnd = truePeakBarX[5] + truePeakBarWidth - 1; // column of the last frame line
    const auto labelLeft = (float)firstBar - 12.0f;
    const auto labelRight = (float)lastBarEnd + 11.0f;
    const auto referenceRow = truePeakRow (scale, referenceLevel);

    drawTextOnRow (g, bold (12.0f), "TRUE PEAK", 150.0f, 12.0f, Anchor::centre, Palette::lightGrey);
    drawTextOnRow (g, labelFont, "dBTP", labelLeft, 25.0f, Anchor::right, Palette::midGrey);
    drawTextOnRow (g, labelFont, "dBTP", labelRight, 25.0f, Anchor::left, Palette::midGrey);

    g.setColour (Palette::frame);

    for (auto x : truePeakBarX)
        g.drawRect (x - 1, truePeakTop - 1, truePeakBarWidth + 1, barBottom - truePeakTop + 2);

    // The reference level runs across the whole meter, under the bars.
    g.setColour (Palette::yellow.withAlpha (0.8f));
    g.fillRect (firstBar - 9, referenceRow, lastBarEnd - firstBar + 19, 1);

    for (int i = 0; i < scale.tickValues.size(); ++i)
    {
        const auto value = juce::roundToInt (scale.tickValues[i]);
        const auto row = truePeakRow (scale, value);
        const auto printed = isPrintedTruePeakLabel (value);
        const auto isReference = value == juce::roundToInt (referenceLevel);
        const auto tickColour = printed ? Palette::lightGrey : Palette::minorTick;

        g.setColour (isReference ? Palette::yellow : tickColour);
        const auto length = printed ? 9 : 5;
        g.fillRect (truePeakTickLeftX1 + 1 - length, row, length, 1);
        g.fillRect (lastBarEnd + 1, row, length, 1);

        g.setColour (printed ? Palette::midGrey : Palette::minorTick);

        for (int k = 0; k + 1 < 6; ++k)
        {
            g.fillRect (truePeakBarX[k] + truePeakBarWidth, row, 2, 1);
            g.fillRect (truePeakBarX[k + 1] - 3, row, 2, 1);
        }

        if (!printed)
            continue;

        auto colour = Palette::lightGrey;

        if (value > 0)
            colour = Palette::alarmRed;
        else if (isReference)
            colour = Palette::yellow;
        else if (value == 0)
            colour = Palette::white;

        const auto& font = (value == 0 || isReference) ? strongFont : labelFont;
        const auto text = levelText (value, true);
        drawTextOnRow (g, font, text, labelLeft, (float)row, Anchor::right, colour);
        drawTextOnRow (g, font, text, labelRight, (float)row, Anchor::left, colour);
    }

    const auto nameFont = regular (11.0f);

    for (int k = 0; k < 6; ++k)
        drawTextOnRow (g, nameFont, channelNames[k], (float)truePeakBarX[k] + 7.5f, 398.0f, Anchor::centre,
                       Palette::lightGrey);

    drawTextOnRow (g, labelFont, "PEAK HOLD  dBTP", 150.0f, 437.0f, Anchor::centre, Palette::midGrey);

    return image;
}

juce::Image TarnArtwork::drawPlayButton (int width, bool enabled, bool pause) const
{
    auto image = transparentImage (width, 24);
    juce::Graphics g (image);
    const auto w = (float)width;

    if (enabled)
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xFFE8E8E8), 0.0f, 0.0f,
                                                 juce::Colour (0xFFC2C2C2), 0.0f, 24.0f, false));
    else
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF2C2C2C), 0.0f, 0.0f,
                                                 juce::Colour (0xFF202020), 0.0f, 24.0f, false));

    g.fillRoundedRectangle (0.5f, 0.5f, w - 1.0f, 23.0f, 3.0f);
    g.setColour (enabled ? Palette::midGrey : juce::Colour (0xFF444444));
    g.drawRoundedRectangle (0.5f, 0.5f, w - 1.0f, 23.0f, 3.0f, 1.0f);

    g.setColour (enabled ? juce::Colour (0xFF1E1E1E) : juce::Colour (0xFF5A5A5A));
    const auto cx = std::floor (w * 0.5f);

    if (pause)
    {
        g.fillRect (cx - 5.0f, 7.0f, 4.0f, 10.0f);
        g.fillRect (cx + 1.0f, 7.0f, 4.0f, 10.0f);
    }
    else
    {
        juce::Path triangle;
        triangle.addTriangle (cx - 4.0f, 6.5f, cx - 4.0f, 17.5f, cx + 6.0f, 12.0f);
        g.fillPath (triangle);
    }

    return image;
}

juce::Image TarnArtwork::drawResetButton (bool pressed) const
{
    auto image = transparentImage (86, 25);
    juce::Graphics g (image);

    g.setColour (Palette::lightGrey);
    g.fillRoundedRectangle (0.0f, 0.0f, 86.0f, 25.0f, 3.0f);

    if (pressed)
    {
        g.setColour (Palette::accentBlue);
        g.drawRoundedRectangle (1.0f, 1.0f, 84.0f, 23.0f, 3.0f, 2.0f);
    }

    drawTextOnRow (g, bold (13.0f), "RESET", 43.0f, 12.0f, Anchor::centre, juce::Colour (0xFF1E1E1E));
    return image;
}

juce::Image TarnArtwork::drawAudioSettingsButton (bool pressed) const
{
    // The standalone program's settings page: the same look as the report button.
    auto image = transparentImage (96, 22);
    juce::Graphics g (image);

    const auto top = pressed ? juce::Colour (0xFFB4B4B4) : juce::Colour (0xFFE8E8E8);
    const auto bottom = pressed ? juce::Colour (0xFF9C9C9C) : juce::Colour (0xFFC2C2C2);
    g.setGradientFill (juce::ColourGradient (top, 0.0f, 0.0f, bottom, 0.0f, 22.0f, false));
    g.fillRoundedRectangle (0.5f, 0.5f, 95.0f, 21.0f, 3.0f);
    g.setColour (pressed ? Palette::accentBlue : Palette::midGrey);
    g.drawRoundedRectangle (0.5f, 0.5f, 95.0f, 21.0f, 3.0f, 1.0f);

    drawTextOnRow (g, regular (12.0f), "Audio Settings", 48.0f, pressed ? 11.0f : 10.0f, Anchor::centre,
                   juce::Colour (0xFF1E1E1E));
    return image;
}

juce::Image TarnArtwork::drawSaveButton (bool pressed) const
{
    auto image = transparentImage (80, 20);
    juce::Graphics g (image);

    const auto top = pressed ? juce::Colour (0xFFB4B4B4) : juce::Colour (0xFFE8E8E8);
    const auto bottom = pressed ? juce::Colour (0xFF9C9C9C) : juce::Colour (0xFFC2C2C2);
    g.setGradientFill (juce::ColourGradient (top, 0.0f, 0.0f, bottom, 0.0f, 20.0f, false));
    g.fillRoundedRectangle (0.5f, 0.5f, 79.0f, 19.0f, 3.0f);
    g.setColour (pressed ? Palette::accentBlue : Palette::midGrey);
    g.drawRoundedRectangle (0.5f, 0.5f, 79.0f, 19.0f, 3.0f, 1.0f);

    drawTextOnRow (g, regular (12.0f), "Save report", 40.0f, pressed ? 10.0f : 9.0f, Anchor::centre,
                   juce::Colour (0xFF1E1E1E));
    return image;
}

juce::Image TarnArtwork::drawSlideSwitch (bool knobRight, bool mouseOver) const
{
    auto image = transparentImage (40, 17);
    juce::Graphics g (image);

    g.setColour (mouseOver ? juce::Colour (0xFF242424) : juce::Colour (0xFF3A3A3A));
    g.fillRoundedRectangle (2.5f, 3.5f, 35.0f, 10.0f, 5.0f);
    g.setColour (Palette::midGrey);
    g.drawRoundedRectangle (2.5f, 3.5f, 35.0f, 10.0f, 5.0f, 1.0f);

    const auto knobX = knobRight ? 23.5f : 1.5f;
    g.setColour (mouseOver ? Palette::midGrey : Palette::lightGrey);
    g.fillEllipse (knobX, 1.5f, 14.0f, 14.0f);
    g.setColour (mouseOver ? juce::Colour (0xFF5A5A5A) : Palette::midGrey);
    g.drawEllipse (knobX, 1.5f, 14.0f, 14.0f, 1.0f);

    return image;
}

juce::Image TarnArtwork::drawCheckBox (bool on) const
{
    auto image = transparentImage (12, 12);
    juce::Graphics g (image);

    g.setColour (juce::Colour (0xFF2A2A2A));
    g.fillEllipse (0.5f, 0.5f, 11.0f, 11.0f);
    g.setColour (Palette::midGrey);
    g.drawEllipse (0.5f, 0.5f, 11.0f, 11.0f, 1.0f);

    if (on)
    {
        g.setColour (Palette::accentBlue);
        g.fillEllipse (3.0f, 3.0f, 6.0f, 6.0f);
    }

    return image;
}

juce::Image TarnArtwork::drawLed (bool on) const
{
    auto image = transparentImage (17, 8);
    juce::Graphics g (image);

    if (on)
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xFFFF5A5A), 0.0f, 0.0f,
                                                 juce::Colour (0xFFE0001A), 0.0f, 8.0f, false));
    else
        g.setColour (juce::Colour (0xFF4A0A0E));

    g.fillRoundedRectangle (0.5f, 0.5f, 16.0f, 7.0f, 2.0f);
    g.setColour (on ? juce::Colour (0xFF8A000C) : juce::Colour (0xFF2A0406));
    g.drawRoundedRectangle (0.5f, 0.5f, 16.0f, 7.0f, 2.0f, 1.0f);

    return image;
}

juce::Image TarnArtwork::drawAlarmDisc (bool on) const
{
    auto image = transparentImage (20, 20);
    juce::Graphics g (image);

    if (on)
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xFFFF7070), 8.0f, 7.0f,
                                                 juce::Colour (0xFFD70014), 1.0f, 1.0f, true));
    else
        g.setColour (juce::Colour (0xFF4A0A0E));

    g.fillEllipse (1.0f, 1.0f, 18.0f, 18.0f);
    g.setColour (on ? juce::Colour (0xFF8A000C) : juce::Colour (0xFF6A1A1E));
    g.drawEllipse (1.0f, 1.0f, 18.0f, 18.0f, 1.0f);

    return image;
}

juce::Image TarnArtwork::drawLogo() const
{
    auto image = transparentImage (194, 60);
    juce::Graphics g (image);

    // The mark: three rising meter bars over the still water of a mountain lake.
    g.setColour (Palette::accentBlue);
    g.fillRoundedRectangle (2.0f, 6.0f, 48.0f, 48.0f, 10.0f);

    g.setColour (Palette::white);
    g.fillRect (12.0f, 28.0f, 6.0f, 12.0f);
    g.fillRect (23.0f, 20.0f, 6.0f, 20.0f);
    g.fillRect (34.0f, 13.0f, 6.0f, 27.0f);

    juce::Path water;
    water.startNewSubPath (10.0f, 46.0f);
    water.cubicTo (15.0f, 42.5f, 20.0f, 49.5f, 26.0f, 46.0f);
    water.cubicTo (32.0f, 42.5f, 37.0f, 49.5f, 42.0f, 46.0f);
    g.strokePath (water,
                  juce::PathStrokeType (2.5f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

    // The word mark, as wide as the space beside the mark allows.
    auto wordFont = bold (31.0f).withExtraKerningFactor (0.04f);
    const auto available = 194.0f - 60.0f - 2.0f;
    const auto width = wordFont.getStringWidthFloat ("VELNOR");

    if (width > available)
        wordFont = wordFont.withHeight (31.0f * available / width);

    g.setColour (Palette::white);
    g.setFont (wordFont);
    g.drawSingleLineText ("VELNOR", 59, 38);

    g.setColour (juce::Colour (0xFFB0B0B0));
    g.setFont (regular (9.5f).withExtraKerningFactor (0.18f));
    g.drawSingleLineText ("AUDIO METERING", 61, 52);

    return image;
}
