#include "dsp/Saturator.h"

#include "dsp/InstructionSet.h"
#include "dsp/NonFinite.h"
#include "dsp/NonFiniteWatch.h"
#include "dsp/TanhShaper.h"

#if defined(VORN_X86_KERNELS)
#include "dsp/x86/Kernels.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Vorn {

const float kOversampleFir[FirResampler::kTaps] = {
    -0.000319f, -0.001087f, -0.002291f, -0.004043f, -0.006035f, -0.007452f, -0.007053f, -0.003424f,
    0.004648f,  0.017766f,  0.035608f,  0.056797f,  0.07902f,   0.099395f,  0.115002f,  0.123469f,
    0.123469f,  0.115002f,  0.099395f,  0.07902f,   0.056797f,  0.035608f,  0.017766f,  0.004648f,
    -0.003424f, -0.007053f, -0.007452f, -0.006035f, -0.004043f, -0.002291f, -0.001087f, -0.000319f,
};

Saturator::Saturator(Effect* owner_, const char* name_, const Module* input)
    : Module(owner_, name_),
      drive(owner_->addParameter(this, "Drive", 0.0f)),
      input_(input),
      up_(kOversampleFir),
      down_(kOversampleFir)
{
}

void Saturator::process(int, int count)
{
    const float* in = input_->output;
    const float raw = *drive;
    const float d = clampSetting(raw, 0.03125f, 1.0f);
    const float g = 32.0f * d;

    if (raw == 0.0f && passThrough(count, in)) {
        remember(count, in);
        return;
    }
    if (skipped_ > 0)
        catchUp();

    shape(count, in, g);
    blend(count, in, raw, d);
}

void Saturator::shape(int count, const float* in, float g)
{
#if defined(VORN_X86_KERNELS)
    // A whole sub-block runs in registers from end to end.
    const InstructionSet level = instructionSet();
    if (count == X86::kSaturatorBlock && level >= InstructionSet::Avx2) {
        X86::saturateSubBlock(kOversampleFir, up_.history_.get(), down_.history_.get(), in, g, output, level);
        return;
    }
#endif
    // The shaper works sample by sample, so the up-sampled stream can stay
    // in the resamplers' phase-by-phase order, which saves them shuffling.
    float work[kSubBlock * kFactor];
    up_.upsamplePlanar(count, in, work);
    TanhShaper::apply(work, count * kFactor, g);
    down_.downsamplePlanar(count, work, output);
}

void Saturator::blend(int count, const float* in, float raw, float d)
{
    remember(count, in);
    // The blend uses the raw drive, so "Drive" 0 passes the input untouched.
    // A non-finite drive would make every sample NaN; it blends with the
    // shaper's clamped drive instead.
    const float wet = finiteOr(raw, d);
    const float dry = 1.0f - wet;
    for (int j = 0; j < count; ++j)
        output[j] = dry * in[j] + wet * output[j];
}

// At "Drive" 0 the blend is 1 x input + 0 x shaped, which is the input
// itself whenever the shaped sample is finite: whenever the input is and
// nothing non-finite is left in the histories (where it would make the
// shaped sample NaN). Then the oversampled path is skipped; only the
// resampler histories must later come out as the full path would have left
// them, which catchUp() does from the remembered inputs.
bool Saturator::passThrough(int count, const float* in)
{
    if (!NonFiniteWatch::allFinite(in, count))
        return false; // NaN or infinity in the input: the full path decides
    if (skipped_ == 0 && (!up_.historyIsFinite() || !down_.historyIsFinite()))
        return false;
    skipped_ = std::min(skipped_ + count, static_cast<int>(kSpan));
    copySamples(output, in, count);
    return true;
}

void Saturator::remember(int count, const float* in)
{
    if (count >= kRecent) {
        // The input is another module's buffer, never this one's: a copy of
        // fixed length, done in place rather than by a library call.
        std::memcpy(recent_, in + count - kRecent, sizeof recent_);
    } else {
        std::copy(recent_ + count, recent_ + kRecent, recent_);
        std::copy(in, in + count, recent_ + kRecent - count);
    }
}

// The up-sampler's history holds the last inputs; the down-sampler's the
// shaped up-sampled values of the last kSpan inputs. Of those, the ones that
// came from skipped samples are computed now, at the drive the skipped
// blocks had (0, which shapes with gain 1).
void Saturator::catchUp()
{
    const int k = skipped_;
    const int length = FirResampler::kHistory;
    // The history as it stood before the last k inputs, then those inputs.
    up_.load(recent_ + kRecent - k - length, length);
    float work[kSpan * kFactor];
    up_.upsample(k, recent_ + kRecent - k, work);
    TanhShaper::apply(work, k * kFactor, 32.0f * 0.03125f);
    down_.skip(k * kFactor, work);
    skipped_ = 0;
}

} // namespace Vorn
