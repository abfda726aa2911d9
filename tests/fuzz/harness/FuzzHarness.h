#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The processor fed with arbitrary input, for the libFuzzer targets and for the random-input
// test that runs with the other tests. Each function takes one input and returns an empty
// text when the processor held up, otherwise what went wrong. Crashes and sanitizer reports
// speak for themselves.
namespace FuzzHarness
{
// setStateInformation with the bytes as they are; then the state must still save and load
// to the same bytes, and a block of audio must leave finite readings.
std::string feedState (const std::uint8_t* data, std::size_t size);

// The input chooses a sample rate, real-time or offline processing, block sizes and a series
// of parameter changes (any normalised float, NaN and infinities included), and supplies the
// samples as raw float bits (NaN, infinities, denormals) or as the seed of full-scale noise.
// The audio must pass unchanged, bit for bit, and the readings must stay finite.
std::string feedAudio (const std::uint8_t* data, std::size_t size);

// Destroys the processors kept between inputs.
void shutdown();
} // namespace FuzzHarness
