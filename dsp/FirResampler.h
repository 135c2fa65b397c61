#pragma once
// The saturator's polyphase FIR resampler by four: a 32-tap low-pass split
// into four interleaved phases of eight coefficients, over a history of the
// last eight input samples.

#include "dsp/PlanarTerms.h"

#include <memory>

namespace Vorn {

class FirResampler {
public:
    static constexpr int kFactor = PlanarTerms::kPhases;
    static constexpr int kTaps = kFactor * PlanarTerms::kTermCount;
    static constexpr int kHistory = kTaps / kFactor;

    // The 32 coefficients; not copied, so they must outlive the resampler.
    // Allocates the history (all 0): not for the audio thread.
    explicit FirResampler(const float* coefficients);

    // Reads n samples and writes 4n: phase j of input sample t goes to
    // out[4t + j].
    void upsample(int n, const float* in, float* out);
    // Reads 4n samples and writes n.
    void downsample(int n, const float* in, float* out);

    // The same two with the up-sampled stream stored phase by phase: stream
    // sample 4t + j lives at planes[j * n + t]. Every result and the history
    // afterwards are those of upsample() and downsample() to the bit. They
    // take blocks of up to PlanarTerms::kPlanarBlock samples; a longer one
    // changes nothing.
    void upsamplePlanar(int n, const float* in, float* planes);
    void downsamplePlanar(int n, const float* planes, float* out);

    // Takes n samples into the history without computing any output: the
    // history afterwards is what n samples through upsample() or
    // downsample() leave.
    void skip(int n, const float* in);
    // Replaces the history with the last kHistory of these n samples (zeros
    // before them if n is shorter), as if they had been the last ones pushed.
    void load(const float* samples, int n);
    // False once a NaN or infinity is in the history.
    bool historyIsFinite() const;

private:
    // The saturator runs a whole sub-block through both of its resamplers in
    // one kernel, which works on their histories directly.
    friend class Saturator;

    void push(float x);
    // Phase j's sum over the history, oldest sample first.
    float phase(int j) const;
    // Lays out the seven samples before the block, oldest first, followed
    // by the block; returns where the block starts.
    float* unroll(float* line, const float* in, int count) const;

    const float* coefficients_;
    // The last kHistory input samples in time order, oldest first. On the
    // heap, as it has always been: held inside the object, it moves every
    // later allocation of the plug-in, and that layout alone made the
    // whole-plug-in benchmark's silent case a quarter slower.
    std::unique_ptr<float[]> history_;
};

} // namespace Vorn
