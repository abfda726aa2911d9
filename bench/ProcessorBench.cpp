#include <benchmark/benchmark.h>

#include "processor/Tarn51AudioProcessor.h"

namespace
{
constexpr double rate = 48000.0;
constexpr int blockSize = 512;
// One second: twelve channels of it (2.3 MB) stay in the processor's cache, as a host's block
// does, which has just been written; four seconds of twelve channels came from memory and
// weighed on the copy of the inputs far more than in a host.
constexpr int sourceSeconds = 1;

// Twelve channels of noise at about -20 dBFS, different in every channel.
juce::AudioSampleBuffer makeSource()
{
    juce::AudioSampleBuffer audio (12, (int)rate * sourceSeconds);
    juce::Random random (99);

    for (int c = 0; c < audio.getNumChannels(); ++c)
        for (int i = 0; i < audio.getNumSamples(); ++i)
            audio.setSample (c, i, (random.nextFloat() - 0.5f) * 0.35f);

    return audio;
}

// processBlock on 48 kHz audio in 512-sample blocks, on a 7.1.4 (twelve numbered channels), 5.1, stereo or
// mono bus (the argument), measuring
// all the time (the play button pressed). "realtime_x" is the seconds of audio processed per second of CPU
// time; the share of one core that real-time audio of this format needs is 100 / realtime_x percent (the time
// per block against the 10.67 ms the block lasts).
//
// Real time: the loudness thread evaluates the windows on its own core, as in a host.
// Offline: processBlock evaluates every window itself, as while a host exports.
void processBlock (benchmark::State& state, bool offline)
{
    const auto channels = static_cast<int> (state.range (0));
    Tarn51AudioProcessor processor;
    processor.setNonRealtime (offline);
    processor.setPlayConfigDetails (channels, channels, rate, blockSize);
    if (processor.getTotalNumInputChannels() != channels)
    {
        state.SkipWithError ("the processor refused the bus");
        return;
    }
    processor.prepareToPlay (rate, blockSize);
    processor.setParameter (processor.parameters.indexOf ("Follow Transport"), 0.0f);
    processor.manualRun = 1;

    auto source = makeSource();
    juce::MidiBuffer midi;
    int start = 0;

    for (auto _ : state)
    {
        // The host's buffer, referring to its own memory (the processor only reads it).
        juce::AudioSampleBuffer block (source.getArrayOfWritePointers(), channels, start, blockSize);
        start = (start + blockSize) % (source.getNumSamples() - blockSize);

        processor.processBlock (block, midi);
        benchmark::DoNotOptimize (processor.readings.maxTruePeak);
    }

    state.counters["realtime_x"] =
        benchmark::Counter ((double)state.iterations() * blockSize / rate, benchmark::Counter::kIsRate);
}

void processBlockRealTime (benchmark::State& state)
{
    processBlock (state, false);
}

void processBlockOffline (benchmark::State& state)
{
    processBlock (state, true);
}
} // namespace

BENCHMARK (processBlockRealTime)
    ->Arg (12)
    ->Arg (6)
    ->Arg (2)
    ->Arg (1)
    ->Unit (benchmark::kMicrosecond)
    ->MinTime (2.0);
BENCHMARK (processBlockOffline)
    ->Arg (12)
    ->Arg (6)
    ->Arg (2)
    ->Arg (1)
    ->Unit (benchmark::kMicrosecond)
    ->MinTime (2.0);
