#include "engine/SimdLevel.h"

#include <cstdlib>
#include <cstring>

namespace
{
SimdLevel detected() noexcept
{
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    if (__builtin_cpu_supports ("avx512f"))
        return SimdLevel::avx512;
    if (__builtin_cpu_supports ("avx2") && __builtin_cpu_supports ("fma"))
        return SimdLevel::avx2;
    if (__builtin_cpu_supports ("avx"))
        return SimdLevel::avx;
#endif
    return SimdLevel::generic;
}

SimdLevel cap() noexcept
{
    const char* value = std::getenv ("TARN51_SIMD");

    if (value == nullptr)
        return SimdLevel::avx512;

    if (std::strcmp (value, "avx2") == 0)
        return SimdLevel::avx2;
    if (std::strcmp (value, "avx") == 0)
        return SimdLevel::avx;
    if (std::strcmp (value, "generic") == 0)
        return SimdLevel::generic;

    return SimdLevel::avx512;
}
} // namespace

SimdLevel simdLevel() noexcept
{
    static const SimdLevel level = []
    {
        const auto found = detected();
        const auto limit = cap();
        return static_cast<int> (found) < static_cast<int> (limit) ? found : limit;
    }();

    return level;
}
