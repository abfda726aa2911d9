// tarn51-tonegen: writes a WAV file (or AIFF, FLAC or Ogg Vorbis, by the name's extension) of
// sine tones, any length, without holding it in memory.
//
// Every full-range channel carries a 997 Hz sine whose level moves slowly (a 0.1 Hz swell of
// +-6 dB around the level), so that loudness and its range have something to show; a 5.1
// file's LFE carries 60 Hz.

#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace
{
int usage (const char* message)
{
    if (message != nullptr)
        std::fprintf (stderr, "tarn51-tonegen: %s\n\n", message);

    std::fputs ("usage: tarn51-tonegen [--seconds S] [--channels 1|2|5|6|12] [--rate HZ]\n"
                "                      [--bits 16|24|32f] [--level DBFS] OUT.wav|.aiff|.flac|.ogg\n"
                "defaults: 60 s, 6 channels (5.1; 12 is 7.1.4), 48000 Hz, 16-bit, -20 dBFS\n",
                stderr);
    return 2;
}
} // namespace

int main (int argc, char* argv[])
{
    double seconds = 60.0, rate = 48000.0, level = -20.0;
    int channels = 6, bits = 16;
    juce::String out;

    for (int i = 1; i < argc; ++i)
    {
        const juce::String a (argv[i]);
        const bool hasValue = i + 1 < argc;

        if (a == "--seconds" && hasValue)
            seconds = juce::String (argv[++i]).getDoubleValue();
        else if (a == "--channels" && hasValue)
            channels = juce::String (argv[++i]).getIntValue();
        else if (a == "--rate" && hasValue)
            rate = juce::String (argv[++i]).getDoubleValue();
        else if (a == "--level" && hasValue)
            level = juce::String (argv[++i]).getDoubleValue();
        else if (a == "--bits" && hasValue)
        {
            const juce::String b (argv[++i]);
            bits = b == "32f" || b == "32" ? 32 : b.getIntValue();
        }
        else if (!a.startsWith ("-") && out.isEmpty())
            out = a;
        else
            return usage (("unexpected argument " + a).toRawUTF8());
    }

    if (out.isEmpty())
        return usage ("no output file");
    if (seconds <= 0.0 || rate < 8000.0 || (bits != 16 && bits != 24 && bits != 32) ||
        (channels != 1 && channels != 2 && channels != 5 && channels != 6 && channels != 12))
        return usage ("unsupported settings");

    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (out);
    file.deleteFile();
    auto stream = file.createOutputStream();
    if (stream == nullptr)
    {
        std::fprintf (stderr, "tarn51-tonegen: cannot write %s\n", file.getFullPathName().toRawUTF8());
        return 1;
    }

    // 7.1.4 with the speakers a WAV mask names (0x2D63F): JUCE's rear surrounds have no bit of
    // their own, so the back pair stands for them beside the side pair.
    juce::AudioChannelSet layout714;
    for (auto type : {juce::AudioChannelSet::left, juce::AudioChannelSet::right,
                      juce::AudioChannelSet::centre, juce::AudioChannelSet::LFE,
                      juce::AudioChannelSet::leftSurround, juce::AudioChannelSet::rightSurround,
                      juce::AudioChannelSet::leftSurroundSide, juce::AudioChannelSet::rightSurroundSide,
                      juce::AudioChannelSet::topFrontLeft, juce::AudioChannelSet::topFrontRight,
                      juce::AudioChannelSet::topRearLeft, juce::AudioChannelSet::topRearRight})
        layout714.addChannel (type);

    const auto layout = channels == 12  ? layout714
                        : channels == 6 ? juce::AudioChannelSet::create5point1()
                        : channels == 5 ? juce::AudioChannelSet::create5point0()
                                        : juce::AudioChannelSet::canonicalChannelSet (channels);
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    auto* format = formats.findFormatForFileExtension (file.getFileExtension());
    // The channel layout where the format stores one (a WAV file's channel mask), else the count.
    std::unique_ptr<juce::AudioFormatWriter> writer;
    if (format != nullptr && format->isChannelLayoutSupported (layout))
        writer.reset (format->createWriterFor (stream.get(), rate, layout, bits, {}, 0));
    else if (format != nullptr)
        writer.reset (
            format->createWriterFor (stream.get(), rate, static_cast<unsigned> (channels), bits, {}, 0));
    if (writer == nullptr)
    {
        std::fprintf (stderr, "tarn51-tonegen: no writer for this file type and these settings\n");
        return 1;
    }
    stream.release();

    constexpr int blockSize = 8192;
    juce::AudioBuffer<float> block (channels, blockSize);
    const auto total = static_cast<juce::int64> (std::llround (seconds * rate));
    const auto amplitude = std::pow (10.0, level / 20.0);
    const auto twoPi = 2.0 * juce::MathConstants<double>::pi;
    const int lfeChannel = channels >= 6 ? 3 : -1;

    for (juce::int64 start = 0; start < total; start += blockSize)
    {
        const auto n = static_cast<int> (std::min<juce::int64> (blockSize, total - start));

        for (int i = 0; i < n; ++i)
        {
            const auto t = static_cast<double> (start + i) / rate;
            const auto swell = std::pow (10.0, 6.0 * std::sin (twoPi * 0.1 * t) / 20.0);
            const auto tone =
                static_cast<float> (amplitude * swell * std::sin (twoPi * std::fmod (997.0 * t, 1.0)));
            const auto low = static_cast<float> (amplitude * std::sin (twoPi * std::fmod (60.0 * t, 1.0)));

            for (int c = 0; c < channels; ++c)
                block.setSample (c, i, c == lfeChannel ? low : tone);
        }

        if (!writer->writeFromAudioSampleBuffer (block, 0, n))
        {
            std::fprintf (stderr, "tarn51-tonegen: write failed\n");
            return 1;
        }
    }

    writer.reset();
    return 0;
}
