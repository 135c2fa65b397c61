#include "dsp/Amplifier.h"

#include <cmath>

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
    for (int j = 0; j < count; ++j)
        output[j] = k * in[j] * env[j];
}

} // namespace Vorn
