#pragma once

// The widest vector instructions the engine's vectorised loops may use, decided once per
// process from what the processor has. TARN51_SIMD in the environment caps it ("avx512",
// "avx2", "avx" or "generic"), so that the paths a machine without AVX-512 takes can be run
// and measured on one that has it; a cap above what the processor has changes nothing.
enum class SimdLevel
{
    generic = 0,
    avx = 1,
    avx2 = 2, // AVX2 with FMA
    avx512 = 3
};

// Thread-safe; the first call decides.
SimdLevel simdLevel() noexcept;
