#include "LiveMeter.h"

#include "MeterSetup.h"

#include <cmath>

LiveMeter::LiveMeter (StepQueue& queue) : steps (queue) {}

LiveMeter::~LiveMeter()
{
    if (processor != nullptr)
    {
        processor->releaseResources();
        processor->setPlayHead (nullptr);
    }
}

juce::Result LiveMeter::prepare (double sampleRate, int numInputChannels, const InputLayout& layout,
                                 const MeasureOptions& options, std::int64_t anchorMs)
{
    processor = std::make_unique<Tarn51AudioProcessor>();
    playHead = std::make_unique<OfflinePlayHead> (sampleRate);

    if (const auto prepared =
            MeterSetup::prepare (*processor, *playHead, sampleRate, numInputChannels, layout, options);
        prepared.failed())
        return prepared;

    rate = sampleRate;
    blockSize = options.blockSize;
    blockChannels = layout.blockChannels;
    meterLayout = layout.meterLayout;
    width = SpeakerLayout::get (meterLayout).numChannels;
    // Peaks are kept per meter channel, up to the last one the input feeds: an input as wide as
    // the arrangement may be reordered by the processor and feeds them all.
    peakChannels = 0;
    for (const int c : blockChannels)
        peakChannels = juce::jmax (peakChannels, c + 1);
    if (numInputChannels >= width)
        peakChannels = width;
    hop = juce::jmax (1, processor->loudnessModule.momentaryHop);
    anchor = anchorMs;
    position = 0;
    stepsTaken = 0;
    block.setSize (width, blockSize, false, true);
    newSteps.resize (LoudnessHistory::recentCapacity);
    for (auto& step : peaks)
        std::fill (std::begin (step), std::end (step), 0.0f);
    return juce::Result::ok();
}

void LiveMeter::process (const float* const* channels, int numChannels, int numSamples) noexcept
{
    const auto numInput = juce::jmin (numChannels, (int)blockChannels.size(), StepRecord::maxChannels);

    for (int offset = 0; offset < numSamples;)
    {
        // Blocks never cross a step's end, so each block's peaks belong to one step.
        const auto inStep = (int)(hop - position % hop);
        const auto n = juce::jmin (blockSize, numSamples - offset, inStep);

        for (int c = 0; c < numInput; ++c)
            if (const auto target = blockChannels[(size_t)c]; target >= 0 && channels[c] != nullptr)
                block.copyFrom (target, 0, channels[c] + offset, n);

        juce::AudioBuffer<float> audio (block.getArrayOfWritePointers(), width, n);
        playHead->setPosition (position);
        processor->processBlock (audio, midi);

        // The detector left each sample's true-peak magnitude in its buffer, in meter channels
        // (after the processor's reordering); channels no input feeds are cleared.
        auto& stepPeaks = peaks[(position / hop) % peakRing];
        if (position % hop == 0)
            std::fill (std::begin (stepPeaks), std::end (stepPeaks), 0.0f);
        const auto& magnitudes = processor->truePeakDetector.buffer;
        for (int c = 0; c < peakChannels; ++c)
            stepPeaks[c] = juce::jmax (
                stepPeaks[c], juce::FloatVectorOperations::findMaximum (magnitudes.getReadPointer (c), n));

        position += n;
        offset += n;
        takeSteps();
    }
}

void LiveMeter::takeSteps() noexcept
{
    int count = 0;
    const auto first =
        processor->loudnessHistory.copyRecent (stepsTaken, newSteps.data(), (int)newSteps.size(), count);

    for (int i = 0; i < count; ++i)
    {
        const auto index = first + i;
        const auto& s = newSteps[(size_t)i];
        StepRecord record;
        record.timeMs = anchor + (std::int64_t)std::llround (LoudnessHistory::endOfStep (index) * 1000.0);
        record.momentary = s.momentary;
        record.shortTerm = s.shortTerm;
        record.numChannels = peakChannels;
        record.layout = meterLayout;
        const auto& stepPeaks = peaks[index % peakRing];
        for (int c = 0; c < record.numChannels; ++c)
            record.truePeak[c] = stepPeaks[c] > 0.0f ? 20.0f * std::log10 (stepPeaks[c]) : -INFINITY;
        steps.push (record);
        if (feed != nullptr)
            feed->publish (record);
    }

    stepsTaken = first + count;
}
