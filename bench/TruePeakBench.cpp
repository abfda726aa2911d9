#include <benchmark/benchmark.h>

#include "engine/SimdLevel.h"
#include "engine/TruePeakDetector.h"

#include <vector>

namespace
{
constexpr int blockSize = 512;

const char* levelName()
{
    switch (simdLevel())
    {
    case SimdLevel::avx512:
        return "avx512";
    case SimdLevel::avx2:
        return "avx2";
    case SimdLevel::avx:
        return "avx";
    case SimdLevel::generic:
        break;
    }
    return "generic";
}

// One second of noise at the given rate in the given number of channels, measured in host-sized
// blocks, with the copy into the detector's work buffer that the processor makes for every
// block. The vector level (TARN51_SIMD=avx2 caps it) is shown as the label.
void truePeakPerSecond (benchmark::State& state)
{
    const auto rate = static_cast<double> (state.range (0));
    const int channels = static_cast<int> (state.range (1));
    const int secondLength = static_cast<int> (rate);

    juce::AudioSampleBuffer source (TruePeakDetector::numChannels, secondLength);
    juce::Random random (1);
    for (int c = 0; c < source.getNumChannels(); ++c)
        for (int j = 0; j < secondLength; ++j)
            source.setSample (c, j, random.nextFloat() * 2.0f - 1.0f);

    TruePeakDetector detector;
    detector.setSampleRate (rate);
    detector.setActiveChannels (channels);
    detector.prepare (blockSize);

    for (auto _ : state)
    {
        for (int start = 0; start < secondLength; start += blockSize)
        {
            const int n = juce::jmin (blockSize, secondLength - start);

            for (int c = 0; c < channels; ++c)
                detector.buffer.copyFrom (c, 0, source, c, start, n);

            detector.process (n);
            benchmark::DoNotOptimize (detector.blockPeak);
        }
    }

    // Seconds of audio per second of processing.
    state.counters["realtime"] =
        benchmark::Counter (static_cast<double> (state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel (levelName());
}
} // namespace

BENCHMARK (truePeakPerSecond)
    ->ArgNames ({"rate", "channels"})
    ->ArgsProduct ({{48000}, {1, 2, 6}})
    ->Args ({96000, 6})
    ->Args ({192000, 6})
    ->Args ({32000, 6})
    ->Args ({8000, 6})
    ->Unit (benchmark::kMillisecond);
