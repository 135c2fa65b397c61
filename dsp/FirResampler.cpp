#include "dsp/FirResampler.h"

#include "dsp/InstructionSet.h"
#include "dsp/NonFiniteWatch.h"

#if defined(VORN_X86_KERNELS)
#include "dsp/x86/Kernels.h"
#endif

#include <cstddef>
#include <cstring>

namespace Vorn {

using PlanarTerms::kDownTerms;
using PlanarTerms::kPlanarBlock;
using PlanarTerms::kPlaneLength;
using PlanarTerms::kUpOffset;

namespace {

// Phase j of up-sampled sample t from the line x (input sample t at x[t]).
float upTerm(const float* c, const float* x, int j, int t)
{
    float s = 0.0f;
    for (int k = 0; k < FirResampler::kHistory; ++k)
        s += c[j + FirResampler::kFactor * k] * x[t + kUpOffset[k]];
    return 4.0f * s;
}

// Output i from the planes behind their history (see PlanarTerms.h).
float downTerm(const float* c, const float (*q)[kPlaneLength], int i)
{
    float total = 0.0f;
    for (int j = 0; j < FirResampler::kFactor; ++j) {
        float s = 0.0f;
        for (int k = 0; k < FirResampler::kHistory; ++k) {
            const PlanarTerms::DownTerm term = kDownTerms.term[j * FirResampler::kHistory + k];
            s += c[j + FirResampler::kFactor * k] * q[term.plane][i + term.offset];
        }
        total += s;
    }
    return 4.0f * total;
}

std::size_t floats(int n)
{
    return sizeof(float) * static_cast<std::size_t>(n);
}

} // namespace

FirResampler::FirResampler(const float* coefficients)
    : coefficients_(coefficients), history_(std::make_unique<float[]>(kHistory))
{
}

inline void FirResampler::push(float x)
{
    float* h = history_.get();
    std::memmove(h, h + 1, floats(kHistory - 1));
    h[kHistory - 1] = x;
}

// Term k = 0 is the oldest sample, k = 1 the newest, k = 2 the one before
// it, and so on.
inline float FirResampler::phase(int j) const
{
    const float* c = coefficients_ + j;
    float s = 0.0f;
    const float* h = history_.get();
    s += c[0] * h[0];
    for (int k = 1; k < kHistory; ++k)
        s += c[k * kFactor] * h[kHistory - k];
    return s;
}

void FirResampler::upsample(int n, const float* in, float* out)
{
    for (int i = 0; i < n; ++i) {
        push(in[i]);
        for (int j = 0; j < kFactor; ++j)
            out[i * kFactor + j] = 4.0f * phase(j);
    }
}

void FirResampler::downsample(int n, const float* in, float* out)
{
    for (int i = 0; i < n; ++i) {
        float s = 0.0f;
        for (int j = 0; j < kFactor; ++j) {
            push(in[i * kFactor + j]);
            s += phase(j);
        }
        out[i] = 4.0f * s;
    }
}

inline float* FirResampler::unroll(float* line, const float* in, int count) const
{
    std::memcpy(line, history_.get() + 1, floats(kHistory - 1));
    std::memcpy(line + kHistory - 1, in, floats(count));
    return line + kHistory - 1;
}

void FirResampler::upsamplePlanar(int n, const float* in, float* planes)
{
    if (n < 0 || n > kPlanarBlock)
        return;
    float line[kHistory - 1 + kPlanarBlock];
    const float* x = unroll(line, in, n);
    int t = 0;
#if defined(VORN_X86_KERNELS)
    t = X86::upsamplePlanar(coefficients_, x, n, planes, instructionSet());
#endif
    for (int j = 0; j < kFactor; ++j)
        for (int v = t; v < n; ++v)
            planes[j * n + v] = upTerm(coefficients_, x, j, v);
    skip(n, in);
}

void FirResampler::downsamplePlanar(int n, const float* planes, float* out)
{
    if (n < 0 || n > kPlanarBlock)
        return;
    // Stream sample -8 + i is history_[i]; the oldest is never read.
    float q[kFactor][kPlaneLength];
    const float* h = history_.get();
    for (int i = 0; i < kHistory; ++i)
        q[i % kFactor][i / kFactor] = i == 0 ? 0.0f : h[i];
    for (int r = 0; r < kFactor; ++r)
        std::memcpy(&q[r][PlanarTerms::kPlaneHistory], planes + r * n, floats(n));
    int i = 0;
#if defined(VORN_X86_KERNELS)
    i = X86::downsamplePlanar(coefficients_, q, n, out, instructionSet());
#endif
    for (; i < n; ++i)
        out[i] = downTerm(coefficients_, q, i);
    // The history keeps the last eight stream samples.
    const int length = kFactor * n;
    const int first = length < kHistory ? 0 : length - kHistory;
    float last[kHistory];
    for (int t = first; t < length; ++t)
        last[t - first] = q[t % kFactor][t / kFactor + PlanarTerms::kPlaneHistory];
    skip(length - first, last);
}

void FirResampler::skip(int n, const float* in)
{
    if (n <= 0)
        return;
    // Only the newest kHistory samples survive.
    float* h = history_.get();
    if (n >= kHistory) {
        std::memcpy(h, in + n - kHistory, floats(kHistory));
        return;
    }
    std::memmove(h, h + n, floats(kHistory - n));
    std::memcpy(h + kHistory - n, in, floats(n));
}

void FirResampler::load(const float* samples, int n)
{
    std::memset(history_.get(), 0, floats(kHistory));
    skip(n, samples);
}

bool FirResampler::historyIsFinite() const
{
    return NonFiniteWatch::allFinite(history_.get(), kHistory);
}

} // namespace Vorn
