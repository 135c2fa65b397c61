#include "dsp/Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Vorn {

Mixer::Mixer(Effect* owner_, const char* name_, const Module* first, const Module* second)
    : Module(owner_, name_),
      balance(owner_->addParameter(this, "Balance", 0.0f)),
      ringMod(owner_->addParameter(this, "RingMod", 0.0f)),
      balanceInput{},
      ringModInput{},
      first_(first),
      second_(second)
{
}

int Mixer::format(const float* param, float value, char* text, std::size_t size)
{
    if (param == ringMod)
        return std::snprintf(text, size, "%0.0f%%", static_cast<double>(value * 100.0f));
    return Module::format(param, value, text, size);
}

void Mixer::process(int, int count)
{
    float b = balanceInput[count / 2] + *balance;
    if (std::isnan(b))
        b = 0.0f;
    b = std::clamp(b, 0.0f, 1.0f);
    // The ring amount may exceed 1 through modulation and is left as it is;
    // only a non-finite amount is dropped, since it would turn every sample
    // into NaN or infinity.
    float r = ringModInput[count / 2] + *ringMod;
    if (!std::isfinite(r))
        r = 0.0f;

    const float wB = 0.5f * b;
    const float wA = 0.5f * (1.0f - b);
    const float dry = 1.0f - r;
    const float* A = first_->output;
    const float* B = second_->output;
    int j = 0;
#if defined(__SSE2__)
    // Four samples at a time, each with the same operations in the same
    // order (the compiler will not vectorise on its own, as the output might
    // overlap the inputs).
    const __m128 vDry = _mm_set1_ps(dry), vB = _mm_set1_ps(wB), vA = _mm_set1_ps(wA), vR = _mm_set1_ps(r);
    for (; j + 4 <= count; j += 4) {
        const __m128 a = _mm_loadu_ps(A + j);
        const __m128 bb = _mm_loadu_ps(B + j);
        const __m128 mix = _mm_add_ps(_mm_mul_ps(vB, bb), _mm_mul_ps(vA, a));
        _mm_storeu_ps(output + j, _mm_add_ps(_mm_mul_ps(vDry, mix), _mm_mul_ps(vR, _mm_mul_ps(bb, a))));
    }
#endif
    for (; j < count; ++j)
        output[j] = dry * (wB * B[j] + wA * A[j]) + r * (B[j] * A[j]);
}

} // namespace Vorn
