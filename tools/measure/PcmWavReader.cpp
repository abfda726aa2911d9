#include "PcmWavReader.h"

#include <cstring>

namespace
{
// Where the sample data starts, which JUCE's memory-mapped reader knows and does not tell.
struct DataStart : juce::MemoryMappedAudioFormatReader
{
    static juce::int64 of (const juce::MemoryMappedAudioFormatReader& reader)
    {
        return reader.*(&DataStart::dataChunkStart);
    }

    static int frameBytesOf (const juce::MemoryMappedAudioFormatReader& reader)
    {
        return reader.*(&DataStart::bytesPerFrame);
    }
};

// Small enough that the piece read is still in the processor's cache when it is converted.
constexpr int readBytes = 1 << 17;

// JUCE's conversion: the sample as a left-justified 32-bit integer, times 1 / (2^31 - 1).
template <int bytes> inline float integerSample (const unsigned char* p) noexcept
{
    std::uint32_t word = 0;
    for (int b = 0; b < bytes; ++b)
        word |= (std::uint32_t)p[b] << (8 * (4 - bytes + b));

    constexpr auto scale = 1.0f / static_cast<float> (0x7fffffff);
    return static_cast<float> ((std::int32_t)word) * scale;
}

// Every channels-th float from source; a loop per common channel count, whose stride the
// compiler then knows.
template <int channels> void deinterleaveEvery (const float* source, float* destination, int numFrames)
{
    for (int i = 0; i < numFrames; ++i)
        destination[i] = source[i * channels];
}

void deinterleave (const float* source, int channels, float* destination, int numFrames)
{
    switch (channels)
    {
    case 2:
        return deinterleaveEvery<2> (source, destination, numFrames);
    case 6:
        return deinterleaveEvery<6> (source, destination, numFrames);
    default:
        for (int i = 0; i < numFrames; ++i)
            destination[i] = source[(size_t)i * (size_t)channels];
    }
}

template <int bytes>
void convertIntegers (const char* frames, int channels, float* const* destinations, int numDestinations,
                      int numFrames)
{
    const auto* data = reinterpret_cast<const unsigned char*> (frames);

    for (int c = 0; c < numDestinations; ++c)
        if (float* d = destinations[c])
            for (int i = 0; i < numFrames; ++i)
                d[i] = integerSample<bytes> (data + ((size_t)i * (size_t)channels + (size_t)c) * bytes);
}
} // namespace

std::unique_ptr<juce::AudioFormatReader>
PcmWavReader::fasterReader (std::unique_ptr<juce::AudioFormatReader> parsed, const juce::File& file)
{
    if (parsed == nullptr || parsed->getFormatName() != juce::WavAudioFormat().getFormatName())
        return parsed;

    const auto bits = (int)parsed->bitsPerSample;
    if (parsed->usesFloatingPointData ? bits != 32 : (bits != 16 && bits != 24 && bits != 32))
        return parsed;

    std::unique_ptr<juce::MemoryMappedAudioFormatReader> mapped (
        juce::WavAudioFormat().createMemoryMappedReader (file));
    auto stream = std::make_unique<juce::FileInputStream> (file);

    // Both parses must describe the same samples; anything else stays with JUCE's reader.
    if (mapped == nullptr || stream->failedToOpen() || mapped->numChannels != parsed->numChannels ||
        mapped->lengthInSamples != parsed->lengthInSamples ||
        mapped->bitsPerSample != parsed->bitsPerSample ||
        DataStart::frameBytesOf (*mapped) != (int)parsed->numChannels * bits / 8)
        return parsed;

    const auto start = DataStart::of (*mapped);
    const auto frameBytes = DataStart::frameBytesOf (*mapped);
    return std::unique_ptr<juce::AudioFormatReader> (
        new PcmWavReader (std::move (parsed), std::move (stream), start, frameBytes));
}

PcmWavReader::PcmWavReader (std::unique_ptr<juce::AudioFormatReader> parsedReader,
                            std::unique_ptr<juce::FileInputStream> dataFile, juce::int64 start,
                            int frameBytes)
    : juce::AudioFormatReader (nullptr, parsedReader->getFormatName()), parsed (std::move (parsedReader)),
      file (std::move (dataFile)), dataStart (start), bytesPerFrame (frameBytes),
      sampleBits ((int)parsed->bitsPerSample), floatSamples (parsed->usesFloatingPointData)
{
    sampleRate = parsed->sampleRate;
    bitsPerSample = parsed->bitsPerSample;
    lengthInSamples = parsed->lengthInSamples;
    numChannels = parsed->numChannels;
    metadataValues = parsed->metadataValues;
    usesFloatingPointData = true; // converted here

    framesPerRead = juce::jmax (1, readBytes / bytesPerFrame);
    frames.allocate ((size_t)framesPerRead * (size_t)bytesPerFrame, false);
}

bool PcmWavReader::readSamples (int* const* destSamples, int numDestChannels, int startOffsetInDestBuffer,
                                juce::int64 startSampleInFile, int numSamples)
{
    clearSamplesBeyondAvailableLength (destSamples, numDestChannels, startOffsetInDestBuffer,
                                       startSampleInFile, numSamples, lengthInSamples);

    if (numSamples <= 0)
        return true;

    float* destinations[64]{};
    const int numDestinations = juce::jmin (numDestChannels, (int)numChannels, 64);

    if (!file->setPosition (dataStart + startSampleInFile * bytesPerFrame))
        return false;

    // Mono floats are the samples themselves: read straight into their place.
    float* const direct = floatSamples && numChannels == 1 && numDestinations == 1 && destSamples[0] != nullptr
                              ? reinterpret_cast<float*> (destSamples[0]) + startOffsetInDestBuffer
                              : nullptr;

    for (int done = 0; done < numSamples;)
    {
        const int count = juce::jmin (direct != nullptr ? numSamples : framesPerRead, numSamples - done);
        const auto wanted = count * bytesPerFrame;
        char* const target = direct != nullptr ? reinterpret_cast<char*> (direct + done) : frames.get();
        const auto got = file->read (target, wanted);

        if (got < wanted)
        {
            // A read that fails is reported; the end of a file shorter than its header says
            // reads as silence, as JUCE's reader has it.
            if (got < 0 || file->getStatus().failed())
                return false;

            std::memset (target + got, 0, (size_t)(wanted - got));
        }

        if (direct != nullptr)
        {
            done += count;
            continue;
        }

        for (int c = 0; c < numDestinations; ++c)
            destinations[c] = destSamples[c] != nullptr
                                  ? reinterpret_cast<float*> (destSamples[c]) + startOffsetInDestBuffer + done
                                  : nullptr;

        convert (frames.get(), destinations, numDestinations, count);
        done += count;
    }

    return true;
}

void PcmWavReader::convert (const char* data, float* const* destinations, int numDestinations,
                            int numFrames) const
{
    const int channels = (int)numChannels;

    if (floatSamples)
    {
        // Little-endian floats, as the processor has them: copied bit for bit.
        for (int c = 0; c < numDestinations; ++c)
        {
            float* d = destinations[c];
            if (d == nullptr)
                continue;

            if (channels == 1)
                std::memcpy (d, data, (size_t)numFrames * sizeof (float));
            else
                deinterleave (reinterpret_cast<const float*> (data) + c, channels, d, numFrames);
        }
        return;
    }

    if (sampleBits == 16)
        convertIntegers<2> (data, channels, destinations, numDestinations, numFrames);
    else if (sampleBits == 24)
        convertIntegers<3> (data, channels, destinations, numDestinations, numFrames);
    else
        convertIntegers<4> (data, channels, destinations, numDestinations, numFrames);
}
