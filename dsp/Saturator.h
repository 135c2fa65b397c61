#pragma once
// Drives the voice's mix through a tanh shaper at four times the sample rate
// (so the shaper's harmonics do not fold back) and blends the result with the
// dry signal by the "Drive" amount.

#include "dsp/FirResampler.h"
#include "dsp/Module.h"
#include "dsp/TanhShaper.h"

namespace Vorn {

// Symmetric 32-tap low-pass for the four-times resamplers; each of its four
// interleaved phases sums to about 1/4.
extern const float kOversampleFir[32];

class Saturator : public Module {
public:
    static constexpr int kFactor = 4;
    static constexpr int kTaps = 32;

    Saturator(Effect* owner, const char* name, const Module* input);

    void process(int sampleRate, int count) override;

    const float* drive;
    // How the shaper computes its tanh; the widest vector form by default.
    TanhShaper::Kernel shaperKernel = TanhShaper::widest();

private:
    // The down-sampler's history spans this many inputs; the up-sampler's
    // kTaps / kFactor.
    static constexpr int kSpan = kTaps / kFactor / kFactor;
    static constexpr int kRecent = kTaps / kFactor + kSpan;

    bool passThrough(int count, const float* in);
    void remember(int count, const float* in);
    // Remembers the inputs and blends the shaped output with them.
    void blend(int count, const float* in, float raw, float d);
    void catchUp();

    const Module* input_;
    FirResampler up_;
    FirResampler down_;
    // The last kRecent inputs, oldest first, and how many of the newest
    // (at most kSpan) went by without the oversampled path.
    float recent_[kRecent] = {};
    int skipped_ = 0;
};

} // namespace Vorn
