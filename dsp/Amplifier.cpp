#include "dsp/Amplifier.h"

#include "dsp/NonFinite.h"

namespace Vorn {

namespace {

// The buffers never overlap; said so, the compiler vectorises the loop
// (each sample still takes the same operations in the same order).
void amplify(float* __restrict out, const float* __restrict in, const float* __restrict env, float k, int count)
{
    for (int j = 0; j < count; ++j)
        out[j] = k * in[j] * env[j];
}

} // namespace

Amplifier::Amplifier(Effect* owner_, const char* name_, const Module* input, const Module* gainSource)
    : Module(owner_, name_), gain(owner_->addParameter(this, "Gain", 0.5f)), gainSource_(gainSource), input_(input)
{
}

void Amplifier::process(int, int count)
{
    // A non-finite gain would turn silence (an idle envelope) into NaN.
    const float k = finiteOr(2.0f * *gain, 0.0f);
    amplify(output, input_->output, gainSource_->output, k, count);
}

} // namespace Vorn
