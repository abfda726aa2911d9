#include "OfflineMeter.h"

#include "OfflinePlayHead.h"

#include "processor/Tarn51AudioProcessor.h"

namespace
{
constexpr double supportedRates[] = {44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0};

void setValue (Tarn51AudioProcessor& processor, const char* name, float value)
{
    const auto index = processor.parameters.indexOf (name);
    jassert (index >= 0);
    processor.parameters.setValue (index, value);
}

float valueOf (Tarn51AudioProcessor& processor, const char* name)
{
    return processor.parameters.getValue (processor.parameters.indexOf (name));
}
} // namespace

bool OfflineMeter::isSupportedRate (double sampleRate)
{
    for (auto r : supportedRates)
        if (sampleRate == r)
            return true;

    return false;
}

juce::String OfflineMeter::supportedRatesText()
{
    juce::StringArray rates;
    for (auto r : supportedRates)
        rates.add (juce::String (static_cast<int> (r)));

    return rates.joinIntoString (", ") + " Hz";
}

juce::Result OfflineMeter::measure (juce::AudioFormatReader& reader, const InputLayout& layout,
                                    const MeasureOptions& options, const Progress& progress,
                                    Measurement& result, const StepSink& steps)
{
    const auto sampleRate = reader.sampleRate;
    const auto blockSize = options.blockSize;
    const auto numInputChannels = static_cast<int> (reader.numChannels);

    if (!isSupportedRate (sampleRate))
        return juce::Result::fail ("sample rate " + juce::String (sampleRate) + " Hz; the meter measures " +
                                   supportedRatesText());

    if (static_cast<int> (layout.blockChannels.size()) != numInputChannels)
        return juce::Result::fail ("no channel layout for " + juce::String (numInputChannels) + " channels");

    constexpr int blockChannels = 6;

    Tarn51AudioProcessor processor;
    OfflinePlayHead playHead (sampleRate);

    processor.setNonRealtime (true);
    processor.setPlayConfigDetails (blockChannels, blockChannels, sampleRate, blockSize);

    if (processor.getTotalNumInputChannels() != blockChannels)
        return juce::Result::fail ("the processor does not take six channels");

    processor.setPlayHead (&playHead);

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

    juce::AudioBuffer<float> block (blockChannels, blockSize);
    block.clear();
    juce::MidiBuffer midi;

    // Each input channel is read straight into its place in the block; block channels that
    // no input channel feeds stay silent.
    std::vector<float*> destinations;
    for (auto channel : layout.blockChannels)
        destinations.push_back (channel >= 0 ? block.getWritePointer (channel) : nullptr);

    // The steps a block completed, handed on after it. A block brings far fewer steps than the
    // history holds at full resolution, so none is missed.
    std::vector<LoudnessHistory::Step> newSteps;
    std::int64_t stepsTaken = 0;
    if (steps != nullptr)
        newSteps.resize (LoudnessHistory::recentCapacity);

    const auto takeSteps = [&]
    {
        int count = 0;
        const auto first =
            processor.loudnessHistory.copyRecent (stepsTaken, newSteps.data(), (int)newSteps.size(), count);

        for (int i = 0; i < count; ++i)
            steps (first + i, newSteps[(size_t)i]);

        stepsTaken = first + count;
    };

    const auto length = std::max<juce::int64> (0, reader.lengthInSamples);
    auto lastProgress = juce::Time::getMillisecondCounter();
    juce::Result outcome = juce::Result::ok();

    for (juce::int64 position = 0; position < length; position += blockSize)
    {
        const auto n = static_cast<int> (std::min<juce::int64> (blockSize, length - position));

        if (!reader.read (destinations.data(), numInputChannels, position, n))
        {
            outcome = juce::Result::fail (
                "read error at " + juce::String (static_cast<double> (position) / sampleRate, 3) + " s");
            break;
        }

        // The last block of a file may be shorter: the same channels, n samples of them.
        juce::AudioBuffer<float> audio (block.getArrayOfWritePointers(), blockChannels, n);
        playHead.setPosition (position);
        processor.processBlock (audio, midi);

        if (steps != nullptr)
            takeSteps();

        if (progress != nullptr && juce::Time::getMillisecondCounter() - lastProgress >= 200)
        {
            lastProgress = juce::Time::getMillisecondCounter();
            progress (static_cast<double> (position + n) / static_cast<double> (length));
        }
    }

    processor.releaseResources();
    processor.setPlayHead (nullptr);

    if (outcome.failed())
        return outcome;

    result.productName = processor.getName();
    result.sampleRate = sampleRate;
    result.numChannels = numInputChannels;
    result.lengthInSamples = length;
    result.standard = options.standard;
    result.momentaryThreshold = valueOf (processor, "ML Threshold");
    result.shortTermThreshold = valueOf (processor, "STL Threshold");
    result.readings = processor.readings;
    result.results = processor.latestResults;
    result.truePeakLimit = valueOf (processor, "TruePeak Max Level");

    if (options.plotPath.isNotEmpty())
    {
        result.overview.resize (LoudnessHistory::overviewCapacity);
        result.overviewShape = processor.loudnessHistory.copyOverview (result.overview.data());
        result.overview.resize ((size_t)result.overviewShape.numBuckets);
    }

    result.target = options.target;
    if (options.target)
        result.verdict = options.target->judge (result.readings, result.standard);
    return juce::Result::ok();
}
