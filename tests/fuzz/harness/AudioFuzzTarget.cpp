#include "FuzzHarness.h"

#include <cstdio>
#include <cstdlib>

// libFuzzer target: arbitrary audio, block sizes and parameter values.
extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    const auto problem = FuzzHarness::feedAudio (data, size);
    if (!problem.empty())
    {
        std::fprintf (stderr, "audio fuzz: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
