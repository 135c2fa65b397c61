#pragma once
// Drives the voice's mix through a tanh shaper at four times the sample rate
// (so the shaper's harmonics do not fold back) and blends the result with the
// dry signal by the "Drive" amount.

#include "dsp/FirResampler.h"
#include "dsp/Module.h"

namespace Vorn {

// Symmetric 32-tap low-pass for the four-times resamplers; each of its four
// interleaved phases sums to about 1/4.
extern const float kOversampleFir[FirResampler::kTaps];

class Saturator : public Module {
public:
    static constexpr int kFactor = FirResampler::kFactor;

    Saturator(Effect* owner, const char* name, const Module* input);

    void process(int sampleRate, int count) override;

    const float* drive;

private:
    // The down-sampler's history spans this many inputs; the up-sampler's
    // FirResampler::kHistory.
    static constexpr int kSpan = FirResampler::kHistory / kFactor;
    static constexpr int kRecent = FirResampler::kHistory + kSpan;

    // up, shape by g, down: out[0..count) from in[0..count).
    void shape(int count, const float* in, float g);
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
