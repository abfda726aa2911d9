#pragma once

// A reader that decodes front to back and may not know its length before the end (a pipe, a
// container whose length is only an estimate). The meter then reads until the source ends
// instead of up to the reader's lengthInSamples.
class SequentialSource
{
public:
    virtual ~SequentialSource() = default;

    // Reads the next numSamples samples of each channel into destinations (nullptr skips a
    // channel). Returns how many were read: fewer than asked only at the end.
    virtual int readNext (float* const* destinations, int numDestinations, int numSamples) = 0;

    // Whether lengthInSamples tells about how long the input is (for progress); the input's real
    // length shows only at its end. Not for a pipe.
    virtual bool lengthKnown() const = 0;

    // Packets or frames that could not be decoded so far; what decoded was read all the same.
    virtual int decodeErrors() const = 0;
};
