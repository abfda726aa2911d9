#include <benchmark/benchmark.h>

#include "engine/OSKALoudnessModule.h"

#include <memory>

// Costs of the loudness engine per second of 5.1 audio at 48 kHz.
namespace
{
constexpr double rate = 48000;
constexpr int blockSize = 480;
constexpr int blocksPerSecond = 100;

// One second of six-channel noise at about -20 dBFS, different in every channel.
juce::AudioSampleBuffer makeSecond()
{
    juce::AudioSampleBuffer audio (6, static_cast<int> (rate));
    juce::Random random (1234);

    for (int c = 0; c < 6; ++c)
        for (int i = 0; i < audio.getNumSamples(); ++i)
            audio.setSample (c, i, (random.nextFloat() - 0.5f) * 0.35f);

    return audio;
}

constexpr int spreadValues = 20000;

std::unique_ptr<OSKALoudnessModule> makeModule()
{
    auto module = std::make_unique<OSKALoudnessModule>();
    module->sampleRate = rate;
    module->updateFilterCoefficients();
    module->allocateWindows();
    module->inputBuffer.setSize (6, blockSize);
    module->setMeasuring (1);

    // A histogram spread over a wide range, as after a long, varied programme.
    for (int i = 0; i < spreadValues; ++i)
    {
        const float level = -60.0f + static_cast<float> (i % 550) * 0.1f;
        module->momentaryHistogram.add (level);
        if (i % 6 == 0)
            module->shortTermHistogram.add (level);
    }

    return module;
}

void feedSecond (OSKALoudnessModule& module, const juce::AudioSampleBuffer& audio)
{
    for (int b = 0; b < blocksPerSecond; ++b)
    {
        for (int c = 0; c < module.getActiveChannels(); ++c)
            module.inputBuffer.copyFrom (c, 0, audio, c, b * blockSize, blockSize);

        module.feed();
    }
}
} // namespace

// feed(): K-weighting of the channels present and queueing into both windows, in blocks of 480
// (the copy of each block into the module's input buffer included); the argument is the
// number of channels (1 mono, 2 stereo, 6 for 5.1).
static void BM_FeedOneSecond (benchmark::State& state)
{
    const auto audio = makeSecond();
    auto module = makeModule();
    module->setActiveChannels (static_cast<int> (state.range (0)));

    for (auto _ : state)
    {
        feedSecond (*module, audio);

        // Keep the queues from filling, which would make later writes cheaper.
        module->momentaryFifo->reset();
        module->shortTermFifo->reset();
        benchmark::DoNotOptimize (module->inputBuffer.getReadPointer (0));
    }

    state.counters["realtime_x"] = benchmark::Counter (
        1.0, benchmark::Counter::kIsIterationInvariantRate); // seconds of audio per second
}
BENCHMARK (BM_FeedOneSecond)->Arg (1)->Arg (2)->Arg (6)->Unit (benchmark::kMicrosecond);

// The time slices' work for one second of audio: 100 momentary windows on the 10 ms steps (10
// of them gating blocks) and 10 short-term windows, with block loudness and the histogram
// statistics.
static void BM_WindowEvaluationOneSecondOf51 (benchmark::State& state)
{
    const auto audio = makeSecond();
    auto module = makeModule();
    int64_t momentary = 0, shortTerm = 0;

    for (auto _ : state)
    {
        state.PauseTiming();
        feedSecond (*module, audio);
        state.ResumeTiming();

        while (module->windowReady())
            module->computeBlocks();
    }

    // Every value of either kind is counted in its histogram.
    for (int i = 0; i < LoudnessHistogram::numBins; ++i)
    {
        momentary += static_cast<int64_t> (module->momentaryHistogram.countInBin (i));
        shortTerm += static_cast<int64_t> (module->shortTermHistogram.countInBin (i));
    }

    momentary -= spreadValues; // the histograms' spread from makeModule()
    shortTerm -= (spreadValues + 5) / 6;

    state.counters["momentary_windows"] =
        benchmark::Counter (static_cast<double> (momentary), benchmark::Counter::kAvgIterations);
    state.counters["short_term_windows"] =
        benchmark::Counter (static_cast<double> (shortTerm), benchmark::Counter::kAvgIterations);
    state.counters["realtime_x"] = benchmark::Counter (1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK (BM_WindowEvaluationOneSecondOf51)->Unit (benchmark::kMicrosecond);

// The histogram part alone, per new value: add + integrated loudness, add + loudness range.
static void BM_HistogramStatisticsPerValue (benchmark::State& state)
{
    auto module = makeModule();

    for (auto _ : state)
    {
        module->momentaryHistogram.add (-23.0f);
        benchmark::DoNotOptimize (module->momentaryHistogram.integratedLoudness());
        module->shortTermHistogram.add (-23.0f);
        benchmark::DoNotOptimize (module->shortTermHistogram.computeRange());
    }
}
BENCHMARK (BM_HistogramStatisticsPerValue)->Unit (benchmark::kMicrosecond);
