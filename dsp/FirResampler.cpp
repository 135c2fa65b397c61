#include "dsp/FirResampler.h"

#include <cstring>

#include "dsp/CpuFeatures.h"
#include "dsp/NonFiniteWatch.h"
#include "dsp/PlanarTerms.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
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

#if defined(__x86_64__) || defined(__i386__)
// The saturator's case (factor 4, 8 samples of history) with the four phases
// in the four lanes of a vector (two samples' worth per AVX2 vector). Each
// lane adds its terms in the same order as phase() does, from 0, so the
// results are the same to the bit as the general path's.
//
// The kernels read a line holding the 7 samples before the block followed by
// the block: after pushing x[t], term k = 0 of a phase is x[t - 7] (the
// oldest sample) and term k >= 1 is x[t + 1 - k].

namespace {

constexpr int kLanes = 4;
constexpr int kLength = 8;

inline const float* termAt(const float* t, int k)
{
    return k == 0 ? t - 7 : t + 1 - k;
}

inline float addPhases(__m128 s)
{
    // Phase sums added in order 0, 1, 2, 3, starting from 0.
    __m128 sum = _mm_add_ss(_mm_setzero_ps(), s);
    sum = _mm_add_ss(sum, _mm_shuffle_ps(s, s, _MM_SHUFFLE(1, 1, 1, 1)));
    sum = _mm_add_ss(sum, _mm_movehl_ps(s, s));
    sum = _mm_add_ss(sum, _mm_shuffle_ps(s, s, _MM_SHUFFLE(3, 3, 3, 3)));
    return _mm_cvtss_f32(sum);
}

// Up-sampling of samples [from, n): lane j of output t is phase j.
void upSse2(const float* c, const float* x, int from, int n, float* out)
{
    __m128 cv[kLength];
    for (int k = 0; k < kLength; ++k)
        cv[k] = _mm_loadu_ps(c + kLanes * k);
    for (int t = from; t < n; ++t) {
        __m128 s = _mm_setzero_ps();
        for (int k = 0; k < kLength; ++k)
            s = _mm_add_ps(s, _mm_mul_ps(cv[k], _mm_set1_ps(*termAt(x + t, k))));
        _mm_storeu_ps(out + kLanes * t, _mm_mul_ps(_mm_set1_ps(4.0f), s));
    }
}

// Down-sampling of outputs [from, n): after pushing x[4i + j], lane j's
// terms are four adjacent samples.
void downSse2(const float* c, const float* x, int from, int n, float* out)
{
    __m128 cv[kLength];
    for (int k = 0; k < kLength; ++k)
        cv[k] = _mm_loadu_ps(c + kLanes * k);
    for (int i = from; i < n; ++i) {
        const float* t = x + kLanes * i;
        __m128 s = _mm_setzero_ps();
        for (int k = 0; k < kLength; ++k)
            s = _mm_add_ps(s, _mm_mul_ps(cv[k], _mm_loadu_ps(termAt(t, k))));
        out[i] = 4.0f * addPhases(s);
    }
}

// Two samples per vector: the low half is sample t, the high half t + 1.
// Returns how many samples it did (an even number).
__attribute__((target("avx2"))) int upAvx2(const float* c, const float* x, int n, float* out)
{
    __m256 cv[kLength];
    for (int k = 0; k < kLength; ++k)
        cv[k] = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(c + kLanes * k));
    const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    int t = 0;
    for (; t + 2 <= n; t += 2) {
        __m256 s = _mm256_setzero_ps();
        for (int k = 0; k < kLength; ++k) {
            // Term k of samples t and t + 1 are adjacent in the line.
            double bits;
            std::memcpy(&bits, termAt(x + t, k), sizeof bits);
            const __m128 pair = _mm_castpd_ps(_mm_set_sd(bits));
            s = _mm256_add_ps(s, _mm256_mul_ps(cv[k], _mm256_permutevar8x32_ps(_mm256_castps128_ps256(pair), spread)));
        }
        _mm256_storeu_ps(out + kLanes * t, _mm256_mul_ps(_mm256_set1_ps(4.0f), s));
    }
    return t;
}

__attribute__((target("avx2"))) int downAvx2(const float* c, const float* x, int n, float* out)
{
    __m256 cv[kLength];
    for (int k = 0; k < kLength; ++k)
        cv[k] = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(c + kLanes * k));
    int i = 0;
    for (; i + 2 <= n; i += 2) {
        const float* t = x + kLanes * i;
        __m256 s = _mm256_setzero_ps();
        for (int k = 0; k < kLength; ++k)
            s = _mm256_add_ps(s, _mm256_mul_ps(cv[k], _mm256_loadu_ps(termAt(t, k))));
        out[i] = 4.0f * addPhases(_mm256_castps256_ps128(s));
        out[i + 1] = 4.0f * addPhases(_mm256_extractf128_ps(s, 1));
    }
    return i;
}

// The planar kernels add the terms of PlanarTerms.h in its order, as
// upSse2 and downSse2 do in their lanes; here the lanes are consecutive
// samples of one phase, so no shuffling is needed.
using PlanarTerms::DownTerm;
using PlanarTerms::downTerm;
using PlanarTerms::kUpOffset;

inline float upScalar(const float* c, const float* x, int j, int t)
{
    float s = 0.0f;
    for (int k = 0; k < kLength; ++k)
        s += c[j + kLanes * k] * x[t + kUpOffset[k]];
    return 4.0f * s;
}

// The four phases are summed side by side (each in its own order), so the
// additions of one phase need not wait on each other's latency in turn.
int upPlanarSse2(const float* c, const float* x, int from, int n, float* planes)
{
    int t = from;
    for (; t + 4 <= n; t += 4) {
        __m128 s[kLanes] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
#pragma GCC unroll 8
        for (int k = 0; k < kLength; ++k) {
            const __m128 term = _mm_loadu_ps(x + t + kUpOffset[k]);
#pragma GCC unroll 4
            for (int j = 0; j < kLanes; ++j)
                s[j] = _mm_add_ps(s[j], _mm_mul_ps(_mm_set1_ps(c[j + kLanes * k]), term));
        }
        for (int j = 0; j < kLanes; ++j)
            _mm_storeu_ps(planes + j * n + t, _mm_mul_ps(_mm_set1_ps(4.0f), s[j]));
    }
    return t;
}

__attribute__((target("avx2"))) int upPlanarAvx2(const float* c, const float* x, int n, float* planes)
{
    int t = 0;
    for (; t + 8 <= n; t += 8) {
        __m256 s[kLanes] = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()};
#pragma GCC unroll 8
        for (int k = 0; k < kLength; ++k) {
            const __m256 term = _mm256_loadu_ps(x + t + kUpOffset[k]);
#pragma GCC unroll 4
            for (int j = 0; j < kLanes; ++j)
                s[j] = _mm256_add_ps(s[j], _mm256_mul_ps(_mm256_set1_ps(c[j + kLanes * k]), term));
        }
        for (int j = 0; j < kLanes; ++j)
            _mm256_storeu_ps(planes + j * n + t, _mm256_mul_ps(_mm256_set1_ps(4.0f), s[j]));
    }
    return t;
}

// q[r] holds phase plane r behind two samples of history.
constexpr int kPlaneLength = 2 + FirResampler::kPlanarBlock;

// Where term k of phase j is read: plane j * kLength + k, then offset.
struct DownTable {
    DownTerm term[kLanes * kLength];
    constexpr DownTable() : term{}
    {
        for (int j = 0; j < kLanes; ++j)
            for (int k = 0; k < kLength; ++k)
                term[j * kLength + k] = downTerm(j, k);
    }
};
constexpr DownTable kDown{};

inline float downScalar(const float* c, const float (*q)[kPlaneLength], int i)
{
    float total = 0.0f;
    for (int j = 0; j < kLanes; ++j) {
        float s = 0.0f;
        for (int k = 0; k < kLength; ++k) {
            const DownTerm term = kDown.term[j * kLength + k];
            s += c[j + kLanes * k] * q[term.plane][i + term.offset];
        }
        total += s;
    }
    return 4.0f * total;
}

int downPlanarSse2(const float* c, const float (*q)[kPlaneLength], int from, int n, float* out)
{
    int i = from;
    for (; i + 4 <= n; i += 4) {
        __m128 s[kLanes] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
#pragma GCC unroll 8
        for (int k = 0; k < kLength; ++k) {
#pragma GCC unroll 4
            for (int j = 0; j < kLanes; ++j) {
                const DownTerm term = kDown.term[j * kLength + k];
                s[j] = _mm_add_ps(s[j], _mm_mul_ps(_mm_set1_ps(c[j + kLanes * k]), _mm_loadu_ps(&q[term.plane][i + term.offset])));
            }
        }
        __m128 total = _mm_setzero_ps();
        for (int j = 0; j < kLanes; ++j)
            total = _mm_add_ps(total, s[j]);
        _mm_storeu_ps(out + i, _mm_mul_ps(_mm_set1_ps(4.0f), total));
    }
    return i;
}

__attribute__((target("avx2"))) int downPlanarAvx2(const float* c, const float (*q)[kPlaneLength], int n, float* out)
{
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256 s[kLanes] = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()};
#pragma GCC unroll 8
        for (int k = 0; k < kLength; ++k) {
#pragma GCC unroll 4
            for (int j = 0; j < kLanes; ++j) {
                const DownTerm term = kDown.term[j * kLength + k];
                s[j] = _mm256_add_ps(s[j], _mm256_mul_ps(_mm256_set1_ps(c[j + kLanes * k]),
                                                         _mm256_loadu_ps(&q[term.plane][i + term.offset])));
            }
        }
        __m256 total = _mm256_setzero_ps();
        for (int j = 0; j < kLanes; ++j)
            total = _mm256_add_ps(total, s[j]);
        _mm256_storeu_ps(out + i, _mm256_mul_ps(_mm256_set1_ps(4.0f), total));
    }
    return i;
}

} // namespace

// Lays out the seven samples before the block, oldest first, followed by the
// block itself.
inline float* FirResampler::unroll(float* line, const float* in, int count) const
{
    // Written at position 0 the ring is in time order, oldest first (the
    // vector paths leave it so).
    if (position_ == 0) {
        std::memcpy(line, history_.get() + 1, sizeof(float) * (kLength - 1));
    } else {
        for (int i = 0; i < kLength - 1; ++i)
            line[i] = history_[static_cast<std::size_t>((position_ + 1 + i) % kLength)];
    }
    std::memcpy(line + kLength - 1, in, sizeof(float) * static_cast<std::size_t>(count));
    return line + kLength - 1;
}

// Leaves the history as pushing the block sample by sample would: the same
// last eight samples in the same order, starting at position 0 when the
// block alone fills it.
inline void FirResampler::rewind(const float* stream, int count)
{
    if (count >= kLength) {
        std::memcpy(history_.get(), stream + count - kLength, sizeof(float) * kLength);
        position_ = 0;
        return;
    }
    for (int t = 0; t < count; ++t)
        push(stream[t]);
}

bool FirResampler::upsampleByFour(int n, const float* in, float* out)
{
    if (factor_ != kLanes || historyLength_ != kLength || n > 64)
        return false;
    float line[kLength - 1 + 64];
    const float* x = unroll(line, in, n);
    const int done = cpuHasAvx2() ? upAvx2(coefficients_, x, n, out) : 0;
    upSse2(coefficients_, x, done, n, out);
    rewind(in, n);
    return true;
}

bool FirResampler::upsampleLastByFour(int n, const float* in, int last, float* out)
{
    if (factor_ != kLanes || historyLength_ != kLength || n > 64)
        return false;
    float line[kLength - 1 + 64];
    const float* x = unroll(line, in, n);
    // The kernels read each output's terms relative to its own sample, so
    // starting the line later gives the same sums.
    upSse2(coefficients_, x + (n - last), 0, last, out);
    rewind(in, n);
    return true;
}

bool FirResampler::downsampleByFour(int n, const float* in, float* out)
{
    if (factor_ != kLanes || historyLength_ != kLength || n > 64)
        return false;
    float line[kLength - 1 + kLanes * 64];
    const float* x = unroll(line, in, kLanes * n);
    const int done = cpuHasAvx2() ? downAvx2(coefficients_, x, n, out) : 0;
    downSse2(coefficients_, x, done, n, out);
    rewind(in, kLanes * n);
    return true;
}
bool FirResampler::planarFits(int n) const
{
    return factor_ == kLanes && historyLength_ == kLength && taps_ == kLanes * kLength && n >= 0
        && n <= kPlanarBlock;
}

void FirResampler::upsamplePlanar(int n, const float* in, float* planes)
{
    if (!planarFits(n))
        return;
    float line[kLength - 1 + kPlanarBlock];
    const float* x = unroll(line, in, n);
    int t = cpuHasAvx2() ? upPlanarAvx2(coefficients_, x, n, planes) : 0;
    t = upPlanarSse2(coefficients_, x, t, n, planes);
    for (int j = 0; j < kLanes; ++j)
        for (int v = t; v < n; ++v)
            planes[j * n + v] = upScalar(coefficients_, x, j, v);
    rewind(in, n);
}

void FirResampler::downsamplePlanar(int n, const float* planes, float* out)
{
    if (!planarFits(n))
        return;
    // The seven stream samples before the block, oldest first, go behind
    // the planes: stream sample -7 + m is history slot (position + 1 + m).
    float q[kLanes][kPlaneLength];
    const float* h = history_.get();
    if (position_ == 0) {
        // Stream sample -8 + i is slot i; the oldest is never read.
        for (int i = 0; i < kLength; ++i)
            q[i % kLanes][i / kLanes] = i == 0 ? 0.0f : h[i];
    } else {
        for (int m = -8; m < 0; ++m) {
            const float value = m == -8 ? 0.0f : h[(position_ + 8 + m) % kLength];
            const int r = (m + 8) % kLanes;
            q[r][(m + 8) / kLanes] = value;
        }
    }
    for (int r = 0; r < kLanes; ++r)
        std::memcpy(&q[r][2], planes + r * n, sizeof(float) * static_cast<std::size_t>(n));
    int i = cpuHasAvx2() ? downPlanarAvx2(coefficients_, q, n, out) : 0;
    i = downPlanarSse2(coefficients_, q, i, n, out);
    for (; i < n; ++i)
        out[i] = downScalar(coefficients_, q, i);
    // The history keeps the last eight stream samples, in time order from
    // position 0 when the block alone fills it.
    if (4 * n >= kLength) {
        float* slot = history_.get();
        for (int t = 4 * n - kLength, i = 0; i < kLength; ++t, ++i)
            slot[i] = q[t % kLanes][t / kLanes + 2];
        position_ = 0;
    } else {
        for (int t = 0; t < 4 * n; ++t)
            push(q[t % kLanes][t / kLanes + 2]);
    }
}
#else
bool FirResampler::planarFits(int) const { return false; }
void FirResampler::upsamplePlanar(int, const float*, float*) {}
void FirResampler::downsamplePlanar(int, const float*, float*) {}
bool FirResampler::upsampleLastByFour(int, const float*, int, float*) { return false; }
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

void FirResampler::upsampleLast(int n, const float* in, int last, float* out)
{
    if (last > n)
        last = n;
    if (last < 0)
        last = 0;
    if (upsampleLastByFour(n, in, last, out))
        return;
    const int L = factor_;
    const float gain = static_cast<float>(L);
    for (int i = 0; i < n; ++i) {
        push(in[i]);
        if (i >= n - last)
            for (int j = 0; j < L; ++j)
                out[(i - (n - last)) * L + j] = gain * phase(j);
    }
}

void FirResampler::load(const float* samples, int n)
{
    position_ = 0;
    for (int i = 0; i < historyLength_; ++i)
        history_[static_cast<std::size_t>(i)] = 0.0f;
    skip(n, samples);
}

bool FirResampler::historyIsFinite() const
{
    return NonFiniteWatch::allFinite(history_.get(), historyLength_);
}

void FirResampler::skip(int n, const float* in)
{
    if (historyLength_ == 0)
        return;
    // Only the newest historyLength samples survive; the position moves
    // past the rest as if they had been written.
    const int first = n > historyLength_ ? n - historyLength_ : 0;
    position_ = static_cast<int>((static_cast<long long>(position_) + first) % historyLength_);
    for (int t = first; t < n; ++t)
        push(in[t]);
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
