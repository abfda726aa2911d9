#pragma once

#include "engine/SpeakerLayout.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <cstdlib>
#include <memory>

// A single-producer, single-consumer queue of the meter's channels (up to twelve) that hands out
// overlapping analysis windows: reading a window copies its samples but consumes only
// the part that does not overlap the next window.
//
// write() runs on the audio thread, numReady() and readWindow() on the reading thread;
// reset() may be called from either side or a third thread (a window read across it may mix
// old and new samples once). Because a reset lets the writer reuse space the reader may still
// be reading, the samples are stored as relaxed atomics: such a mixture is then a matter of
// values, never a data race. As with any juce::AbstractFifo, a queue of capacity C holds at
// most C - 1 samples per channel. Nothing here allocates after construction.
//
// Windows overlap, so each sample lies in several of them. The writer therefore sums the
// squares of every fixed stretch (chunk) of the storage once, when the stretch is complete, and
// a window's power is the sum of the chunk sums it covers plus its ragged ends. A chunk is always
// summed over all its samples in one go, so the sums do not depend on how the audio was split
// into writes.
class OverlapFifo
{
public:
    // The channels of 5.1, which a queue holds unless told otherwise, and the most it holds.
    static constexpr int numChannels = 6;
    static constexpr int maxChannels = SpeakerLayout::maxChannels;

    // chunkLength: samples per stretch whose squares are summed once (see above). A window
    // that starts and ends on stretch boundaries is summed from the stretches alone.
    // channels: 1 to maxChannels.
    OverlapFifo (int capacity, float overlap, int chunkLength = defaultChunkLength,
                 int channels = numChannels);

    int getNumChannels() const noexcept { return channelCount; }

    // Appends as much of source as fits; the rest is dropped.
    void write (const juce::AudioSampleBuffer& source) noexcept;

    // Samples per channel waiting in the queue.
    int numReady() const noexcept { return fifo.getNumReady(); }

    // Copies the oldest `length` samples (or fewer, if fewer are queued) into destination,
    // which is cleared first, and consumes floor ((1 - overlap) * copied) of them.
    void readWindow (juce::AudioSampleBuffer& destination, int length) noexcept;

    // The same window as readWindow, evaluated where it lies in the queue: stores each
    // channel's sum of squares (every square formed in single precision, as
    // juce::AudioSampleBuffer::getRMSLevel forms them, and summed in double precision) in
    // sumsOut[0..getNumChannels() - 1], consumes the same hop and returns the number of samples summed.
    // Copying a window out before summing it would move each sample several times more.
    int readWindowPower (double* sumsOut, int length) noexcept;

    // The same, consuming `hop` samples (at most the window) instead of the overlap's hop.
    int readWindowPower (double* sumsOut, int length, int hop) noexcept;

    // Where the next window starts in the storage (0 after a reset); 0 while the queue is empty.
    int readPosition() const noexcept;

    // Sum of the squares of n samples, as described above.
    static double sumOfSquares (const float* samples, int n) noexcept;

    // Empties the queue; the stored samples are left as they are.
    void reset() noexcept { fifo.reset(); }

    // The channels that carry audio, one bit each (bit 0 the first): write() stores only these,
    // and the others read as silence. Writer's side; a queue that takes on channels must be
    // reset before the next write, or the channels it takes on would show what they held before.
    void setActiveChannelMask (juce::uint32 mask) noexcept;
    juce::uint32 getActiveChannelMask() const noexcept { return activeMask.load (std::memory_order_relaxed); }

    int getCapacity() const noexcept { return fifo.getTotalSize(); }
    float getOverlap() const noexcept { return overlap; }
    int getChunkLength() const noexcept { return chunkLength; }

    static constexpr int defaultChunkLength = 64;

private:
    int hopFor (int windowLength) const noexcept;

    // Samples per chunk; the last chunk of the storage may be shorter.
    const int chunkLength;

    // Stores the squares' sums of the chunks that samples [start, start + n) of one channel
    // complete; source holds those n samples, already stored (nullptr: silence).
    void updateChunkSums (int channel, const float* source, int start, int n) noexcept;

    // Sum of squares of queued samples [start, start + n) of one channel, from chunk sums
    // where whole chunks lie in the range; the range does not wrap.
    double sumOfSquaresRange (int channel, int start, int n) const noexcept;

    // Sum of squares of n queued samples of one channel from position start, as sumOfSquares.
    double sumOfSquaresQueued (int channel, int start, int n) const noexcept;
    void copyQueued (int channel, int start, int n, float* destination) const noexcept;
    std::atomic<float>* channelData (int channel) noexcept { return storage.get() + channel * capacity; }
    const std::atomic<float>* channelData (int channel) const noexcept
    {
        return storage.get() + channel * capacity;
    }
    std::atomic<double>* channelChunkSums (int channel) noexcept
    {
        return chunkSums.get() + channel * numChunks;
    }
    const std::atomic<double>* channelChunkSums (int channel) const noexcept
    {
        return chunkSums.get() + channel * numChunks;
    }

    // Zero-filled blocks from calloc: large ones arrive as untouched zero pages, so the
    // channels no input feeds never cost memory or time. All-zero bits are 0.0 in either type.
    struct FreeZeroed
    {
        void operator() (void* block) const noexcept { std::free (block); }
    };
    template <typename T> static std::unique_ptr<T[], FreeZeroed> allocateZeroed (int count);

    const int channelCount;
    juce::AbstractFifo fifo;
    int capacity;
    std::unique_ptr<std::atomic<float>[], FreeZeroed> storage; // numChannels x capacity samples
    int numChunks;
    std::unique_ptr<std::atomic<double>[], FreeZeroed> chunkSums; // numChannels x numChunks
    // Writer only: the samples of each channel's chunk that the last write left unfinished,
    // gathered from the writer's own source, and where that write ended (-1: none pending).
    std::unique_ptr<float[]> pendingSamples; // channelCount x chunkLength
    int pendingEnd[maxChannels];
    float overlap;
    std::atomic<juce::uint32> activeMask{0}; // every channel, from the constructor on

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OverlapFifo)
};
