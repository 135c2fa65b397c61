// The process-wide level: the widest the processor has unless a scope holds
// another, and never one it lacks.

#include "dsp/InstructionSet.h"

#include <gtest/gtest.h>

using namespace Vorn;

TEST(InstructionSet, ScopesNestRestoreAndNeverExceedTheProcessor)
{
    const InstructionSet widest = widestInstructionSet();
#if defined(VORN_X86_KERNELS)
    EXPECT_GE(widest, InstructionSet::Sse2); // every x86-64 processor has SSE2
#endif
    EXPECT_EQ(instructionSet(), widest);
    {
        const ScopedInstructionSet outer(InstructionSet::Scalar);
        EXPECT_EQ(instructionSet(), InstructionSet::Scalar);
        {
            const ScopedInstructionSet inner(InstructionSet::Avx512);
            EXPECT_EQ(instructionSet(), widest);
            EXPECT_EQ(ScopedInstructionSet::available(InstructionSet::Avx512), widest == InstructionSet::Avx512);
        }
        EXPECT_EQ(instructionSet(), InstructionSet::Scalar);
    }
    EXPECT_EQ(instructionSet(), widest);
}
