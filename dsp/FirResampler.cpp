#include "dsp/FirResampler.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// The saturator's case (factor 4, 8 samples of history) with the four phases
// in the four lanes of a vector. Each lane adds its terms in the same order
// as phase() does, so the results are the same to the bit.

namespace {

constexpr int kLanes = 4;
constexpr int kLength = 8;

} // namespace

// Lays out the seven samples before the block, oldest first, followed by the
// block itself, so that every term of a phase is a plain array read.
inline float* FirResampler::unroll(float* line, const float* in, int count) const
{
    for (int i = 0; i < kLength - 1; ++i)
        line[i] = history_[static_cast<std::size_t>((position_ + 1 + i) % kLength)];
    std::memcpy(line + kLength - 1, in, sizeof(float) * static_cast<std::size_t>(count));
    return line + kLength - 1;
}

// Leaves the history as pushing the block sample by sample would.
inline void FirResampler::rewind(const float* stream, int count)
{
    const int first = count > kLength ? count - kLength : 0;
    position_ = (position_ + first) % kLength;
    for (int t = first; t < count; ++t)
        push(stream[t]);
}

// One phase-vector: lane j sums c[k][j] * term k over k = 0..7 in order,
// starting from 0 as phase() does. `term(k)` gives the k-th term's samples.
template <typename Term>
inline __m128 phases(const __m128* c, Term term)
{
    __m128 s = _mm_setzero_ps();
    s = _mm_add_ps(s, _mm_mul_ps(c[0], term(0)));
    s = _mm_add_ps(s, _mm_mul_ps(c[1], term(1)));
    s = _mm_add_ps(s, _mm_mul_ps(c[2], term(2)));
    s = _mm_add_ps(s, _mm_mul_ps(c[3], term(3)));
    s = _mm_add_ps(s, _mm_mul_ps(c[4], term(4)));
    s = _mm_add_ps(s, _mm_mul_ps(c[5], term(5)));
    s = _mm_add_ps(s, _mm_mul_ps(c[6], term(6)));
    s = _mm_add_ps(s, _mm_mul_ps(c[7], term(7)));
    return s;
}

bool FirResampler::upsampleByFour(int n, const float* in, float* out)
{
    if (factor_ != kLanes || historyLength_ != kLength || n > 64)
        return false;
    float buffer[kLength - 1 + 64];
    const float* x = unroll(buffer, in, n);
    __m128 c[kLength];
    for (int k = 0; k < kLength; ++k)
        c[k] = _mm_loadu_ps(coefficients_ + kLanes * k);
    const __m128 gain = _mm_set1_ps(4.0f);
    for (int i = 0; i < n; ++i) {
        // After pushing x[i]: k = 0 is x[i - 7], k >= 1 is x[i + 1 - k].
        const float* p = x + i;
        const __m128 s = phases(c, [p](int k) { return _mm_set1_ps(k == 0 ? p[-7] : p[1 - k]); });
        _mm_storeu_ps(out + kLanes * i, _mm_mul_ps(gain, s));
    }
    rewind(in, n);
    return true;
}

bool FirResampler::downsampleByFour(int n, const float* in, float* out)
{
    if (factor_ != kLanes || historyLength_ != kLength || n > 64)
        return false;
    float buffer[kLength - 1 + 4 * 64];
    const float* x = unroll(buffer, in, kLanes * n);
    __m128 c[kLength];
    for (int k = 0; k < kLength; ++k)
        c[k] = _mm_loadu_ps(coefficients_ + kLanes * k);
    for (int i = 0; i < n; ++i) {
        // Lane j has just pushed x[4i + j]: its term k = 0 is x[4i + j - 7],
        // k >= 1 is x[4i + j + 1 - k]; so each term is four adjacent samples.
        const float* p = x + kLanes * i;
        const __m128 s = phases(c, [p](int k) { return _mm_loadu_ps(k == 0 ? p - 7 : p + 1 - k); });
        // The phases add up in order 0, 1, 2, 3, starting from 0.
        const __m128 s1 = _mm_shuffle_ps(s, s, _MM_SHUFFLE(1, 1, 1, 1));
        const __m128 s2 = _mm_movehl_ps(s, s);
        const __m128 s3 = _mm_shuffle_ps(s, s, _MM_SHUFFLE(3, 3, 3, 3));
        __m128 sum = _mm_add_ss(_mm_setzero_ps(), s);
        sum = _mm_add_ss(_mm_add_ss(_mm_add_ss(sum, s1), s2), s3);
        out[i] = 4.0f * _mm_cvtss_f32(sum);
    }
    rewind(in, kLanes * n);
    return true;
}
#else
bool FirResampler::upsampleByFour(int, const float*, float*) { return false; }
bool FirResampler::downsampleByFour(int, const float*, float*) { return false; }
#endif

void FirResampler::upsample(int n, const float* in, float* out)
{
    if (upsampleByFour(n, in, out))
        return;
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
    if (downsampleByFour(n, in, out))
        return;
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
