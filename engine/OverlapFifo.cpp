#include "engine/OverlapFifo.h"

#include <cmath>

OverlapFifo::OverlapFifo (int capacity, float overlapToUse)
    : fifo (capacity), buffer (numChannels, capacity), overlap (overlapToUse)
{
    buffer.clear();
}

void OverlapFifo::write (const juce::AudioSampleBuffer& source) noexcept
{
    int start1 = 0, size1 = 0, start2 = 0, size2 = 0;
    fifo.prepareToWrite (source.getNumSamples(), start1, size1, start2, size2);

    if (size1 + size2 <= 0)
        return;

    const int channelsToCopy = juce::jmin (source.getNumChannels(), numChannels);

    for (int ch = 0; ch < numChannels; ++ch)
    {
        if (ch < channelsToCopy)
        {
            const float* src = source.getReadPointer (ch);
            buffer.copyFrom (ch, start1, src, size1);

            if (size2 > 0)
                buffer.copyFrom (ch, start2, src + size1, size2);
        }
        else
        {
            // A source with fewer channels must not leave older samples behind in the
            // channels it does not have.
            buffer.clear (ch, start1, size1);

            if (size2 > 0)
                buffer.clear (ch, start2, size2);
        }
    }

    fifo.finishedWrite (size1 + size2);
}

double OverlapFifo::sumOfSquares (const float* samples, int n) noexcept
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

int OverlapFifo::readWindowPower (double* sumsOut, int length) noexcept
{
    int start1 = 0, size1 = 0, start2 = 0, size2 = 0;
    fifo.prepareToRead (length, start1, size1, start2, size2);

    for (int ch = 0; ch < numChannels; ++ch)
    {
        double sum = 0.0;

        if (size1 > 0)
            sum += sumOfSquares (buffer.getReadPointer (ch, start1), size1);

        if (size2 > 0)
            sum += sumOfSquares (buffer.getReadPointer (ch, start2), size2);

        sumsOut[ch] = sum;
    }

    const int summed = size1 + size2;
    fifo.finishedRead (hopFor (summed));
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

    const int channelsToCopy = juce::jmin (destination.getNumChannels(), numChannels);

    for (int ch = 0; ch < channelsToCopy; ++ch)
    {
        if (size1 > 0)
            destination.copyFrom (ch, 0, buffer.getReadPointer (ch, start1), size1);

        if (size2 > 0)
            destination.copyFrom (ch, size1, buffer.getReadPointer (ch, start2), size2);
    }

    fifo.finishedRead (hopFor (size1 + size2));
}
