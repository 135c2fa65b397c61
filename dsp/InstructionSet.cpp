#include "dsp/InstructionSet.h"

#include <algorithm>
#include <atomic>

namespace Vorn {

namespace {

InstructionSet detect()
{
#if defined(VORN_X86_KERNELS)
    __builtin_cpu_init();
    // Each level requires the ones before it, so a processor that lacks a
    // narrower feature never runs a wider form either.
    if (!__builtin_cpu_supports("sse2"))
        return InstructionSet::Scalar;
    if (!__builtin_cpu_supports("sse4.1"))
        return InstructionSet::Sse2;
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("bmi2"))
        return InstructionSet::Sse41;
    if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512vl"))
        return InstructionSet::Avx2;
    return InstructionSet::Avx512;
#else
    return InstructionSet::Scalar;
#endif
}

} // namespace

std::atomic<InstructionSet> Detail::activeInstructionSet{widestInstructionSet()};

InstructionSet widestInstructionSet()
{
    static const InstructionSet widest = detect();
    return widest;
}

const char* instructionSetName(InstructionSet level)
{
    switch (level) {
    case InstructionSet::Scalar:
        return "Scalar";
    case InstructionSet::Sse2:
        return "SSE2";
    case InstructionSet::Sse41:
        return "SSE4.1";
    case InstructionSet::Avx2:
        return "AVX2";
    case InstructionSet::Avx512:
        return "AVX-512";
    }
    return "?";
}

ScopedInstructionSet::ScopedInstructionSet(InstructionSet level)
    : previous_(
          Detail::activeInstructionSet.exchange(std::min(level, widestInstructionSet()), std::memory_order_relaxed))
{
}

ScopedInstructionSet::~ScopedInstructionSet()
{
    Detail::activeInstructionSet.store(previous_, std::memory_order_relaxed);
}

} // namespace Vorn
