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
    const float* in = input_->output;
    const float raw = *drive;
    float d = std::isnan(raw) ? 0.03125f : std::clamp(raw, 0.03125f, 1.0f);
    const float g = 32.0f * d;

    if (raw == 0.0f && passThrough(count, in, g))
        return;

    float work[kSubBlock * kFactor];
    up_.upsample(count, in, work);
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

// At "Drive" 0 the blend is 1 x input + 0 x shaped, which is the input
// itself whenever the shaped sample is finite, and it is whenever the input
// is and nothing non-finite is left in the histories (where it would make
// the shaped sample NaN). Only the resampler histories have to come out as the full path leaves
// them, so that raising the drive later continues exactly: the up-sampler's
// holds the last inputs, the down-sampler's the shaped up-sampled values of
// the last two inputs (8 of the 4x stream), so only those are computed.
bool Saturator::passThrough(int count, const float* in, float g)
{
    float poison = 0.0f;
    for (int j = 0; j < count; ++j)
        poison += in[j] - in[j];
    if (!(poison == 0.0f) || !up_.historyIsFinite() || !down_.historyIsFinite())
        return false; // NaN or infinity about: the full path decides

    // The down-sampler's history spans this many inputs.
    constexpr int kSpan = kTaps / kFactor / kFactor;
    const int last = count < kSpan ? count : kSpan;
    float work[kSpan * kFactor];
    up_.upsampleLast(count, in, last, work);
    TanhShaper::apply(work, last * kFactor, g, shaperKernel);
    down_.skip(last * kFactor, work);
    for (int j = 0; j < count; ++j)
        output[j] = in[j];
    return true;
}

} // namespace Vorn
