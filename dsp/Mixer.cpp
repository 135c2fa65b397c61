#include "dsp/Mixer.h"

#include "dsp/NonFinite.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Vorn {

namespace {

// The buffers never overlap; said so, the compiler vectorises the loop
// (each sample still takes the same operations in the same order).
void mix(float* __restrict out, const float* __restrict A, const float* __restrict B, float dry, float wB, float wA,
         float r, int count)
{
    for (int j = 0; j < count; ++j)
        out[j] = dry * (wB * B[j] + wA * A[j]) + r * (B[j] * A[j]);
}

} // namespace

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
    const float b = clampSetting(balanceInput[count / 2] + *balance, 0.0f, 1.0f);
    // The ring amount may exceed 1 through modulation and is left as it is;
    // only a non-finite amount is dropped, since it would turn every sample
    // into NaN or infinity.
    const float r = finiteOr(ringModInput[count / 2] + *ringMod, 0.0f);

    const float wB = 0.5f * b;
    const float wA = 0.5f * (1.0f - b);
    const float dry = 1.0f - r;
    mix(output, first_->output, second_->output, dry, wB, wA, r, count);
}

} // namespace Vorn
