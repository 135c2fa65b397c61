#include "dsp/TanhShaper.h"

#include "dsp/InstructionSet.h"
#include "dsp/TanhMath.h"

#if defined(VORN_X86_KERNELS)
#include "dsp/x86/Kernels.h"
#endif

namespace Vorn {

void TanhShaper::apply(float* work, int n, float g)
{
    int i = 0;
#if defined(VORN_X86_KERNELS)
    // The vector forms take the whole vectors and leave the rest to the
    // plain loop; every form gives the same bits, so the split never shows.
    i = X86::shapeTanh(work, n, g, instructionSet());
#endif
    for (; i < n; ++i)
        work[i] = TanhMath::tanhLane(g * work[i]);
}

} // namespace Vorn
