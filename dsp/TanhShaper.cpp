#include "dsp/TanhShaper.h"

#include "dsp/CpuFeatures.h"
#include "dsp/TanhLanes.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define VORN_X86 1
#endif

namespace Vorn {

using namespace TanhMath;

namespace {

// Shapes the whole groups of N samples of work[0..n); returns how many.
template <int N>
[[gnu::always_inline]] inline int applyLanes(float* work, int n, float g)
{
    using Float = typename Lanes<N>::Float;
    int i = 0;
    for (; i + N <= n; i += N) {
        Float y;
        std::memcpy(&y, work + i, sizeof y);
        y = g * y;
        tanhLanes<N>(y);
        std::memcpy(work + i, &y, sizeof y);
    }
    return i;
}

int applyFour(float* work, int n, float g)
{
    return applyLanes<4>(work, n, g);
}

#if defined(VORN_X86)
__attribute__((target("avx2"))) int applyAvx2(float* work, int n, float g)
{
    return applyLanes<8>(work, n, g);
}

__attribute__((target("avx512f"))) int applyAvx512(float* work, int n, float g)
{
    return applyLanes<16>(work, n, g);
}
#endif

} // namespace

TanhShaper::Kernel TanhShaper::widest()
{
#if defined(VORN_X86)
    if (cpuHasAvx512())
        return Kernel::Avx512;
    return cpuHasAvx2() ? Kernel::Avx2 : Kernel::Sse2;
#else
    return Kernel::Scalar;
#endif
}

void TanhShaper::apply(float* work, int n, float g)
{
    apply(work, n, g, widest());
}

void TanhShaper::apply(float* work, int n, float g, Kernel kernel)
{
    if (kernel == Kernel::Library) {
        applyExact(work, n, g);
        return;
    }
    int i = 0;
#if defined(VORN_X86)
    // Each wider form leaves its remainder to the next narrower one; they all
    // give the same bits, so the split never shows in the result.
    if (kernel == Kernel::Avx512 && cpuHasAvx512())
        i = applyAvx512(work, n, g);
    if ((kernel == Kernel::Avx512 || kernel == Kernel::Avx2) && cpuHasAvx2())
        i += applyAvx2(work + i, n - i, g);
#endif
    // Four lanes: SSE2 on x86, whatever the target has elsewhere.
    if (kernel != Kernel::Scalar)
        i += applyFour(work + i, n - i, g);
    for (; i < n; ++i)
        work[i] = tanhLane(g * work[i]);
}

void TanhShaper::applyExact(float* work, int n, float g)
{
    for (int i = 0; i < n; ++i)
        work[i] = static_cast<float>(std::tanh(static_cast<double>(g * work[i])));
}

} // namespace Vorn
