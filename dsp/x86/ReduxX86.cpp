// The reducer's rounding, four samples at a time.

#include "dsp/x86/Kernels.h"

#include <immintrin.h>

namespace Vorn {
namespace X86 {

// SSE4.1 rounds down in one instruction, to the same result as floor();
// without it floor() takes a call or a long sequence per sample.
__attribute__((target("sse4.1"))) int quantize(float* x, int count, float scale, float step)
{
    const __m128 vScale = _mm_set1_ps(scale), vStep = _mm_set1_ps(step), half = _mm_set1_ps(0.5f);
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 v = _mm_add_ps(_mm_mul_ps(vScale, _mm_loadu_ps(x + i)), half);
        _mm_storeu_ps(x + i, _mm_mul_ps(vStep, _mm_floor_ps(v)));
    }
    return i;
}

} // namespace X86
} // namespace Vorn
