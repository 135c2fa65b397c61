#include "dsp/Redux.h"

#include "dsp/InstructionSet.h"
#include "dsp/NonFinite.h"

#if defined(VORN_X86_KERNELS)
#include "dsp/x86/Kernels.h"
#endif

#include <cmath>
#include <cstdio>

namespace Vorn {

namespace {

// x = step * floor(scale * x + 0.5), sample by sample.
void quantize(float* x, int count, float scale, float step)
{
    int i = 0;
#if defined(VORN_X86_KERNELS)
    if (instructionSet() >= InstructionSet::Sse41)
        i = X86::quantize(x, count, scale, step);
#endif
    for (; i < count; ++i)
        x[i] = step * std::floor(scale * x[i] + 0.5f);
}

} // namespace

Redux::Redux(Effect* owner_, const char* name_, const Module* input)
    : Module(owner_, name_),
      crush_(owner_->addParameter(this, "Crush", 0.0f)),
      rate_(owner_->addParameter(this, "Rate", 0.0f)),
      input_(input)
{
}

void Redux::process(int, int count)
{
    const float* in = input_->output;
    const float r = unitRange(*rate_);
    if (r == 0.0f) {
        // No reduction: the hold state is left alone so that switching the
        // rate back on continues the old pattern.
        copySamples(output, in, count);
    } else {
        // A new sample is taken every c + 2 samples.
        const int32_t c = static_cast<int32_t>(r * 64.0f);
        for (int i = 0; i < count; ++i) {
            const int32_t d = holdCounter_;
            holdCounter_ = d + 1;
            if (d > c) {
                holdCounter_ = 0;
                held_ = in[i];
            }
            output[i] = held_;
        }
    }

    const float k = unitRange(*crush_);
    if (k > 0.0f) {
        const int bits = static_cast<int>(32.0f - 28.0f * k);
        const float scale = std::ldexp(1.0f, bits) * 0.5f;
        const float step = 1.0f / scale;
        quantize(output, count, scale, step);
    }
}

int Redux::format(const float* param, float value, char* text, std::size_t size)
{
    if (param == rate_) {
        const unsigned factor = static_cast<unsigned>(unitRange(value) * 63.0f + 1.0f);
        return std::snprintf(text, size, "%ux", factor);
    }
    if (param == crush_) {
        const unsigned bits = static_cast<unsigned>(32.0f - unitRange(value) * 28.0f);
        if (bits == 32u)
            return std::snprintf(text, size, "off");
        return std::snprintf(text, size, "%u", bits);
    }
    return Module::format(param, value, text, size);
}

} // namespace Vorn
