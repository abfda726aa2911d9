#include "ProcessorDriver.h"

#include <gtest/gtest.h>

namespace ProcessorDriver
{
namespace
{
void processOneBlock (Tarn51AudioProcessor& processor, const juce::AudioSampleBuffer& programme, int start,
                      int numSamples, FakePlayHead* head)
{
    const int channels =
        juce::jmax (processor.getTotalNumInputChannels(), processor.getTotalNumOutputChannels());
    juce::AudioSampleBuffer block (channels, numSamples);
    block.clear();

    for (int c = 0; c < juce::jmin (channels, programme.getNumChannels()); ++c)
        block.copyFrom (c, 0, programme, c, start, numSamples);

    juce::MidiBuffer midi;
    processor.processBlock (block, midi);

    if (head != nullptr)
        head->advance (numSamples, processor.currentSampleRate);
}
} // namespace

void setValue (Tarn51AudioProcessor& processor, const char* name, float value)
{
    const int index = processor.parameters.indexOf (name);
    ASSERT_GE (index, 0) << name;
    const auto range = processor.parameters.ranges[(size_t)index];
    processor.setParameter (index, (value - range.minimum) / (range.maximum - range.minimum));
}

void runManually (Tarn51AudioProcessor& processor)
{
    setValue (processor, "Follow Transport", 0.0f);
    processor.manualRun = 1;
}

void process (Tarn51AudioProcessor& processor, const juce::AudioSampleBuffer& programme, int size,
              FakePlayHead* head, const std::function<void (int)>& afterBlock)
{
    processor.setPlayHead (head);

    for (int start = 0; start < programme.getNumSamples(); start += size)
    {
        processOneBlock (processor, programme, start, juce::jmin (size, programme.getNumSamples() - start),
                         head);

        if (afterBlock)
            afterBlock (start);
    }
}

void processSilence (Tarn51AudioProcessor& processor, int numSamples, FakePlayHead* head)
{
    juce::AudioSampleBuffer silence (6, numSamples);
    silence.clear();
    process (processor, silence, numSamples, head);
}

void processWithLoudnessThread (Tarn51AudioProcessor& processor, const juce::AudioSampleBuffer& programme,
                                int size, FakePlayHead* head)
{
    auto& thread = processor.loudnessThread;
    auto& module = processor.loudnessModule;
    ASSERT_TRUE (processor.isModuleOnLoudnessThread());

    processor.setPlayHead (head);
    bool evaluated = false;

    for (int start = 0; start < programme.getNumSamples(); start += size)
    {
        processOneBlock (processor, programme, start, juce::jmin (size, programme.getNumSamples() - start),
                         head);

        if (evaluated)
        {
            // The block after a time slice has seen its flags; the thread may go on.
            thread.addTimeSliceClient (&module);
            evaluated = false;
        }

        if (module.windowReady())
        {
            thread.moveToFrontOfQueue (&module);

            for (int waited = 0; module.windowReady(); ++waited)
            {
                ASSERT_LT (waited, 10000) << "the loudness thread did not take the window";
                juce::Thread::sleep (1);
            }

            // Waits for the time slice to finish, and keeps the next one from running before
            // the next block.
            thread.removeTimeSliceClient (&module);
            evaluated = true;
        }
    }

    if (evaluated)
        thread.addTimeSliceClient (&module);
}

float totalCount (const LoudnessHistogram& histogram)
{
    float total = 0.0f;

    for (int i = 0; i < LoudnessHistogram::numBins; ++i)
        total += histogram.countInBin (i);

    return total;
}
} // namespace ProcessorDriver
