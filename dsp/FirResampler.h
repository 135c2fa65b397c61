#pragma once
// A polyphase FIR resampler by an integer factor, used by the saturator to
// run its shaper at a multiple of the sample rate. The filter is split into
// `factor` interleaved phases of taps / factor coefficients each.

#include <cstdint>
#include <memory>

namespace Vorn {

class FirResampler {
public:
    FirResampler() = default;
    FirResampler(const FirResampler&) = delete;
    FirResampler& operator=(const FirResampler&) = delete;

    // Allocates the history (taps / factor samples, all 0). Not for the
    // audio thread.
    void setup(const float* coefficients, int taps, int factor);
    // Reads n samples and writes factor * n.
    void upsample(int n, const float* in, float* out);
    // Reads factor * n samples and writes n.
    void downsample(int n, const float* in, float* out);

    // The same two operations with the factor * n up-sampled samples stored
    // phase by phase rather than interleaved: sample factor * t + j of the
    // stream lives at planes[j * n + t]. Every result and the histories are
    // those of upsample() and downsample() to the bit. Only the saturator's
    // shape (factor 4, 32 taps) has this form, for n up to kPlanarBlock;
    // planarFits(n) tells. Other calls change nothing.
    static constexpr int kPlanarBlock = 16;
    bool planarFits(int n) const;
    void upsamplePlanar(int n, const float* in, float* planes);
    void downsamplePlanar(int n, const float* planes, float* out);

    // Takes n samples into the history as upsample() does, but writes only
    // the factor * last outputs of the final `last` samples (last <= n), the
    // same to the bit as upsample() would.
    void upsampleLast(int n, const float* in, int last, float* out);
    // Takes n samples into the history without computing any output: the
    // history afterwards is what n samples through upsample() or
    // downsample() leave.
    void skip(int n, const float* in);

    // Replaces the history with the last historyLength() of these n
    // samples, as if they had been the last ones pushed.
    void load(const float* samples, int n);
    // False once a NaN or infinity is in the history.
    bool historyIsFinite() const;

    int factor() const { return factor_; }
    int historyLength() const { return historyLength_; }

    // For kernels that run a whole sub-block outside this class: the
    // coefficients, and the history as a line in time order, oldest first,
    // when it lies so (as the vector paths leave it) and the resampler has
    // the planar shape; null otherwise. Such a kernel must leave the last
    // eight samples there in the same order.
    const float* coefficients() const { return coefficients_; }
    float* orderedHistory() { return planarFits(0) && position_ == 0 ? history_.get() : nullptr; }

private:
    // Stores x in the history and sums one phase over it, oldest sample
    // first.
    void push(float x);
    float phase(int j) const;
    // Vector forms of upsample and downsample for factor 4 with 8 samples
    // of history (the saturator's case); they return false for any other
    // shape, which then takes the general path.
    bool upsampleByFour(int n, const float* in, float* out);
    bool downsampleByFour(int n, const float* in, float* out);
    bool upsampleLastByFour(int n, const float* in, int last, float* out);
    float* unroll(float* line, const float* in, int count) const;
    void rewind(const float* stream, int count);

    const float* coefficients_ = nullptr;
    std::uint8_t factor_ = 0;
    int historyLength_ = 0;
    int taps_ = 0;
    std::unique_ptr<float[]> history_;
    int position_ = 0;
};

} // namespace Vorn
