// The resampler's phase-by-phase forms in four- and eight-float vectors.
// They add the terms of PlanarTerms.h in its order, as the plain forms do;
// the lanes are consecutive samples of one phase, so no shuffling is needed.
// The four phases are summed side by side (each in its own order), so the
// additions of one phase need not wait on each other's latency in turn.

#include "dsp/x86/Kernels.h"

#include <immintrin.h>

namespace Vorn {
namespace X86 {

namespace {

using PlanarTerms::DownTerm;
using PlanarTerms::kDownTerms;
using PlanarTerms::kPhases;
using PlanarTerms::kPlaneLength;
using PlanarTerms::kTermCount;
using PlanarTerms::kUpOffset;

int upSse2(const float* c, const float* x, int from, int n, float* planes)
{
    int t = from;
    for (; t + 4 <= n; t += 4) {
        __m128 s[kPhases] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
#pragma GCC unroll 8
        for (int k = 0; k < kTermCount; ++k) {
            const __m128 term = _mm_loadu_ps(x + t + kUpOffset[k]);
#pragma GCC unroll 4
            for (int j = 0; j < kPhases; ++j)
                s[j] = _mm_add_ps(s[j], _mm_mul_ps(_mm_set1_ps(c[j + kPhases * k]), term));
        }
        for (int j = 0; j < kPhases; ++j)
            _mm_storeu_ps(planes + j * n + t, _mm_mul_ps(_mm_set1_ps(4.0f), s[j]));
    }
    return t;
}

__attribute__((target("avx2"))) int upAvx2(const float* c, const float* x, int n, float* planes)
{
    int t = 0;
    for (; t + 8 <= n; t += 8) {
        __m256 s[kPhases] = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()};
#pragma GCC unroll 8
        for (int k = 0; k < kTermCount; ++k) {
            const __m256 term = _mm256_loadu_ps(x + t + kUpOffset[k]);
#pragma GCC unroll 4
            for (int j = 0; j < kPhases; ++j)
                s[j] = _mm256_add_ps(s[j], _mm256_mul_ps(_mm256_set1_ps(c[j + kPhases * k]), term));
        }
        for (int j = 0; j < kPhases; ++j)
            _mm256_storeu_ps(planes + j * n + t, _mm256_mul_ps(_mm256_set1_ps(4.0f), s[j]));
    }
    return t;
}

int downSse2(const float* c, const float (*q)[kPlaneLength], int from, int n, float* out)
{
    int i = from;
    for (; i + 4 <= n; i += 4) {
        __m128 s[kPhases] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
#pragma GCC unroll 8
        for (int k = 0; k < kTermCount; ++k) {
#pragma GCC unroll 4
            for (int j = 0; j < kPhases; ++j) {
                const DownTerm term = kDownTerms.term[j * kTermCount + k];
                s[j] = _mm_add_ps(
                    s[j], _mm_mul_ps(_mm_set1_ps(c[j + kPhases * k]), _mm_loadu_ps(&q[term.plane][i + term.offset])));
            }
        }
        __m128 total = _mm_setzero_ps();
        for (int j = 0; j < kPhases; ++j)
            total = _mm_add_ps(total, s[j]);
        _mm_storeu_ps(out + i, _mm_mul_ps(_mm_set1_ps(4.0f), total));
    }
    return i;
}

__attribute__((target("avx2"))) int downAvx2(const float* c, const float (*q)[kPlaneLength], int n, float* out)
{
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256 s[kPhases] = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()};
#pragma GCC unroll 8
        for (int k = 0; k < kTermCount; ++k) {
#pragma GCC unroll 4
            for (int j = 0; j < kPhases; ++j) {
                const DownTerm term = kDownTerms.term[j * kTermCount + k];
                s[j] = _mm256_add_ps(s[j], _mm256_mul_ps(_mm256_set1_ps(c[j + kPhases * k]),
                                                         _mm256_loadu_ps(&q[term.plane][i + term.offset])));
            }
        }
        __m256 total = _mm256_setzero_ps();
        for (int j = 0; j < kPhases; ++j)
            total = _mm256_add_ps(total, s[j]);
        _mm256_storeu_ps(out + i, _mm256_mul_ps(_mm256_set1_ps(4.0f), total));
    }
    return i;
}

} // namespace

int upsamplePlanar(const float* c, const float* x, int n, float* planes, InstructionSet level)
{
    int t = level >= InstructionSet::Avx2 ? upAvx2(c, x, n, planes) : 0;
    if (level >= InstructionSet::Sse2)
        t = upSse2(c, x, t, n, planes);
    return t;
}

int downsamplePlanar(const float* c, const float (*q)[kPlaneLength], int n, float* out, InstructionSet level)
{
    int i = level >= InstructionSet::Avx2 ? downAvx2(c, q, n, out) : 0;
    if (level >= InstructionSet::Sse2)
        i = downSse2(c, q, i, n, out);
    return i;
}

} // namespace X86
} // namespace Vorn
