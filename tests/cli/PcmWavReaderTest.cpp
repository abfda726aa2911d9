#include "tools/measure/PcmWavReader.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

// tarn51-measure's own WAV reader must give JUCE's reader's samples bit for bit (every saved
// reading depends on them), from any position and in pieces of any length, the end of a
// file cut short included. Fixtures are noise written by the ffmpeg command.
namespace
{
struct WavCase
{
    const char* codec;
    int channels;
    juce::int64 cutBytes; // bytes taken off the end of the file (0: none)
};

class PcmWavReaderSamples : public testing::TestWithParam<WavCase>
{
};

std::vector<float> readAll (juce::AudioFormatReader& reader, juce::int64 length)
{
    const int channels = (int)reader.numChannels;
    std::vector<float> samples ((size_t)(channels * length));
    std::vector<float*> destinations ((size_t)channels);

    // Uneven pieces from uneven places, past the end too.
    for (juce::int64 start = -3, piece = 1; start < length; start += piece, piece = piece * 3 + 7)
    {
        const auto n = (int)std::min<juce::int64> (piece, length - start);
        std::vector<float> block ((size_t)(channels * n));
        for (int c = 0; c < channels; ++c)
            destinations[(size_t)c] = block.data() + c * n;

        EXPECT_TRUE (reader.read (destinations.data(), channels, start, n));

        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < n; ++i)
                if (start + i >= 0)
                    samples[(size_t)(c * length + start + i)] = block[(size_t)(c * n + i)];
    }

    return samples;
}
} // namespace

TEST_P (PcmWavReaderSamples, AreJuceReadersSamples)
{
    if (std::system ("ffmpeg -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the ffmpeg command is not installed: no fixtures can be made";

    const auto& c = GetParam();
    const TemporaryFolder folder;
    const auto file = folder["noise.wav"];
    const auto command =
        juce::String ("ffmpeg -v error -nostdin -y -f lavfi -i anoisesrc=r=48000:a=0.9:d=1 ") +
        "-af 'pan=" + juce::String (c.channels) + "c" +
        (c.channels == 1   ? "|c0=c0"
         : c.channels == 2 ? "|c0=c0|c1=-0.5*c0"
                           : "|c0=c0|c3=0.5*c0|c5=-1*c0") +
        "' -c:a " + c.codec + " '" + file.getFullPathName() + "'";
    ASSERT_EQ (std::system (command.toRawUTF8()), 0) << command;

    if (c.cutBytes > 0)
    {
        ASSERT_EQ (truncate (file.getFullPathName().toRawUTF8(), file.getSize() - c.cutBytes), 0);
    }

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> juceReader (formats.createReaderFor (file));
    ASSERT_NE (juceReader, nullptr);
    const auto length = juceReader->lengthInSamples;

    auto ours = PcmWavReader::fasterReader (
        std::unique_ptr<juce::AudioFormatReader> (formats.createReaderFor (file)), file);
    ASSERT_NE (dynamic_cast<PcmWavReader*> (ours.get()), nullptr) << "JUCE's reader was kept";
    EXPECT_EQ (ours->lengthInSamples, length);

    const auto expected = readAll (*juceReader, length);
    const auto got = readAll (*ours, length);
    ASSERT_EQ (got.size(), expected.size());
    EXPECT_EQ (std::memcmp (got.data(), expected.data(), got.size() * sizeof (float)), 0);
}

INSTANTIATE_TEST_SUITE_P (Formats, PcmWavReaderSamples,
                          testing::Values (WavCase{"pcm_s16le", 2, 0}, WavCase{"pcm_s24le", 6, 0},
                                           WavCase{"pcm_s32le", 1, 0}, WavCase{"pcm_f32le", 6, 0},
                                           WavCase{"pcm_f32le", 1, 1001}, WavCase{"pcm_s24le", 2, 1001}),
                          [] (const testing::TestParamInfo<WavCase>& p)
                          {
                              return std::string (p.param.codec) + "_" + std::to_string (p.param.channels) +
                                     (p.param.cutBytes > 0 ? "_cut" : "");
                          });
