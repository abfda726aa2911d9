#include "support/TestSignals.h"

#include <cmath>

namespace TestSignals
{
namespace
{
// xorshift32: the same numbers on every platform and standard library.
class NoiseSource
{
public:
    explicit NoiseSource (std::uint32_t seed) : state (seed != 0 ? seed : 0x9e3779b9u) {}

    // Uniform in [-1, 1).
    float next() noexcept
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float> (static_cast<double> (state) / 2147483648.0 - 1.0);
    }

private:
    std::uint32_t state;
};

juce::AudioSampleBuffer spread (const std::vector<float>& mono, const ChannelGains& gains)
{
    juce::AudioSampleBuffer out (numChannels, static_cast<int> (mono.size()));
    out.clear();

    for (int c = 0; c < numChannels; ++c)
    {
        if (gains[static_cast<size_t> (c)] == 0.0f)
            continue;

        float* dest = out.getWritePointer (c);

        for (size_t i = 0; i < mono.size(); ++i)
            dest[i] = mono[i] * gains[static_cast<size_t> (c)];
    }

    return out;
}

double rmsOf (const std::vector<float>& samples)
{
    double sum = 0.0;

    for (float s : samples)
        sum += static_cast<double> (s) * static_cast<double> (s);

    return samples.empty() ? 0.0 : std::sqrt (sum / static_cast<double> (samples.size()));
}
} // namespace

ChannelGains stereo()
{
    return {1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
}

ChannelGains only (int channel)
{
    ChannelGains gains{};
    gains[static_cast<size_t> (channel)] = 1.0f;
    return gains;
}

ChannelGains fiveChannelDb (float l, float r, float c, float ls, float rs)
{
    return {gainForDb (l), gainForDb (r), gainForDb (c), 0.0f, gainForDb (ls), gainForDb (rs)};
}

float gainForDb (float dB)
{
    return static_cast<float> (std::pow (10.0, static_cast<double> (dB) / 20.0));
}

int samplesFor (double sampleRate, double seconds)
{
    return static_cast<int> (std::llround (sampleRate * seconds));
}

juce::AudioSampleBuffer sineProgramme (double sampleRate, double frequency,
                                       const std::vector<Segment>& segments, const ChannelGains& gains)
{
    std::vector<float> mono;
    long long n = 0;

    for (const auto& segment : segments)
    {
        const double amplitude = std::pow (10.0, static_cast<double> (segment.dBFS) / 20.0);
        const int length = samplesFor (sampleRate, segment.seconds);

        for (int i = 0; i < length; ++i, ++n)
        {
            const double phase =
                2.0 * juce::MathConstants<double>::pi * frequency * static_cast<double> (n) / sampleRate;
            mono.push_back (static_cast<float> (amplitude * std::sin (phase)));
        }
    }

    return spread (mono, gains);
}

juce::AudioSampleBuffer sine (double sampleRate, double frequency, float dBFS, double seconds,
                              const ChannelGains& gains)
{
    return sineProgramme (sampleRate, frequency, {{dBFS, seconds}}, gains);
}

juce::AudioSampleBuffer square (double sampleRate, double frequency, float dBFS, double seconds,
                                const ChannelGains& gains)
{
    const float amplitude = gainForDb (dBFS);
    std::vector<float> mono (static_cast<size_t> (samplesFor (sampleRate, seconds)));

    for (size_t i = 0; i < mono.size(); ++i)
    {
        const double cycles = frequency * static_cast<double> (i) / sampleRate;
        mono[i] = (cycles - std::floor (cycles)) < 0.5 ? amplitude : -amplitude;
    }

    return spread (mono, gains);
}

juce::AudioSampleBuffer silence (double sampleRate, double seconds)
{
    juce::AudioSampleBuffer out (numChannels, samplesFor (sampleRate, seconds));
    out.clear();
    return out;
}

juce::AudioSampleBuffer noise (double sampleRate, float dBFS, double seconds, std::uint32_t seed,
                               const ChannelGains& gains)
{
    NoiseSource source (seed);
    std::vector<float> mono (static_cast<size_t> (samplesFor (sampleRate, seconds)));

    for (auto& s : mono)
        s = source.next();

    const double scale = std::pow (10.0, static_cast<double> (dBFS) / 20.0) / rmsOf (mono);

    for (auto& s : mono)
        s = static_cast<float> (static_cast<double> (s) * scale);

    return spread (mono, gains);
}

juce::AudioSampleBuffer speechLike (double sampleRate, float dBFS, double seconds, std::uint32_t seed,
                                    const ChannelGains& gains)
{
    NoiseSource source (seed);
    std::vector<float> mono (static_cast<size_t> (samplesFor (sampleRate, seconds)));

    for (size_t i = 0; i < mono.size(); ++i)
    {
        const double t = static_cast<double> (i) / sampleRate;
        const double envelope = 0.15 + 0.85 * std::abs (std::sin (juce::MathConstants<double>::pi * 2.5 * t));
        mono[i] = static_cast<float> (envelope * static_cast<double> (source.next()));
    }

    const double scale = std::pow (10.0, static_cast<double> (dBFS) / 20.0) / rmsOf (mono);

    for (auto& s : mono)
        s = static_cast<float> (static_cast<double> (s) * scale);

    return spread (mono, gains);
}

juce::AudioSampleBuffer impulse (double sampleRate, double seconds, const ChannelGains& gains)
{
    std::vector<float> mono (static_cast<size_t> (juce::jmax (1, samplesFor (sampleRate, seconds))), 0.0f);
    mono[0] = 1.0f;
    return spread (mono, gains);
}

void append (juce::AudioSampleBuffer& programme, const juce::AudioSampleBuffer& part)
{
    const int start = programme.getNumSamples();
    programme.setSize (numChannels, start + part.getNumSamples(), true, true);

    for (int c = 0; c < numChannels; ++c)
    {
        if (c < part.getNumChannels())
            programme.copyFrom (c, start, part, c, 0, part.getNumSamples());
        else
            programme.clear (c, start, part.getNumSamples());
    }
}

juce::AudioSampleBuffer concatenate (const std::vector<const juce::AudioSampleBuffer*>& parts)
{
    juce::AudioSampleBuffer out (numChannels, 0);

    for (const auto* part : parts)
        append (out, *part);

    return out;
}
} // namespace TestSignals
