#pragma once
// The one choice of instruction set for the whole process.
//
// A few modules have fast paths: vector forms of their plain loops, in
// dsp/x86/, that compute every sample with exactly the same float operations
// in the same order. So the choice changes the speed and never a bit of the
// result. Each module's .cpp holds the plain form and asks instructionSet()
// which form to run; the processor is examined once, here.
//
// VORN_X86_KERNELS is defined by the build where the x86 forms are compiled
// in; elsewhere every module runs its plain form.

#include <atomic>

namespace Vorn {

// In order of width; each level includes every level before it.
enum class InstructionSet {
    Scalar, // the plain forms only: no vector kernel runs
    Sse2,   // four-float vectors (x86-64's baseline)
    Sse41,  // SSE4.1's rounding instructions
    Avx2,   // AVX2 with BMI2: eight-float vectors, three-operand forms, shifts without flags
    Avx512, // AVX-512 F and VL: sixteen-float vectors and 32 vector registers
};

// The widest level this processor and this build support.
InstructionSet widestInstructionSet();

namespace Detail {
// The level in force: set to the widest when the program starts (until then
// it reads Scalar), changed only by ScopedInstructionSet.
extern std::atomic<InstructionSet> activeInstructionSet;
} // namespace Detail

// The level the fast paths run at: the widest, unless a ScopedInstructionSet
// holds another. One load, inline: every fast path asks on every call.
inline InstructionSet instructionSet()
{
    return Detail::activeInstructionSet.load(std::memory_order_relaxed);
}
// "Scalar", "SSE2", "SSE4.1", "AVX2", "AVX-512".
const char* instructionSetName(InstructionSet level);

// For tests and benchmarks: the fast paths run at `level` while this lives,
// or at the widest supported level where the processor lacks it (available()
// tells beforehand). Process-wide; meant for a thread that renders alone.
class ScopedInstructionSet {
public:
    explicit ScopedInstructionSet(InstructionSet level);
    ~ScopedInstructionSet();
    ScopedInstructionSet(const ScopedInstructionSet&) = delete;
    ScopedInstructionSet& operator=(const ScopedInstructionSet&) = delete;

    static bool available(InstructionSet level) { return level <= widestInstructionSet(); }

private:
    InstructionSet previous_;
};

} // namespace Vorn
