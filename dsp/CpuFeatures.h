#pragma once
// Instruction-set checks for the few kernels that have a wider vector form.
// Each is answered once; both forms compute the same lane arithmetic, so the
// choice changes the speed and never the result.

namespace Vorn {

inline bool cpuHasAvx2()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

inline bool cpuHasAvx512()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0;
    }();
    return has;
#else
    return false;
#endif
}

// AVX-512 with its instructions on 256-bit vectors (and 32 registers).
inline bool cpuHasAvx512Vl()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512vl") != 0;
    }();
    return has;
#else
    return false;
#endif
}

// The wider encodings of plain scalar loops: AVX2's three-operand forms and
// BMI2's shifts.
inline bool cpuHasAvx2AndBmi2()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("bmi2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

inline bool cpuHasSse41()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse4.1") != 0;
    }();
    return has;
#else
    return false;
#endif
}

} // namespace Vorn
