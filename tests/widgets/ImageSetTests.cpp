#include <gtest/gtest.h>

#include "WidgetTestSupport.h"

#include "TarnArtwork.h"
#include "editor/MeterScale.h"

#include <BinaryData.h>

#include <set>

using namespace WidgetTestSupport;

namespace
{
struct ExpectedImage
{
    const char* resource;
    int width;
    int height;
};

const ExpectedImage expectedImages[] = {
    {"Tarn_EBU_9_png", 249, 472},
    {"Tarn_EBU_18_png", 249, 472},
    {"Tarn_ATSC_9_png", 249, 472},
    {"Tarn_ATSC_18_png", 249, 472},
    {"Tarn_LU_9_png", 249, 472},
    {"Tarn_LU_18_png", 249, 472},
    {"Peak_Meter_IEC_60268_18_png", 301, 472},
    {"Peak_Meter_IEC_60268_20_png", 301, 472},
    {"VU_png", 25, 350},
    {"VUblack_png", 25, 350},
    {"VST_Target_arrow_bkg_png", 16, 352},
    {"VST_Target_arrow_blue_png", 16, 19},
    {"VST_Targeting_alb_png", 16, 352},
    {"VST_Targeting_blue_png", 16, 352},
    {"TP_VU_negru_png", 15, 351},
    {"Led_Off_png", 17, 8},
    {"Led_On_png", 17, 8},
    {"TP_ALERT_OFF_png", 20, 20},
    {"TP_ALERT_ON_png", 20, 20},
    {"Logo_png", 194, 60},
    {"butSaveLog_png", 80, 20},
    {"but_SaveLogPush_png", 80, 20},
    {"butPlay_png", 86, 24},
    {"butPlayDisabled_png", 84, 24},
    {"butPause_png", 86, 24},
    {"butPauseDisabled_png", 84, 24},
    {"butReset_png", 86, 25},
    {"but_ResetPush_png", 86, 25},
    {"Switch_Off_png", 40, 17},
    {"Switch_Off_Over_png", 40, 17},
    {"Switch_On_png", 40, 17},
    {"Switch_On_Over_png", 40, 17},
    {"CheckBox_Off_png", 12, 12},
    {"CheckBox_On_png", 12, 12},
    {"butAudioSettings_png", 96, 22},
    {"butAudioSettingsPush_png", 96, 22},
    {"Settings_bkg_png", 249, 472},
    {"Statistics_bkg_png", 550, 472},
};

juce::Image load (const char* resource)
{
    int size = 0;
    const auto* data = BinaryData::getNamedResource (resource, size);
    return data != nullptr ? juce::ImageFileFormat::loadFrom (data, (size_t)size) : juce::Image();
}

bool isBright (juce::Colour c)
{
    return c.getBrightness() > 0.3f;
}

bool isGreen (juce::Colour c)
{
    return c.getGreen() > 150 && c.getRed() < c.getGreen() - 30 && c.getBlue() < 100;
}

bool isYellow (juce::Colour c)
{
    return c.getRed() > 180 && c.getGreen() > 180 && c.getBlue() < 80;
}

// Rows of one column, between two rows, whose pixel is bright.
std::set<int> brightRows (const juce::Image& image, int x, int fromRow, int toRow)
{
    std::set<int> rows;

    for (int y = fromRow; y <= toRow; ++y)
        if (isBright (image.getPixelAt (x, y)))
            rows.insert (y);

    return rows;
}

// Which scale types each printed loudness scale serves (Tarn_LU_* serve EBU and ATSC alike).
std::vector<int> typesShownBy (const char* fileName)
{
    const juce::String name (fileName);

    if (name == "Tarn_LU_9.png")
        return {1, 5};

    if (name == "Tarn_LU_18.png")
        return {3, 7};

    for (const auto& image : TarnArtwork::loudnessScaleImages())
        if (name == image.fileName)
            return {image.scaleType};

    return {};
}
} // namespace

TEST (ImageSet, EveryImageIsEmbeddedUnderItsNameWithItsSize)
{
    EXPECT_EQ (BinaryData::namedResourceListSize, (int)std::size (expectedImages));

    for (const auto& expected : expectedImages)
    {
        const auto image = load (expected.resource);
        ASSERT_TRUE (image.isValid()) << expected.resource;
        EXPECT_EQ (image.getWidth(), expected.width) << expected.resource;
        EXPECT_EQ (image.getHeight(), expected.height) << expected.resource;
    }
}

TEST (ImageSet, EmbeddedImagesAreExactlyWhatTheGeneratorDraws)
{
    TarnArtwork artwork;
    ASSERT_TRUE (artwork.isReady()) << artwork.getError();

    const auto pictures = artwork.renderAll();
    EXPECT_EQ (pictures.size(), std::size (expectedImages));

    for (const auto& picture : pictures)
    {
        writeSnapshot ("images/" + picture.fileName.upToLastOccurrenceOf (".", false, false), picture.image);

        const auto resource = picture.fileName.replaceCharacter ('.', '_');
        int size = 0;
        const auto* data = BinaryData::getNamedResource (resource.toRawUTF8(), size);
        ASSERT_NE (data, nullptr) << resource;

        // Byte for byte: the generator is deterministic and resources/ is up to date.
        const auto drawn = TarnArtwork::encodePng (picture.image);
        EXPECT_TRUE (drawn.matches (data, (size_t)size))
            << resource << " differs from the generator's drawing; run the target tarn51-images";
    }

    // The small images three times enlarged on a grey ground, for review.
    juce::Image sheet (juce::Image::ARGB, 700, 800, false);
    sheet.clear (sheet.getBounds(), juce::Colour (0xFF505050));
    juce::Graphics g (sheet);
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    int x = 10;
    int y = 10;
    int rowHeight = 0;

    for (const auto& picture : pictures)
    {
        const auto& image = picture.image;

        if (image.getHeight() > 60)
            continue;

        const auto w = image.getWidth() * 3;
        const auto h = image.getHeight() * 3;

        if (x + w > sheet.getWidth() - 10)
        {
            x = 10;
            y += rowHeight + 10;
            rowHeight = 0;
        }

        g.drawImage (image, x, y, w, h, 0, 0, image.getWidth(), image.getHeight());
        x += w + 10;
        rowHeight = juce::jmax (rowHeight, h);
    }

    writeSnapshot ("images/small-images-x3", sheet);
}

TEST (ImageSet, PlainImagesHaveTheirColoursAndLayout)
{
    const auto uniform = [] (const char* resource, juce::Colour colour)
    {
        const auto image = load (resource);

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (image.getPixelAt (x, y) != colour)
                    return false;

        return true;
    };

    EXPECT_TRUE (uniform ("VU_png", juce::Colour (0xFF3892E3)));
    EXPECT_TRUE (uniform ("VUblack_png", juce::Colours::black));
    EXPECT_TRUE (uniform ("VST_Target_arrow_bkg_png", juce::Colours::black));
    EXPECT_TRUE (uniform ("TP_VU_negru_png", juce::Colours::black));
    EXPECT_TRUE (uniform ("Settings_bkg_png", juce::Colours::black));
    EXPECT_TRUE (uniform ("Statistics_bkg_png", juce::Colours::black));

    // Range meter: a 6-pixel bar in columns 1..6, rows 1..350, on black.
    for (auto [resource, colour] :
         {std::pair<const char*, juce::Colour>{"VST_Targeting_alb_png", juce::Colour (0xFFD8D8D8)},
          std::pair<const char*, juce::Colour>{"VST_Targeting_blue_png", juce::Colour (0xFF3892E3)}})
    {
        const auto image = load (resource);

        for (int y = 0; y < 352; ++y)
            for (int x = 0; x < 16; ++x)
            {
                const auto inside = x >= 1 && x <= 6 && y >= 1 && y <= 350;
                ASSERT_EQ (image.getPixelAt (x, y), inside ? colour : juce::Colours::black)
                    << resource << " " << x << ", " << y;
            }
    }

    // Pointer: a blue triangle pointing left with its tip on row 9 of column 0.
    const auto arrow = load ("VST_Target_arrow_blue_png");
    EXPECT_GT (arrow.getPixelAt (0, 9).getAlpha(), arrow.getPixelAt (0, 7).getAlpha());
    EXPECT_GT (arrow.getPixelAt (0, 9).getAlpha(), arrow.getPixelAt (0, 11).getAlpha());
    EXPECT_EQ (arrow.getPixelAt (0, 0).getAlpha(), 0);
    EXPECT_EQ (arrow.getPixelAt (15, 9), juce::Colour (0xFF3892E3));
    EXPECT_EQ (arrow.getPixelAt (15, 1).getAlpha(), 255);

    // LEDs and alarm discs: the "on" images are brighter reds than the "off" ones.
    for (auto [off, on, x, y] :
         {std::tuple<const char*, const char*, int, int>{"Led_Off_png", "Led_On_png", 8, 4},
          std::tuple<const char*, const char*, int, int>{"TP_ALERT_OFF_png", "TP_ALERT_ON_png", 10, 10}})
    {
        const auto dark = load (off).getPixelAt (x, y);
        const auto lit = load (on).getPixelAt (x, y);
        EXPECT_GT (lit.getRed(), dark.getRed() + 100) << on;
        EXPECT_GT (lit.getRed(), lit.getGreen() + 50) << on;
        EXPECT_GT (dark.getRed(), dark.getGreen()) << off;
    }

    // The logo lies on a transparent ground.
    EXPECT_EQ (load ("Logo_png").getPixelAt (193, 0).getAlpha(), 0);
    EXPECT_EQ (load ("Logo_png").getPixelAt (100, 59).getAlpha(), 0);
}

TEST (ImageSet, LoudnessScalesCarryTheirTicksWhereTheBarsDrawThoseLevels)
{
    for (const auto& spec : TarnArtwork::loudnessScaleImages())
    {
        const auto resource = juce::String (spec.fileName).replaceCharacter ('.', '_');
        const auto image = load (resource.toRawUTF8());
        ASSERT_TRUE (image.isValid()) << resource;

        for (const auto type : typesShownBy (spec.fileName))
        {
            MeterScale scale;
            scale.setType (type);
            std::set<int> expected;
            int targetRow = -1;
            const auto target = scale.displayOffset != 0.0 ? scale.displayOffset : spec.targetLevel;

            for (const auto value : scale.tickValues)
            {
                const auto row = TarnArtwork::loudnessRow (scale, value);
                expected.insert (row);

                if (std::abs (value - target) < 1.0e-6)
                    targetRow = row;
            }

            // Exactly the tick rows, in the tick column left of the momentary bar and
            // in the label tick column right of it.
            EXPECT_EQ (brightRows (image, TarnArtwork::loudnessTickLeftX0 + 3, 30, 410), expected)
                << resource << " type " << type;
            EXPECT_EQ (
                brightRows (image, TarnArtwork::momentaryBarX + TarnArtwork::momentaryBarWidth + 5, 30, 410),
                expected)
                << resource << " type " << type;

            ASSERT_GE (targetRow, 0) << resource << " has no target tick";

            for (const auto row : expected)
                EXPECT_EQ (isGreen (image.getPixelAt (TarnArtwork::loudnessTickLeftX0 + 3, row)),
                           row == targetRow)
                    << resource << " row " << row;
        }

        // The numbers lie left of the ticks, at the tick rows.
        MeterScale scale;
        scale.setType (spec.scaleType);

        for (const auto value : scale.tickValues)
        {
            const auto row = TarnArtwork::loudnessRow (scale, value);
            auto ink = 0;

            for (int x = 20; x < TarnArtwork::loudnessTickLeftX0 - 1; ++x)
                for (int y = row - 3; y <= row + 3; ++y)
                    ink += isBright (image.getPixelAt (x, y)) ? 1 : 0;

            EXPECT_GT (ink, 6) << resource << " label " << value;
        }
    }
}

TEST (ImageSet, TruePeakScalesCarryTheirTicksReferenceAndChannelNames)
{
    MeterScale scale;
    scale.setType (8);
    ASSERT_EQ (scale.tickValues.size(), 32);

    std::set<int> expected;

    for (const auto value : scale.tickValues)
        expected.insert (TarnArtwork::truePeakRow (scale, value));

    ASSERT_EQ (expected.size(), 32u) << "two ticks share a row";

    const auto row18 = TarnArtwork::truePeakRow (scale, -18.0);
    const auto row20 = TarnArtwork::truePeakRow (scale, -20.0);

    for (auto [resource, referenceRow, otherRow] :
         {std::tuple<const char*, int, int>{"Peak_Meter_IEC_60268_18_png", row18, row20},
          std::tuple<const char*, int, int>{"Peak_Meter_IEC_60268_20_png", row20, row18}})
    {
        const auto image = load (resource);
        ASSERT_TRUE (image.isValid()) << resource;

        // Every tick of the scale, the 32 rows exactly, left of the first bar.
        EXPECT_EQ (brightRows (image, TarnArtwork::truePeakTickLeftX0 + 2, 30, 410), expected) << resource;

        // The reference line crosses the gaps between the bars; the other level's does not.
        const auto gapX = TarnArtwork::truePeakBarX[0] + TarnArtwork::truePeakBarWidth + 6;
        EXPECT_TRUE (isYellow (image.getPixelAt (gapX, referenceRow))) << resource;
        EXPECT_FALSE (isYellow (image.getPixelAt (gapX, otherRow))) << resource;

        // A channel name under every bar.
        for (const auto x : TarnArtwork::truePeakBarX)
        {
            auto ink = 0;

            for (int y = 392; y < 406; ++y)
                for (int dx = -4; dx < 20; ++dx)
                    ink += isBright (image.getPixelAt (x + dx, y)) ? 1 : 0;

            EXPECT_GT (ink, 4) << resource << " bar at " << x;
        }
    }
}
