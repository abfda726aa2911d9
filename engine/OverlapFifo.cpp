#include "engine/OverlapFifo.h"

#include "engine/SimdLevel.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <type_traits>

#if (defined(__GNUC__) || defined(__clang__)) && defined(__SSE2__)
#include <immintrin.h>
#endif

namespace
{
constexpr auto relaxed = std::memory_order_relaxed;
}

OverlapFifo::OverlapFifo (int capacityToUse, float overlapToUse, int chunkLengthToUse, int channels)
    : chunkLength (juce::jmax (1, chunkLengthToUse)), channelCount (juce::jlimit (1, maxChannels, channels)),
      fifo (capacityToUse), capacity (juce::jmax (1, capacityToUse)),
      storage (allocateZeroed<std::atomic<float>> (channelCount * capacity)),
      numChunks ((capacity + chunkLength - 1) / chunkLength),
      chunkSums (allocateZeroed<std::atomic<double>> (channelCount * numChunks)),
      pendingSamples (new float[static_cast<size_t> (channelCount * chunkLength)]()), overlap (overlapToUse)
{
    std::fill (std::begin (pendingEnd), std::end (pendingEnd), -1);
    activeMask.store ((1u << channelCount) - 1, relaxed);
}

template <typename T> std::unique_ptr<T[], OverlapFifo::FreeZeroed> OverlapFifo::allocateZeroed (int count)
{
    // Lock-free atomics of these types are the plain value in memory, so zero bytes are zeros.
    static_assert (T::is_always_lock_free && sizeof (T) == sizeof (typename T::value_type));
    static_assert (std::is_trivially_destructible_v<T>);

    auto* block = static_cast<T*> (std::calloc (static_cast<size_t> (count), sizeof (T)));

    if (block == nullptr)
        throw std::bad_alloc();

    return std::unique_ptr<T[], FreeZeroed> (block);
}

namespace
{
// Stores n samples (source nullptr: silence). The count is a plain value the loop keeps in a
// register: a count read through a reference would be read again after every store.
void storeSamples (std::atomic<float>* destination, const float* source, const int n) noexcept
{
    if (source == nullptr)
    {
        for (int i = 0; i < n; ++i)
            destination[i].store (0.0f, std::memory_order_relaxed);
        return;
    }

    int i = 0;

#if (defined(__GNUC__) || defined(__clang__)) && defined(__SSE2__)
    // Four samples per store. On x86 an aligned float is never torn by a wider store, so each
    // sample is written whole, as a relaxed store writes it; the compiler vectorises no atomics.
    static_assert (sizeof (std::atomic<float>) == sizeof (float));

    for (; i + 4 <= n; i += 4)
    {
        __m128 four = _mm_loadu_ps (source + i);
        asm volatile("movups %1, %0" : "=m"(*reinterpret_cast<float (*)[4]> (destination + i)) : "x"(four));
    }
#endif

    for (; i < n; ++i)
        destination[i].store (source[i], std::memory_order_relaxed);
}
} // namespace

void OverlapFifo::write (const juce::AudioSampleBuffer& source) noexcept
{
    int start1 = 0, size1 = 0, start2 = 0, size2 = 0;
    fifo.prepareToWrite (source.getNumSamples(), start1, size1, start2, size2);

    if (size1 + size2 <= 0)
        return;

    const auto active = getActiveChannelMask();
    const int channelsToCopy = juce::jmin (source.getNumChannels(), channelCount);

    for (int ch = 0; ch < channelCount; ++ch)
    {
        if ((active & (1u << ch)) == 0)
            continue;

        // A source with fewer channels must not leave older samples behind in the channels it
        // does not have: those get silence.
        const float* src = ch < channelsToCopy ? source.getReadPointer (ch) : nullptr;
        auto* data = channelData (ch);

        storeSamples (data + start1, src, size1);
        storeSamples (data + start2, src != nullptr ? src + size1 : nullptr, size2);
        updateChunkSums (ch, src, start1, size1);
        updateChunkSums (ch, src != nullptr ? src + size1 : nullptr, start2, size2);
    }

    fifo.finishedWrite (size1 + size2);
}

namespace
{
template <typename = void>
inline __attribute__ ((always_inline)) double sumOfSquaresLoop (const float* samples, int n) noexcept
{
    // Eight independent partial sums keep the additions from waiting on one another and
    // let the compiler use vector registers; the order differs from a single running sum
    // only by rounding far below single precision.
    double partial[8] = {};
    int i = 0;

    for (; i + 8 <= n; i += 8)
        for (int k = 0; k < 8; ++k)
        {
            const float square = samples[i + k] * samples[i + k];
            partial[k] += static_cast<double> (square);
        }

    for (; i < n; ++i)
    {
        const float square = samples[i] * samples[i];
        partial[0] += static_cast<double> (square);
    }

    return ((partial[0] + partial[1]) + (partial[2] + partial[3])) +
           ((partial[4] + partial[5]) + (partial[6] + partial[7]));
}

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define TARN_FIFO_AVX2 1
// The same sums, four partial sums a vector where the processor has AVX2 (a square is formed
// in single precision before it is widened, so no multiply and add are ever fused).
__attribute__ ((target ("avx2"))) double sumOfSquaresAvx2 (const float* samples, int n) noexcept
{
    return sumOfSquaresLoop (samples, n);
}

const bool fifoAvx2 = simdLevel() >= SimdLevel::avx2;
#else
#define TARN_FIFO_AVX2 0
#endif
} // namespace

double OverlapFifo::sumOfSquares (const float* samples, int n) noexcept
{
#if TARN_FIFO_AVX2
    if (fifoAvx2)
        return sumOfSquaresAvx2 (samples, n);
#endif
    return sumOfSquaresLoop (samples, n);
}

double OverlapFifo::sumOfSquaresQueued (int channel, int start, int n) const noexcept
{
    // The same partial sums in the same order as sumOfSquares, on the shared samples.
    const auto* samples = channelData (channel) + start;
    double partial[8] = {};
    int i = 0;

    for (; i + 8 <= n; i += 8)
        for (int k = 0; k < 8; ++k)
        {
            const float x = samples[i + k].load (relaxed);
            const float square = x * x;
            partial[k] += static_cast<double> (square);
        }

    for (; i < n; ++i)
    {
        const float x = samples[i].load (relaxed);
        const float square = x * x;
        partial[0] += static_cast<double> (square);
    }

    return ((partial[0] + partial[1]) + (partial[2] + partial[3])) +
           ((partial[4] + partial[5]) + (partial[6] + partial[7]));
}

void OverlapFifo::updateChunkSums (int channel, const float* source, int start, int n) noexcept
{
    auto* sums = channelChunkSums (channel);
    float* gathered = pendingSamples.get() + channel * chunkLength;
    const int end = start + n;

    for (int chunkStart = (start / chunkLength) * chunkLength; chunkStart < end; chunkStart += chunkLength)
    {
        const int chunkEnd = juce::jmin (chunkStart + chunkLength, capacity);
        const int from = juce::jmax (chunkStart, start);
        const int to = juce::jmin (chunkEnd, end);

        if (from == chunkStart && to == chunkEnd)
        {
            sums[chunkStart / chunkLength].store (
                source != nullptr ? sumOfSquares (source + (from - start), to - from) : 0.0, relaxed);
            continue;
        }

        // A chunk split between writes is gathered in one piece and summed like any other, so
        // its sum is the same however the audio was split. What an earlier write left is
        // normally still gathered; after a reset or a skipped write it comes from the queue.
        if (from > chunkStart && pendingEnd[channel] != from)
            copyQueued (channel, chunkStart, from - chunkStart, gathered);

        if (source != nullptr)
            std::copy (source + (from - start), source + (to - start), gathered + (from - chunkStart));
        else
            std::fill (gathered + (from - chunkStart), gathered + (to - chunkStart), 0.0f);

        if (to == chunkEnd)
        {
            sums[chunkStart / chunkLength].store (sumOfSquares (gathered, chunkEnd - chunkStart), relaxed);
            pendingEnd[channel] = -1;
        }
        else
        {
            pendingEnd[channel] = to; // completed by a later write
        }
    }
}

double OverlapFifo::sumOfSquaresRange (int channel, int start, int n) const noexcept
{
    const auto* sums = channelChunkSums (channel);
    const int end = start + n;
    double sum = 0.0;

    int position = start;
    int chunk = start / chunkLength;

    // A ragged start, the whole chunks, a ragged end: the same order of additions every time.
    if (position > chunk * chunkLength)
    {
        const int stop = juce::jmin ((chunk + 1) * chunkLength, end);
        sum += sumOfSquaresQueued (channel, position, stop - position);
        position = stop;
        ++chunk;
    }

    for (; position < end; ++chunk)
    {
        const int chunkEnd = juce::jmin (position + chunkLength, capacity);

        if (chunkEnd > end)
        {
            sum += sumOfSquaresQueued (channel, position, end - position);
            break;
        }

        sum += sums[chunk].load (relaxed);
        position = chunkEnd;
    }

    return sum;
}

void OverlapFifo::copyQueued (int channel, int start, int n, float* destination) const noexcept
{
    const auto* samples = channelData (channel) + start;

    for (int i = 0; i < n; ++i)
        destination[i] = samples[i].load (relaxed);
}

int OverlapFifo::readWindowPower (double* sumsOut, int length) noexcept
{
    return readWindowPower (sumsOut, length, -1);
}

int OverlapFifo::readPosition() const noexcept
{
    // Asked for one sample: a read of none reports position 0 wherever the queue stands.
    int start1 = 0, size1 = 0, start2 = 0, size2 = 0;
    fifo.prepareToRead (1, start1, size1, start2, size2);
    return start1;
}

void OverlapFifo::setActiveChannelMask (juce::uint32 mask) noexcept
{
    activeMask.store (mask & ((1u << channelCount) - 1), relaxed);
}

int OverlapFifo::readWindowPower (double* sumsOut, int length, int hop) noexcept
{
    int start1 = 0, size1 = 0, start2 = 0, size2 = 0;
    fifo.prepareToRead (length, start1, size1, start2, size2);
    const auto active = getActiveChannelMask();

    for (int ch = 0; ch < channelCount; ++ch)
    {
        double sum = 0.0;

        if ((active & (1u << ch)) == 0)
        {
            sumsOut[ch] = 0.0;
            continue;
        }

        if (size1 > 0)
            sum += sumOfSquaresRange (ch, start1, size1);

        if (size2 > 0)
            sum += sumOfSquaresRange (ch, start2, size2);

        sumsOut[ch] = sum;
    }

    const int summed = size1 + size2;
    fifo.finishedRead (hop < 0 ? hopFor (summed) : juce::jmin (hop, summed));
    return summed;
}

int OverlapFifo::hopFor (int windowLength) const noexcept
{
    // The hop is worked out in single precision on purpose: with an overlap of 0.8 it
    // comes out one sample short of a fifth of the window (28799 at 48 kHz).
    const float hop = (1.0f - overlap) * static_cast<float> (windowLength);
    return static_cast<int> (std::floor (hop));
}

void OverlapFifo::readWindow (juce::AudioSampleBuffer& destination, int length) noexcept
{
    int start1 = 0, size1 = 0, start2 = 0, size2 = 0;
    fifo.prepareToRead (juce::jmin (length, destination.getNumSamples()), start1, size1, start2, size2);

    destination.clear();

    const int channelsToCopy = juce::jmin (destination.getNumChannels(), channelCount);
    const auto active = getActiveChannelMask();

    for (int ch = 0; ch < channelsToCopy; ++ch)
    {
        if ((active & (1u << ch)) == 0)
            continue;

        if (size1 > 0)
            copyQueued (ch, start1, size1, destination.getWritePointer (ch, 0));

        if (size2 > 0)
            copyQueued (ch, start2, size2, destination.getWritePointer (ch, size1));
    }

    fifo.finishedRead (hopFor (size1 + size2));
}
