#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <memory>

// A single-producer, single-consumer queue of six-channel audio that hands out
// overlapping analysis windows: reading a window copies its samples but consumes only
// the part that does not overlap the next window.
//
// write() runs on the audio thread, numReady() and readWindow() on the reading thread;
// reset() may be called from either side or a third thread (a window read across it may mix
// old and new samples once). Because a reset lets the writer reuse space the reader may still
// be reading, the samples are stored as relaxed atomics: such a mixture is then a matter of
// values, never a data race. As with any juce::AbstractFifo, a queue of capacity C holds at
// most C - 1 samples per channel. Nothing here allocates after construction.
class OverlapFifo
{
public:
    static constexpr int numChannels = 6;

    OverlapFifo (int capacity, float overlap);

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
    // sumsOut[0..5], consumes the same hop and returns the number of samples summed.
    // Copying a window out before summing it would move each sample several times more.
    int readWindowPower (double* sumsOut, int length) noexcept;

    // Sum of the squares of n samples, as described above.
    static double sumOfSquares (const float* samples, int n) noexcept;

    // Empties the queue; the stored samples are left as they are.
    void reset() noexcept { fifo.reset(); }

    int getCapacity() const noexcept { return fifo.getTotalSize(); }
    float getOverlap() const noexcept { return overlap; }

private:
    int hopFor (int windowLength) const noexcept;

    // Sum of squares of n queued samples of one channel from position start, as sumOfSquares.
    double sumOfSquaresQueued (int channel, int start, int n) const noexcept;
    void copyQueued (int channel, int start, int n, float* destination) const noexcept;
    std::atomic<float>* channelData (int channel) noexcept { return storage.get() + channel * capacity; }
    const std::atomic<float>* channelData (int channel) const noexcept
    {
        return storage.get() + channel * capacity;
    }

    juce::AbstractFifo fifo;
    int capacity;
    std::unique_ptr<std::atomic<float>[]> storage; // numChannels x capacity samples
    float overlap;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OverlapFifo)
};
