#include "dsp/FirResampler.h"

namespace Vorn {

void FirResampler::setup(const float* coefficients, int taps, int factor)
{
    coefficients_ = coefficients;
    factor_ = static_cast<std::uint8_t>(factor);
    historyLength_ = taps / factor;
    taps_ = taps;
    history_ = std::make_unique<float[]>(static_cast<std::size_t>(historyLength_));
    position_ = 0;
}

inline void FirResampler::push(float x)
{
    history_[static_cast<std::size_t>(position_)] = x;
    if (++position_ == historyLength_)
        position_ = 0;
}

// Term k reads the sample k steps before the write position: k = 0 is the
// oldest sample (the slot written next), k = 1 the newest.
inline float FirResampler::phase(int j) const
{
    const float* h = history_.get();
    const float* c = coefficients_ + j;
    const int length = historyLength_;
    const int step = factor_;
    float s = 0.0f;
    int index = position_;
    for (int k = 0; k < length; ++k) {
        s += c[k * step] * h[index];
        index = index == 0 ? length - 1 : index - 1;
    }
    return s;
}

void FirResampler::upsample(int n, const float* in, float* out)
{
    const int L = factor_;
    const float gain = static_cast<float>(L);
    for (int i = 0; i < n; ++i) {
        push(in[i]);
        for (int j = 0; j < L; ++j)
            out[i * L + j] = gain * phase(j);
    }
}

void FirResampler::downsample(int n, const float* in, float* out)
{
    const int L = factor_;
    const float gain = static_cast<float>(L);
    for (int i = 0; i < n; ++i) {
        float s = 0.0f;
        for (int j = 0; j < L; ++j) {
            push(in[i * L + j]);
            s += phase(j);
        }
        out[i] = gain * s;
    }
}

} // namespace Vorn
