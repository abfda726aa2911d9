#include <gtest/gtest.h>

#include "processor/StateBlock.h"
#include "processor/Tarn51AudioProcessor.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace
{
const std::string defaultText =
    "<MYPLUGINSETTINGS MeasurementStandard=\"0\" MeasurementScale=\"0\" MeasurementUnit=\"0\""
    " MeasurementType=\"0\" FollowTransport=\"1\" Surroundlayout=\"0\" TruePeakRefLevel=\"0\""
    " TruePeakMaxLevel=\"-1\" TruePeakHoldTime=\"3\" TruePeakOverTime=\"3\" HistogramLoudness=\"0\""
    " MLThreshold=\"-10\" STLThreshold=\"-10\" MomLoudnessParam=\"-60\" ShtLoudnessParam=\"-60\"/>";

using Bytes = std::vector<unsigned char>;

// The envelope around a text, with the length field given or (by default) the text's length.
Bytes envelope (const std::string& text, long long lengthField = -1, bool terminator = true)
{
    const auto length = (juce::uint32) (lengthField < 0 ? (long long)text.size() : lengthField);
    Bytes b = {0x56,
               0x43,
               0x32,
               0x21,
               (unsigned char)(length & 0xff),
               (unsigned char)((length >> 8) & 0xff),
               (unsigned char)((length >> 16) & 0xff),
               (unsigned char)(length >> 24)};
    b.insert (b.end(), text.begin(), text.end());
    if (terminator)
        b.push_back (0);
    return b;
}

Bytes toBytes (const juce::MemoryBlock& block)
{
    const auto* data = static_cast<const unsigned char*> (block.getData());
    return Bytes (data, data + block.getSize());
}

void load (Tarn51AudioProcessor& p, const Bytes& bytes)
{
    p.setStateInformation (bytes.data(), (int)bytes.size());
}

float value (Tarn51AudioProcessor& p, const char* name)
{
    return p.parameters.getValue (p.parameters.indexOf (name));
}

std::array<float, 15> valuesOf (const Tarn51AudioProcessor& p)
{
    return p.parameters.getValues();
}

void clearChanged (Tarn51AudioProcessor& p)
{
    for (int i = 0; i < 15; ++i)
        p.parameters.testAndClearChanged (i);
}

int countChanged (Tarn51AudioProcessor& p)
{
    int n = 0;
    for (int i = 0; i < 15; ++i)
        n += p.parameters.isChanged (i) ? 1 : 0;
    return n;
}

// A state with one attribute's value replaced.
std::string withValue (const std::string& attribute, const std::string& newValue)
{
    auto text = defaultText;
    const auto start = text.find (" " + attribute + "=\"") + attribute.size() + 3;
    const auto end = text.find ('"', start);
    return text.replace (start, end - start, newValue);
}

std::unique_ptr<Tarn51AudioProcessor> makeStandalone()
{
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Standalone);
    auto p = std::make_unique<Tarn51AudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    return p;
}
} // namespace

TEST (SavedState, TheDefaultStateIsExactlyTheseBytes)
{
    Tarn51AudioProcessor p;
    juce::MemoryBlock block;
    block.append ("old content", 11);
    p.getStateInformation (block);

    const auto expected = envelope (defaultText);
    EXPECT_EQ (toBytes (block), expected);
    EXPECT_EQ (block.getSize(), defaultText.size() + 9);
}

TEST (SavedState, ValuesAreWrittenWithAtMostSixSignificantDigits)
{
    EXPECT_EQ (StateBlock::formatValue (-23.0), "-23");
    EXPECT_EQ (StateBlock::formatValue (1.0), "1");
    EXPECT_EQ (StateBlock::formatValue (0.5), "0.5");
    EXPECT_EQ (StateBlock::formatValue (0.0), "0");
    EXPECT_EQ (StateBlock::formatValue ((double)-29.07f), "-29.07");
    EXPECT_EQ (StateBlock::formatValue (1.0 / 3.0), "0.333333");
    EXPECT_EQ (StateBlock::formatValue (-12.000001), "-12");
    EXPECT_EQ (StateBlock::formatValue (1234567.0), "1.23457e+06");
    EXPECT_EQ (StateBlock::formatValue (0.0001), "0.0001");
    EXPECT_EQ (StateBlock::formatValue (0.00001), "1e-05");

    // Through the processor: the output parameter as the meter stores it.
    Tarn51AudioProcessor p;
    p.parameters.setValue (13, -29.07f);
    p.parameters.setValue (8, 2.5f);
    juce::MemoryBlock block;
    p.getStateInformation (block);
    const auto text =
        juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8, (int)block.getSize() - 9);
    EXPECT_TRUE (text.contains (" MomLoudnessParam=\"-29.07\" ")) << text;
    EXPECT_TRUE (text.contains (" TruePeakHoldTime=\"2.5\" ")) << text;
}

TEST (SavedState, ARoundTripRestoresEveryValueAndMarksAllChanged)
{
    Tarn51AudioProcessor source;
    for (int i = 0; i < 15; ++i)
        source.setParameter (i, (float)(i + 1) / 17.0f);

    juce::MemoryBlock block;
    source.getStateInformation (block);

    Tarn51AudioProcessor target;
    clearChanged (target);
    target.setStateInformation (block.getData(), (int)block.getSize());

    for (int i = 0; i < 15; ++i)
        EXPECT_NEAR (target.parameters.getValue (i), source.parameters.getValue (i),
                     1e-5f * std::abs (source.parameters.getValue (i)))
            << i;

    EXPECT_EQ (countChanged (target), 15);

    // The current program is not part of the state.
    source.setCurrentProgram (2);
    source.getStateInformation (block);
    target.setStateInformation (block.getData(), (int)block.getSize());
    EXPECT_EQ (target.getCurrentProgram(), 0);
}

TEST (SavedState, LoaderRulesForNamesAndValues)
{
    Tarn51AudioProcessor p;

    // The root tag is compared without regard to case.
    auto lower = defaultText;
    lower.replace (1, 16, "mypluginsettings");
    p.parameters.setValue (7, -5.0f);
    load (p, envelope (lower));
    EXPECT_EQ (value (p, "TruePeak Max Level"), -1.0f);

    // A missing attribute gives the default, not the value held before.
    p.parameters.setValue (11, -20.0f);
    auto withoutThreshold = defaultText;
    withoutThreshold.erase (withoutThreshold.find (" MLThreshold=\"-10\""), 18);
    load (p, envelope (withoutThreshold));
    EXPECT_EQ (value (p, "ML Threshold"), -10.0f);

    // No clamping and no rounding to steps.
    load (p, envelope (withValue ("MeasurementStandard", "7")));
    EXPECT_EQ (value (p, "Measurement Standard"), 7.0f);
    load (p, envelope (withValue ("TruePeakMaxLevel", "5.25")));
    EXPECT_EQ (value (p, "TruePeak Max Level"), 5.25f);

    // Numbers are read as juce::String::getDoubleValue reads them.
    load (p, envelope (withValue ("TruePeakHoldTime", "abc")));
    EXPECT_EQ (value (p, "TruePeak Hold Time"), 0.0f);
    load (p, envelope (withValue ("TruePeakHoldTime", "12abc")));
    EXPECT_EQ (value (p, "TruePeak Hold Time"), 12.0f);
    load (p, envelope (withValue ("TruePeakHoldTime", " 4.5")));
    EXPECT_EQ (value (p, "TruePeak Hold Time"), 4.5f);
    load (p, envelope (withValue ("TruePeakHoldTime", "")));
    EXPECT_EQ (value (p, "TruePeak Hold Time"), 0.0f);

    // Numbers that are not finite (or not finite as a float) give the default.
    for (const char* bad : {"nan", "NaN", "inf", "-inf", "Infinity", "1e39", "-1e300"})
    {
        p.parameters.setValue (12, -25.0f);
        load (p, envelope (withValue ("STLThreshold", bad)));
        EXPECT_EQ (value (p, "STL Threshold"), -10.0f) << bad;
    }

    // Other attributes are ignored; an element with children is still the state.
    auto extra = defaultText;
    extra.replace (extra.size() - 2, 2, " Unknown=\"3\"><Child a=\"1\"/></MYPLUGINSETTINGS>");
    p.parameters.setValue (11, -20.0f);
    load (p, envelope (extra));
    EXPECT_EQ (value (p, "ML Threshold"), -10.0f);
}

TEST (SavedState, BlocksThatAreNotAStateChangeNothing)
{
    Tarn51AudioProcessor p;
    for (int i = 0; i < 15; ++i)
        p.parameters.setValue (i, (float)i * 0.5f - 3.0f);
    clearChanged (p);
    const auto before = valuesOf (p);

    const auto good = envelope (withValue ("MLThreshold", "-20"));

    std::vector<Bytes> refused;
    refused.push_back (Bytes (good.begin(), good.begin() + 8)); // exactly 8 bytes
    refused.push_back (good);
    refused.back()[0] = 0x57;                                               // wrong magic
    refused.push_back (envelope (defaultText, 0));                          // zero length
    refused.push_back (envelope (defaultText, 0x80000000LL));               // negative length
    refused.push_back (envelope ("<MYPLUGINSETTINGS MLThreshold=\"-20/>")); // unterminated value
    refused.push_back (envelope ("not xml at all"));
    refused.push_back (envelope ("<OTHERSETTINGS MLThreshold=\"-20\"/>"));
    refused.push_back (envelope (defaultText, (long long)defaultText.size() - 10)); // length cuts the text

    // A document type with entities could be expanded without end: refused unread.
    refused.push_back (envelope ("<!DOCTYPE MYPLUGINSETTINGS [<!ENTITY a \"&a;&a;\">]>"
                                 "<MYPLUGINSETTINGS MLThreshold=\"&a;\"/>"));

    // A malformed UTF-8 lead byte at the end of a quoted value: the XML reader would step
    // past the end of its text (seen under AddressSanitizer).
    refused.push_back (envelope ("<MYPLUGINSETTINGS MLThreshold=\"-20\xf8"));
    refused.push_back (envelope ("<MYPLUGINSETTINGS MLThreshold=\"-20\"/>\xfe\xff"));

    // Nesting deep enough to exhaust the parser's stack.
    {
        std::string deep = "<MYPLUGINSETTINGS>";
        for (int i = 0; i < 200000; ++i)
            deep += "<a>";
        refused.push_back (envelope (deep));
    }

    for (size_t i = 0; i < refused.size(); ++i)
    {
        for (int k = 0; k < 15; ++k)
            p.parameters.setValue (k, before[(size_t)k]);
        clearChanged (p);

        load (p, refused[i]);
        EXPECT_EQ (valuesOf (p), before) << "case " << i;
        EXPECT_EQ (countChanged (p), 0) << "case " << i;
    }

    p.setStateInformation (nullptr, 100);
    EXPECT_EQ (valuesOf (p), before);
}

TEST (SavedState, AStoredLengthBeyondTheBlockIsCutToTheBytesPresent)
{
    Tarn51AudioProcessor p;
    load (p, envelope (withValue ("MLThreshold", "-20"), 100000));
    EXPECT_EQ (value (p, "ML Threshold"), -20.0f);

    // Without the terminating zero, and with the length one short of it.
    load (p, envelope (withValue ("MLThreshold", "-21"), -1, false));
    EXPECT_EQ (value (p, "ML Threshold"), -21.0f);

    // A multi-byte character cut off at the very end of the block.
    auto text = withValue ("MLThreshold", "-22");
    text.replace (text.size() - 2, 2, " x=\"\xe2\x82\xac\"/>");
    auto cut = envelope (text, 100000, false);
    load (p, cut); // parses and keeps the values of the complete part
    EXPECT_EQ (value (p, "ML Threshold"), -22.0f);
    cut.resize (cut.size() - 4); // ends inside the three bytes of the euro sign
    load (p, cut);
    EXPECT_EQ (value (p, "ML Threshold"), -22.0f);
}

TEST (SavedState, StandaloneLayoutTextsAreParsedLeniently)
{
    int entries[6];

    StateBlock::parseLayout ("0;1;2;3;4;5;", entries);
    EXPECT_EQ (std::vector<int> (entries, entries + 6), (std::vector<int>{0, 1, 2, 3, 4, 5}));

    StateBlock::parseLayout ("", entries);
    EXPECT_EQ (std::vector<int> (entries, entries + 6), (std::vector<int>{0, 0, 0, 0, 0, 0}));

    StateBlock::parseLayout ("-1;x;7abc;;-;3", entries);
    EXPECT_EQ (std::vector<int> (entries, entries + 6), (std::vector<int>{-1, 0, 7, 0, 0, 3}));

    StateBlock::parseLayout ("99999999999;-99999999999;2147483647;-2147483648;", entries);
    EXPECT_EQ (std::vector<int> (entries, entries + 6),
               (std::vector<int>{2147483647, -2147483647 - 1, 2147483647, -2147483647 - 1, 0, 0}));

    const int written[6] = {2, 0, -1, 5, -1, -1};
    EXPECT_EQ (StateBlock::formatLayout (written), "2;0;-1;5;-1;-1;");

    // Through the loader.
    auto p = makeStandalone();
    auto text = defaultText;
    text.replace (text.size() - 2, 2,
                  " settingsInputLayout=\"3;;1\" settingsOutputLayout=\"5;4;3;2;1;0;9;9;\"/>");
    load (*p, envelope (text));
    EXPECT_EQ (p->inputLayoutSetting[0], 3);
    EXPECT_EQ (p->inputLayoutSetting[1], 0);
    EXPECT_EQ (p->inputLayoutSetting[2], 1);
    EXPECT_EQ (p->inputLayoutSetting[5], 0);
    EXPECT_EQ (p->outputLayoutSetting[0], 5);
    EXPECT_EQ (p->outputLayoutSetting[5], 0);
    EXPECT_EQ (p->outputChannelMap[0], 5);
    EXPECT_EQ (p->outputChannelMap[5], 0);
}

TEST (SavedState, MutatedAndTruncatedStatesNeverCrashAndLeaveFiniteValues)
{
    juce::Random random (20240611);

    Tarn51AudioProcessor plugin;
    auto standalone = makeStandalone();

    std::vector<Bytes> seeds;
    {
        juce::MemoryBlock block;
        plugin.getStateInformation (block);
        seeds.push_back (toBytes (block));
        const int layout[Tarn51AudioProcessor::numMeterChannels] = {2,  0,  -1, 5,  1,  3,
                                                                    -1, -1, -1, -1, -1, -1};
        standalone->applyInputLayout (layout);
        standalone->applyOutputLayout (layout);
        standalone->getStateInformation (block);
        seeds.push_back (toBytes (block));
    }

    const char alphabet[] = "0123456789-+.eE;\"=<>/ naNinfINFx\xc3\xa9\xff";
    int parsedSome = 0;

    for (int iteration = 0; iteration < 6000; ++iteration)
    {
        auto bytes = seeds[(size_t)(iteration % 2)];
        const int edits = 1 + random.nextInt (6);

        for (int e = 0; e < edits; ++e)
        {
            const int size = (int)bytes.size();
            const int at = random.nextInt (juce::jmax (1, size));

            switch (random.nextInt (7))
            {
            case 0: // flip a byte
                if (size > 0)
                    bytes[(size_t)at] = (unsigned char)random.nextInt (256);
                break;
            case 1: // a character that matters to the parser or the numbers
                if (size > 0)
                    bytes[(size_t)at] = (unsigned char)alphabet[random.nextInt ((int)sizeof (alphabet) - 1)];
                break;
            case 2: // insert
                bytes.insert (bytes.begin() + juce::jmin (at, size),
                              (unsigned char)alphabet[random.nextInt ((int)sizeof (alphabet) - 1)]);
                break;
            case 3: // delete a run
                if (size > 0)
                    bytes.erase (bytes.begin() + at,
                                 bytes.begin() + juce::jmin (size, at + 1 + random.nextInt (12)));
                break;
            case 4: // truncate
                bytes.resize ((size_t)random.nextInt (size + 1));
                break;
            case 5: // another length field
                if (size >= 8)
                {
                    const auto length = (juce::uint32)random.nextInt();
                    std::memcpy (bytes.data() + 4, &length, 4);
                }
                break;
            default: // duplicate a run
                if (size > 0)
                {
                    const int length = juce::jmin (size - at, 1 + random.nextInt (40));
                    Bytes run (bytes.begin() + at, bytes.begin() + at + length);
                    bytes.insert (bytes.begin() + at, run.begin(), run.end());
                }
                break;
            }
        }

        auto& p = iteration % 2 == 0 ? plugin : *standalone;
        clearChanged (p);
        p.setStateInformation (bytes.data(), (int)bytes.size());
        parsedSome += countChanged (p) > 0 ? 1 : 0;

        for (int i = 0; i < 15; ++i)
            ASSERT_TRUE (std::isfinite (p.parameters.getValue (i)))
                << "iteration " << iteration << " parameter " << i;

        // The meter keeps working with whatever was loaded.
        juce::AudioSampleBuffer block (6, 64);
        block.clear();
        juce::MidiBuffer midi;
        p.processBlock (block, midi);
        ASSERT_TRUE (std::isfinite (p.readings.peakPosition[0]));
    }

    // The mutations were mild enough that many blocks still loaded.
    EXPECT_GT (parsedSome, 600);
}
