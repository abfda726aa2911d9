#include <benchmark/benchmark.h>

#include "engine/TruePeakDetector.h"

#include <vector>

namespace
{
constexpr int blockSize = 512;

// One second of six-channel noise at the given rate, measured in host-sized blocks, with the
// copy into the detector's work buffer that the processor makes for every block.
void truePeakPerSecond (benchmark::State& state)
{
    const auto rate = static_cast<double> (state.range (0));
    const int secondLength = static_cast<int> (rate);

    juce::AudioSampleBuffer source (TruePeakDetector::numChannels, secondLength);
    juce::Random random (1);
    for (int c = 0; c < source.getNumChannels(); ++c)
        for (int j = 0; j < secondLength; ++j)
            source.setSample (c, j, random.nextFloat() * 2.0f - 1.0f);

    TruePeakDetector detector;
    detector.setSampleRate (rate);
    detector.prepare (blockSize);

    for (auto _ : state)
    {
        for (int start = 0; start < secondLength; start += blockSize)
        {
            const int n = juce::jmin (blockSize, secondLength - start);

            for (int c = 0; c < TruePeakDetector::numChannels; ++c)
                detector.buffer.copyFrom (c, 0, source, c, start, n);

            detector.process (n);
            benchmark::DoNotOptimize (detector.blockPeak);
        }
    }

    // Seconds of 5.1 audio per second of processing.
    state.counters["realtime"] =
        benchmark::Counter (static_cast<double> (state.iterations()), benchmark::Counter::kIsRate);
}
} // namespace

BENCHMARK (truePeakPerSecond)->Arg (48000)->Arg (96000)->Arg (192000)->Unit (benchmark::kMillisecond);
