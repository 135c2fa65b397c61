// The shaper's tanh on whole vectors of sixteen, eight and four lanes.

#include "dsp/x86/Kernels.h"
#include "dsp/x86/TanhLanes.h"

#include <cstring>

namespace Vorn {
namespace X86 {

namespace {

// Shapes the whole groups of N samples of work[0..n); returns how many.
template <int N>
[[gnu::always_inline]] inline int applyLanes(float* work, int n, float g)
{
    using Float = typename TanhMath::Lanes<N>::Float;
    int i = 0;
    for (; i + N <= n; i += N) {
        Float y;
        std::memcpy(&y, work + i, sizeof y);
        y = g * y;
        TanhMath::tanhLanes<N>(y);
        std::memcpy(work + i, &y, sizeof y);
    }
    return i;
}

int applyFour(float* work, int n, float g)
{
    return applyLanes<4>(work, n, g);
}

__attribute__((target("avx2"))) int applyAvx2(float* work, int n, float g)
{
    return applyLanes<8>(work, n, g);
}

__attribute__((target("avx512f"))) int applyAvx512(float* work, int n, float g)
{
    return applyLanes<16>(work, n, g);
}

} // namespace

int shapeTanh(float* work, int n, float g, InstructionSet level)
{
    // Each wider form leaves its remainder to the next narrower one.
    int i = 0;
    if (level >= InstructionSet::Avx512)
        i = applyAvx512(work, n, g);
    if (level >= InstructionSet::Avx2)
        i += applyAvx2(work + i, n - i, g);
    if (level >= InstructionSet::Sse2)
        i += applyFour(work + i, n - i, g);
    return i;
}

} // namespace X86
} // namespace Vorn
