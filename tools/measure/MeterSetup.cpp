#include "MeterSetup.h"

#include "OfflineMeter.h"

#include "processor/Tarn51AudioProcessor.h"

void MeterSetup::setValue (Tarn51AudioProcessor& processor, const char* name, float value)
{
    const auto index = processor.parameters.indexOf (name);
    jassert (index >= 0);
    processor.parameters.setValue (index, value);
}

float MeterSetup::valueOf (Tarn51AudioProcessor& processor, const char* name)
{
    return processor.parameters.getValue (processor.parameters.indexOf (name));
}

void MeterSetup::hitThresholds (const MeasureOptions& options, float& momentary, float& shortTerm)
{
    ParameterTable table;
    int program = 0;
    table.setCurrentProgram (options.standard, program);
    momentary = options.momentaryThreshold.value_or (table.getValue (table.indexOf ("ML Threshold")));
    shortTerm = options.shortTermThreshold.value_or (table.getValue (table.indexOf ("STL Threshold")));
}

juce::Result MeterSetup::prepare (Tarn51AudioProcessor& processor, juce::AudioPlayHead& playHead,
                                  double sampleRate, int numInputChannels, const InputLayout& layout,
                                  const MeasureOptions& options)
{
    const auto blockSize = options.blockSize;

    if (!OfflineMeter::isSupportedRate (sampleRate))
        return juce::Result::fail ("sample rate " + juce::String (sampleRate) + " Hz; the meter measures " +
                                   OfflineMeter::supportedRatesText());

    if (static_cast<int> (layout.blockChannels.size()) != numInputChannels)
        return juce::Result::fail ("no channel layout for " + juce::String (numInputChannels) + " channels");

    processor.setNonRealtime (true);
    const int width = SpeakerLayout::get (layout.meterLayout).numChannels;

    if (width == blockChannels)
    {
        processor.setPlayConfigDetails (blockChannels, blockChannels, sampleRate, blockSize);
    }
    else
    {
        // Numbered channels in the meter's order, which the processor lays out in the
        // arrangement asked for.
        processor.setMeterLayout (layout.meterLayout);
        juce::AudioProcessor::BusesLayout buses;
        buses.inputBuses.add (juce::AudioChannelSet::discreteChannels (width));
        buses.outputBuses.add (juce::AudioChannelSet::discreteChannels (width));
        processor.setBusesLayout (buses);
        processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    }

    if (processor.getTotalNumInputChannels() != width || processor.getMeterLayout() != layout.meterLayout)
        return juce::Result::fail ("the processor does not take the " +
                                   juce::String (SpeakerLayout::get (layout.meterLayout).name) +
                                   " arrangement");

    processor.setPlayHead (&playHead);
    // Block channels that no input channel is read into stay silent.
    juce::uint32 channelsRead = 0;
    for (const int c : layout.blockChannels)
        if (c >= 0 && c < width)
            channelsRead |= 1u << c;
    processor.setInputChannelMask (channelsRead);

    // The program first: it sets every parameter, the thresholds among them.
    processor.setCurrentProgram (options.standard);
    setValue (processor, "Measurement Type", options.gating ? 0.0f : 1.0f);
    setValue (processor, "Follow Transport", 1.0f);
    setValue (processor, "Surround layout", static_cast<float> (layout.surroundLayoutChoice));

    if (options.momentaryThreshold)
        setValue (processor, "ML Threshold", *options.momentaryThreshold);

    if (options.shortTermThreshold)
        setValue (processor, "STL Threshold", *options.shortTermThreshold);

    processor.prepareToPlay (sampleRate, blockSize);
    return juce::Result::ok();
}
