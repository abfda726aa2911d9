#include "FuzzHarness.h"

#include <cstdio>
#include <cstdlib>

// libFuzzer target: arbitrary bytes as a saved state.
extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    const auto problem = FuzzHarness::feedState (data, size);
    if (!problem.empty())
    {
        std::fprintf (stderr, "state fuzz: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
