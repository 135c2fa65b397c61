// The saturator's oversampled path for one whole sub-block in vector
// registers from end to end: up-sampling by four, the tanh shaper and
// down-sampling. Run as three passes through memory, each pass reloads what
// the one before had just stored, at widths and offsets that the processor
// cannot forward from its store buffer, and waits for it; held in
// registers, the samples never leave. The results are those of the three
// passes (FirResampler::upsamplePlanar, TanhShaper::apply,
// FirResampler::downsamplePlanar) to the bit.

#include "dsp/x86/HalfLoads.h"
#include "dsp/x86/Kernels.h"
#include "dsp/x86/TanhLanes.h"

#include <immintrin.h>

#include <utility>

namespace Vorn {
namespace X86 {

namespace {

using namespace PlanarTerms;

// Eight consecutive samples of the line prev, cur (8 + 8 samples) starting
// at sample P of it (1 <= P <= 8), where mid is the line's middle eight
// (prev's upper half, cur's lower half). Built by shuffles rather than an
// unaligned load from memory.
template <int P>
__attribute__((target("avx2"), always_inline)) inline __m256 window(__m256 prev, __m256 mid, __m256 cur)
{
    static_assert(P >= 1 && P <= 8, "a window within the line");
    if constexpr (P == 8) {
        return cur;
    } else if constexpr (P == 4) {
        return mid;
    } else if constexpr (P < 4) {
        return _mm256_castsi256_ps(_mm256_alignr_epi8(_mm256_castps_si256(mid), _mm256_castps_si256(prev), 4 * P));
    } else {
        return _mm256_castsi256_ps(_mm256_alignr_epi8(_mm256_castps_si256(cur), _mm256_castps_si256(mid), 4 * (P - 4)));
    }
}

__attribute__((target("avx2"), always_inline)) inline __m256 middle(__m256 prev, __m256 cur)
{
    return _mm256_permute2f128_ps(prev, cur, 0x21);
}

// The eight windows of one up-sampled vector: term k is x[t + kUpOffset[k]]
// for the eight samples t of cur, with the line holding the eight before.
template <int... K>
__attribute__((target("avx2"), always_inline)) inline void upTerms(__m256 prev, __m256 cur, __m256* terms,
                                                                   std::integer_sequence<int, K...>)
{
    const __m256 mid = middle(prev, cur);
    ((terms[K] = window<8 + kUpOffset[K]>(prev, mid, cur)), ...);
}

// The windows of one plane a down-sampled vector reads: offset o (0..2)
// starts two samples before the block, so at sample 6 + o of the line.
struct PlaneWindows {
    __m256 at[3];
};

__attribute__((target("avx2"), always_inline)) inline PlaneWindows planeWindows(__m256 prev, __m256 cur)
{
    const __m256 mid = middle(prev, cur);
    return {{window<6>(prev, mid, cur), window<7>(prev, mid, cur), window<8>(prev, mid, cur)}};
}

// clang-format 14 would move the unroll pragmas to the first column, away
// from the loops they belong to.
// clang-format off
__attribute__((target("avx2"), always_inline)) inline void run(const float* c, float* upHistory,
                                                                         float* downHistory, const float* in,
                                                                         float gain, float* out)
{
    using Float = TanhMath::Lanes<8>::Float;
    constexpr int kVectors = kSaturatorBlock / 8;

    // Up-sampling: x[-8..-1] from the history, then the block.
    const __m256 x[kVectors + 1] = {_mm256_loadu_ps(upHistory), loadHalves(in), loadHalves(in + 8)};
    __m256 planes[kPhases][kVectors];
    #pragma GCC unroll 8
    for (int v = 0; v < kVectors; ++v) {
        __m256 terms[kTermCount];
        upTerms(x[v], x[v + 1], terms, std::make_integer_sequence<int, kTermCount>{});
        #pragma GCC unroll 8
        for (int j = 0; j < kPhases; ++j) {
            __m256 s = _mm256_setzero_ps();
            #pragma GCC unroll 8
            for (int k = 0; k < kTermCount; ++k)
                s = _mm256_add_ps(s, _mm256_mul_ps(_mm256_set1_ps(c[j + kPhases * k]), terms[k]));
            planes[j][v] = _mm256_mul_ps(_mm256_set1_ps(4.0f), s);
        }
    }
    _mm256_storeu_ps(upHistory, x[kVectors]);

    // The shaper, on every up-sampled sample.
    #pragma GCC unroll 8
    for (int j = 0; j < kPhases; ++j) {
        #pragma GCC unroll 8
        for (int v = 0; v < kVectors; ++v) {
            Float y = __builtin_bit_cast(Float, planes[j][v]);
            y = gain * y;
            TanhMath::tanhLanes<8>(y);
            planes[j][v] = __builtin_bit_cast(__m256, y);
        }
    }

    // Down-sampling. The history holds stream samples -8..-1 in time order;
    // plane r's two samples before the block are stream samples r - 8 (never
    // read for r = 0) and r - 4, which go in the top lanes of the vector
    // that precedes the plane.
    __m256 before[kPhases];
    #pragma GCC unroll 8
    for (int r = 0; r < kPhases; ++r)
        before[r] = _mm256_set_ps(downHistory[4 + r], r == 0 ? 0.0f : downHistory[r], 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                  0.0f);
    #pragma GCC unroll 8
    for (int v = 0; v < kVectors; ++v) {
        PlaneWindows w[kPhases];
        #pragma GCC unroll 8
        for (int r = 0; r < kPhases; ++r)
            w[r] = planeWindows(v == 0 ? before[r] : planes[r][v - 1], planes[r][v]);
        __m256 s[kPhases];
        #pragma GCC unroll 8
        for (int j = 0; j < kPhases; ++j)
            s[j] = _mm256_setzero_ps();
        #pragma GCC unroll 8
        for (int k = 0; k < kTermCount; ++k) {
            #pragma GCC unroll 8
            for (int j = 0; j < kPhases; ++j) {
                const DownTerm term = downTerm(j, k);
                s[j] = _mm256_add_ps(s[j], _mm256_mul_ps(_mm256_set1_ps(c[j + kPhases * k]), w[term.plane].at[term.offset]));
            }
        }
        __m256 total = _mm256_setzero_ps();
        #pragma GCC unroll 8
        for (int j = 0; j < kPhases; ++j)
            total = _mm256_add_ps(total, s[j]);
        _mm256_storeu_ps(out + 8 * v, _mm256_mul_ps(_mm256_set1_ps(4.0f), total));
    }

    // The last eight stream samples, in time order: samples 14 and 15 of
    // planes 0..3, which sit in the top two lanes of each plane's last vector.
    const __m256 low = _mm256_unpackhi_ps(planes[0][kVectors - 1], planes[1][kVectors - 1]);
    const __m256 high = _mm256_unpackhi_ps(planes[2][kVectors - 1], planes[3][kVectors - 1]);
    const __m128 lowTop = _mm256_extractf128_ps(low, 1);
    const __m128 highTop = _mm256_extractf128_ps(high, 1);
    _mm_storeu_ps(downHistory, _mm_movelh_ps(lowTop, highTop));
    _mm_storeu_ps(downHistory + 4, _mm_movehl_ps(highTop, lowTop));
}
// clang-format on

__attribute__((target("avx2"))) void runAvx2(const float* c, float* upHistory, float* downHistory, const float* in,
                                             float gain, float* out)
{
    run(c, upHistory, downHistory, in, gain, out);
}

// The same instructions with twice the registers, where the processor has
// them: the block's sixteen vectors of samples and the shaper's constants
// then no longer spill.
__attribute__((target("avx2,avx512f,avx512vl"))) void runAvx512(const float* c, float* upHistory, float* downHistory,
                                                                const float* in, float gain, float* out)
{
    run(c, upHistory, downHistory, in, gain, out);
}

} // namespace

void saturateSubBlock(const float* coefficients, float* upHistory, float* downHistory, const float* in, float gain,
                      float* out, InstructionSet level)
{
    if (level >= InstructionSet::Avx512)
        runAvx512(coefficients, upHistory, downHistory, in, gain, out);
    else
        runAvx2(coefficients, upHistory, downHistory, in, gain, out);
}

} // namespace X86
} // namespace Vorn
