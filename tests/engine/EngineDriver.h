#pragma once

#include "engine/OSKALoudnessModule.h"

#include <vector>

// Drives a loudness module the way the processor does: prepare for a rate, then hand it
// blocks through inputBuffer and feed(), with time slices in between.
namespace EngineDriver
{
// The values of the time slices that produced one.
struct Values
{
    std::vector<float> momentary;
    std::vector<float> shortTerm;
};

inline void prepare (OSKALoudnessModule& module, double rate, int blockSize = 512)
{
    module.sampleRate = rate;
    module.updateFilterCoefficients();
    module.allocateWindows();
    module.inputBuffer.setSize (OSKALoudnessModule::numChannels, blockSize);
    module.inputBuffer.clear();
}

// Copies samples [start, start + n) of source into inputBuffer and feeds them.
inline void feedBlock (OSKALoudnessModule& module, const juce::AudioSampleBuffer& source, int start, int n)
{
    auto& in = module.inputBuffer;
    if (in.getNumSamples() != n || in.getNumChannels() != OSKALoudnessModule::numChannels)
        in.setSize (OSKALoudnessModule::numChannels, n, false, false, true);

    in.clear();

    for (int c = 0; c < juce::jmin (source.getNumChannels(), OSKALoudnessModule::numChannels); ++c)
        in.copyFrom (c, 0, source, c, start, n);

    module.feed();
}

inline void collect (const OSKALoudnessModule& module, Values* seen)
{
    if (seen == nullptr)
        return;

    if (module.newMomentary.load())
        seen->momentary.push_back (module.results.momentary.load());

    if (module.newShortTerm.load())
        seen->shortTerm.push_back (module.results.shortTerm.load());
}

// Feeds the whole programme in blocks of blockSize, one time slice after every block.
// Blocks no longer than a momentary hop keep the queues from ever filling.
inline void play (OSKALoudnessModule& module, const juce::AudioSampleBuffer& programme, int blockSize = 512,
                  Values* seen = nullptr)
{
    for (int start = 0; start < programme.getNumSamples(); start += blockSize)
    {
        feedBlock (module, programme, start, juce::jmin (blockSize, programme.getNumSamples() - start));
        module.useTimeSlice();
        collect (module, seen);
    }
}

// Measures a whole programme from a fresh start with the measurement running.
inline LoudnessResults measure (OSKALoudnessModule& module, double rate,
                                const juce::AudioSampleBuffer& programme, Values* seen = nullptr)
{
    prepare (module, rate);
    module.setMeasuring (1);
    play (module, programme, 512, seen);
    return module.getResults();
}
} // namespace EngineDriver
