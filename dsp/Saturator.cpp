#include "dsp/Saturator.h"

#include <algorithm>
#include <cmath>

namespace Vorn {

const float kOversampleFir[32] = {
    -0.000319f, -0.001087f, -0.002291f, -0.004043f, -0.006035f, -0.007452f, -0.007053f, -0.003424f,
    0.004648f,  0.017766f,  0.035608f,  0.056797f,  0.07902f,   0.099395f,  0.115002f,  0.123469f,
    0.123469f,  0.115002f,  0.099395f,  0.07902f,   0.056797f,  0.035608f,  0.017766f,  0.004648f,
    -0.003424f, -0.007053f, -0.007452f, -0.006035f, -0.004043f, -0.002291f, -0.001087f, -0.000319f,
};

Saturator::Saturator(Effect* owner_, const char* name_, const Module* input)
    : Module(owner_, name_), drive(owner_->addParameter(this, "Drive", 0.0f)), input_(input)
{
    up_.setup(kOversampleFir, kTaps, kFactor);
    down_.setup(kOversampleFir, kTaps, kFactor);
}

void Saturator::process(int, int count)
{
    float work[kSubBlock * kFactor];
    const float* in = input_->output;
    up_.upsample(count, in, work);

    const float raw = *drive;
    float d = std::isnan(raw) ? 0.03125f : std::clamp(raw, 0.03125f, 1.0f);
    const float g = 32.0f * d;
    TanhShaper::apply(work, count * kFactor, g, shaperKernel);

    down_.downsample(count, work, output);

    // The blend uses the raw drive, so "Drive" 0 passes the input untouched.
    // A non-finite drive would make every sample NaN; it blends with the
    // shaper's clamped drive instead.
    const float wet = std::isfinite(raw) ? raw : d;
    const float dry = 1.0f - wet;
    for (int j = 0; j < count; ++j)
        output[j] = dry * in[j] + wet * output[j];
}

} // namespace Vorn
