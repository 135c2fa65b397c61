#include "dsp/Amplifier.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Vorn {

Amplifier::Amplifier(Effect* owner_, const char* name_, const Module* input, const Module* gainSource)
    : Module(owner_, name_), gain(owner_->addParameter(this, "Gain", 0.5f)), gainSource_(gainSource), input_(input)
{
}

void Amplifier::process(int, int count)
{
    float k = 2.0f * *gain;
    // A non-finite gain would turn silence (an idle envelope) into NaN.
    if (!std::isfinite(k))
        k = 0.0f;
    const float* in = input_->output;
    const float* env = gainSource_->output;
    int j = 0;
#if defined(__SSE2__)
    // Four at a time, the same operations in the same order.
    const __m128 vk = _mm_set1_ps(k);
    for (; j + 4 <= count; j += 4)
        _mm_storeu_ps(output + j, _mm_mul_ps(_mm_mul_ps(vk, _mm_loadu_ps(in + j)), _mm_loadu_ps(env + j)));
#endif
    for (; j < count; ++j)
        output[j] = k * in[j] * env[j];
}

} // namespace Vorn
