#include "support/TestAudioFiles.h"

#include <cmath>
#include <memory>

namespace TestAudioFiles
{
namespace
{
std::unique_ptr<juce::AudioFormat> formatFor (Format f)
{
    switch (f)
    {
    case Format::aiff:
        return std::make_unique<juce::AiffAudioFormat>();
    case Format::flac:
        return std::make_unique<juce::FlacAudioFormat>();
    case Format::oggVorbis:
        return std::make_unique<juce::OggVorbisAudioFormat>();
    case Format::wav:
    default:
        return std::make_unique<juce::WavAudioFormat>();
    }
}
} // namespace

bool write (const juce::File& file, const Spec& spec)
{
    file.deleteFile();
    auto format = formatFor (spec.format);
    auto stream = file.createOutputStream();

    if (stream == nullptr)
        return false;

    std::unique_ptr<juce::AudioFormatWriter> writer;
    const auto quality = spec.format == Format::oggVorbis ? 8 : 0;

    if (spec.format == Format::wav)
    {
        const auto layout = spec.layout.size() == spec.numChannels
                                ? spec.layout
                                : juce::AudioChannelSet::discreteChannels (spec.numChannels);
        writer.reset (
            format->createWriterFor (stream.get(), spec.sampleRate, layout, spec.bitsPerSample, {}, 0));
    }
    else
    {
        writer.reset (format->createWriterFor (stream.get(), spec.sampleRate,
                                               static_cast<unsigned int> (spec.numChannels),
                                               spec.bitsPerSample, {}, quality));
    }

    if (writer == nullptr)
        return false;

    stream.release(); // the writer owns it now

    std::vector<float> gains;
    for (int c = 0; c < spec.numChannels; ++c)
    {
        const auto db =
            c < static_cast<int> (spec.channelGainsDb.size()) ? spec.channelGainsDb[(size_t)c] : 0.0f;
        gains.push_back (db <= -200.0f ? 0.0f : std::pow (10.0f, db / 20.0f));
    }

    constexpr int blockSize = 8192;
    juce::AudioBuffer<float> block (spec.numChannels, blockSize);
    const auto step = 2.0 * juce::MathConstants<double>::pi * spec.frequency / spec.sampleRate;
    juce::int64 index = 0;

    for (const auto& segment : spec.segments)
    {
        const auto amplitude = std::pow (10.0, segment.dBFS / 20.0);
        auto remaining = static_cast<juce::int64> (std::llround (segment.seconds * spec.sampleRate));

        while (remaining > 0)
        {
            const auto n = static_cast<int> (std::min<juce::int64> (remaining, blockSize));

            for (int i = 0; i < n; ++i)
            {
                const auto value = amplitude * std::sin (step * static_cast<double> (index + i));
                for (int c = 0; c < spec.numChannels; ++c)
                    block.setSample (c, i, static_cast<float> (value) * gains[(size_t)c]);
            }

            if (!writer->writeFromAudioSampleBuffer (block, 0, n))
                return false;

            index += n;
            remaining -= n;
        }
    }

    writer.reset();
    return file.existsAsFile();
}

std::vector<Segment> ebu3341Case1()
{
    return {{-23.0f, 20.0}};
}

std::vector<Segment> ebu3342Case1()
{
    return {{-20.0f, 20.0}, {-30.0f, 20.0}};
}
} // namespace TestAudioFiles
