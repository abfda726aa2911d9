#include "OfflineMeter.h"

#include "MeterSetup.h"
#include "OfflinePlayHead.h"
#include "SequentialSource.h"

#include "processor/Tarn51AudioProcessor.h"

#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

namespace
{
// The widest block: twelve channels (7.1.4); a block has as many as its arrangement.
constexpr int maxBlockChannels = SpeakerLayout::maxChannels;

// Reads the input in chunks of whole blocks (large reads, few calls). Each input channel is
// read straight into its place in a six-channel chunk; channels that no input channel feeds
// stay silent. A sequential source is read until it ends, whatever length it gave; any other
// reader up to its length. With `ahead`, a thread of its own reads while the caller measures, so that
// decoding and measuring overlap; three chunks at most exist, so memory does not grow with the
// length of the input. Without, the caller's next() reads into the one chunk.
class ChunkReader
{
public:
    struct Chunk
    {
        juce::AudioBuffer<float> audio;
        juce::int64 start = 0;
        int length = 0;      // samples read
        bool failed = false; // reading stopped at start + length
        bool last = false;   // the input ended at start + length
    };

    ChunkReader (juce::AudioFormatReader& source, const std::vector<int>& channels, int width,
                 int blockSamples, juce::int64 totalLength, bool ahead)
        : reader (source), sequential (dynamic_cast<SequentialSource*> (&source)), inputChannels (channels),
          blockSize (blockSamples),
          length (sequential != nullptr ? std::numeric_limits<juce::int64>::max() : totalLength),
          chunkSize (blockSamples * std::max (1, targetChunk / blockSamples)), numChunks (ahead ? 3 : 1)
    {
        // Zeroed by the allocator: the channels no input feeds are never touched.
        for (int i = 0; i < numChunks; ++i)
            chunks[i].audio.setSize (width, chunkSize, false, true);

        if (ahead)
            thread = std::thread ([this] { readAhead(); });
    }

    ~ChunkReader()
    {
        if (!thread.joinable())
            return;

        {
            const std::lock_guard<std::mutex> guard (lock);
            stopping = true;
        }
        changed.notify_all();
        thread.join();
    }

    // The next chunk in file order, once it is read; nullptr after the last one, and after one
    // that failed.
    Chunk* next()
    {
        if (!thread.joinable())
        {
            const auto position = consumed * chunkSize;
            if (position >= length || (consumed > 0 && (chunks[0].failed || chunks[0].last)))
                return nullptr;

            ++consumed;
            fill (chunks[0], position);
            return &chunks[0];
        }

        std::unique_lock<std::mutex> guard (lock);

        if (consumed > 0)
        {
            ++freed; // the previous chunk is done with
            changed.notify_all();
        }

        changed.wait (guard, [this] { return filled > consumed || (finished && filled == consumed); });
        return filled > consumed ? &chunks[(consumed++) % numChunks] : nullptr;
    }

private:
    // Large enough that handing chunks between the threads costs little.
    static constexpr int targetChunk = 65536;

    void readAhead()
    {
        bool failed = false;

        for (juce::int64 index = 0, ended = 0; index * chunkSize < length && !failed && ended == 0; ++index)
        {
            {
                std::unique_lock<std::mutex> guard (lock);
                changed.wait (guard, [this, index] { return stopping || index - freed < numChunks; });
                if (stopping)
                    return;
            }

            auto& chunk = chunks[index % numChunks];
            failed = !fill (chunk, index * chunkSize);
            ended = chunk.last ? 1 : 0;

            const std::lock_guard<std::mutex> guard (lock);
            ++filled;
            changed.notify_all();
        }

        const std::lock_guard<std::mutex> guard (lock);
        finished = true;
        changed.notify_all();
    }

    // False when reading failed; the chunk then holds the blocks before the one that failed.
    bool fill (Chunk& chunk, juce::int64 position)
    {
        chunk.start = position;
        chunk.length = static_cast<int> (std::min<juce::int64> (chunkSize, length - position));
        chunk.failed = false;
        chunk.last = false;

        if (sequential != nullptr)
        {
            float* destinations[maxBlockChannels]{};
            const auto numInput = std::min (maxBlockChannels, static_cast<int> (inputChannels.size()));
            for (int c = 0; c < numInput; ++c)
                destinations[c] = inputChannels[(size_t)c] >= 0
                                      ? chunk.audio.getWritePointer (inputChannels[(size_t)c])
                                      : nullptr;

            chunk.length = sequential->readNext (destinations, numInput, chunk.length);
            chunk.last = chunk.length < chunkSize;
            return true;
        }

        if (read (chunk, 0, chunk.length))
            return true;

        int done = 0;
        while (done < chunk.length && read (chunk, done, std::min (blockSize, chunk.length - done)))
            done += blockSize;

        chunk.length = std::min (done, chunk.length);
        chunk.failed = true;
        return false;
    }

    bool read (Chunk& chunk, int offset, int count)
    {
        // Inputs have at most twelve channels: no layout exists for more.
        float* destinations[maxBlockChannels]{};
        const auto numInput = std::min (maxBlockChannels, static_cast<int> (inputChannels.size()));

        for (int c = 0; c < numInput; ++c)
            destinations[c] = inputChannels[(size_t)c] >= 0
                                  ? chunk.audio.getWritePointer (inputChannels[(size_t)c]) + offset
                                  : nullptr;

        return reader.read (destinations, numInput, chunk.start + offset, count);
    }

    juce::AudioFormatReader& reader;
    SequentialSource* const sequential;
    const std::vector<int>& inputChannels;
    const int blockSize;
    const juce::int64 length;
    const int chunkSize;
    const int numChunks;
    Chunk chunks[3];

    std::mutex lock;
    std::condition_variable changed;
    juce::int64 filled = 0, consumed = 0, freed = 0;
    bool finished = false, stopping = false;
    std::thread thread;
};

} // namespace

bool OfflineMeter::isSupportedRate (double sampleRate)
{
    return sampleRate >= OSKALoudnessModule::minimumRate && sampleRate <= OSKALoudnessModule::maximumRate;
}

juce::String OfflineMeter::supportedRatesText()
{
    return juce::String (OSKALoudnessModule::minimumRate) + " to " +
           juce::String (OSKALoudnessModule::maximumRate) + " Hz";
}

juce::Result OfflineMeter::measure (juce::AudioFormatReader& reader, const InputLayout& layout,
                                    const MeasureOptions& options, const Progress& progress,
                                    Measurement& result, bool readAhead, const StepSink& steps)
{
    const auto sampleRate = reader.sampleRate;
    const auto blockSize = options.blockSize;
    const auto numInputChannels = static_cast<int> (reader.numChannels);

    Tarn51AudioProcessor processor;
    OfflinePlayHead playHead (sampleRate);

    if (const auto prepared =
            MeterSetup::prepare (processor, playHead, sampleRate, numInputChannels, layout, options);
        prepared.failed())
        return prepared;

    juce::MidiBuffer midi;

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

    // A sequential source's length is a guess for progress only, or not known at all.
    const auto* sequential = dynamic_cast<const SequentialSource*> (&reader);
    const auto length = std::max<juce::int64> (0, reader.lengthInSamples);
    const bool lengthKnown = sequential == nullptr || (sequential->lengthKnown() && length > 0);
    juce::int64 measured = 0;
    auto lastProgress = juce::Time::getMillisecondCounter();
    juce::Result outcome = juce::Result::ok();
    const int width = SpeakerLayout::get (layout.meterLayout).numChannels;
    ChunkReader input (reader, layout.blockChannels, width, blockSize, length, readAhead);

    while (auto* chunk = input.next())
    {
        for (int offset = 0; offset < chunk->length; offset += blockSize)
        {
            // The last block of a file may be shorter: the same channels, n samples of them.
            const auto n = std::min (blockSize, chunk->length - offset);
            float* channels[maxBlockChannels];
            for (int c = 0; c < width; ++c)
                channels[c] = chunk->audio.getWritePointer (c) + offset;

            juce::AudioBuffer<float> audio (channels, width, n);
            playHead.setPosition (chunk->start + offset);
            processor.processBlock (audio, midi);

            if (steps != nullptr)
                takeSteps();

            if (progress != nullptr && juce::Time::getMillisecondCounter() - lastProgress >= 200)
            {
                lastProgress = juce::Time::getMillisecondCounter();
                progress (lengthKnown ? std::min (1.0, static_cast<double> (chunk->start + offset + n) /
                                                           static_cast<double> (length))
                                      : -1.0);
            }
        }

        measured = chunk->start + chunk->length;

        if (chunk->failed)
        {
            const auto position = chunk->start + chunk->length;
            outcome = juce::Result::fail (
                "read error at " + juce::String (static_cast<double> (position) / sampleRate, 3) + " s");
            break;
        }
    }

    processor.releaseResources();
    processor.setPlayHead (nullptr);

    if (outcome.failed())
        return outcome;

    result.productName = processor.getName();
    result.sampleRate = sampleRate;
    result.numChannels = numInputChannels;
    result.lengthInSamples = sequential != nullptr ? measured : length;
    result.decodeErrors = sequential != nullptr ? sequential->decodeErrors() : 0;
    result.standard = options.standard;
    result.momentaryThreshold = MeterSetup::valueOf (processor, "ML Threshold");
    result.shortTermThreshold = MeterSetup::valueOf (processor, "STL Threshold");
    result.readings = processor.readings;
    result.results = processor.latestResults;
    result.truePeakLimit = MeterSetup::valueOf (processor, "TruePeak Max Level");

    if (options.plotPath.isNotEmpty())
    {
        result.overview.resize (LoudnessHistory::overviewCapacity);
        result.overviewShape = processor.loudnessHistory.copyOverview (result.overview.data());
        result.overview.resize ((size_t)result.overviewShape.numBuckets);
    }

    result.target = options.target;
    if (options.target)
    {
        result.verdict = options.target->judge (result.readings, result.standard);

        // Readings of a programme with parts missing cannot pass a delivery check.
        if (result.decodeErrors > 0)
            result.verdict.failures.push_back ({"decodeErrors", static_cast<double> (result.decodeErrors),
                                                juce::String (result.decodeErrors) + " decode errors"});
    }
    return juce::Result::ok();
}
