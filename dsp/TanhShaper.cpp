#include "dsp/TanhShaper.h"

#include "dsp/CpuFeatures.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VORN_X86 1
#endif

namespace Vorn {

// tanh in float lanes, on a = |y| with the sign put back at the end (so the
// curve is exactly odd):
//
//  - a < 0.7: tanh(a) = a + a s P(s), s = a^2, P of degree 4 fitted to
//    (tanh(a) - a) / a^3. The correction is at most a seventh of a, so its
//    rounding barely shows.
//  - otherwise: tanh(a) = 1 - 2 / (E + 1) with E = exp(2a) = 2^w,
//    w = a * 2 log2(e) = k + f, k an integer, |f| <= 1/2, and 2^f a
//    polynomial of degree 6. The rounding of w makes E off by up to about
//    1e-7 relative, but 1 - 2 / (E + 1) shrinks that by 2E / (E + 1)^2 <= 0.32
//    here. a is limited to 9.5, where 2 / (E + 1) is below a quarter step of
//    1 and the result is exactly 1.
//
// Over every float the error is at most 1.58 float steps (largest near
// 0.75, just past the seam) and 9.4e-8 absolute. Both branches are computed
// and each lane picks one. The exponential's polynomial is evaluated by
// Estrin's scheme, whose chain of dependent operations is half as long as
// Horner's: a block is only 64 samples, so the latency of one lane shows.
//
// Every form below, the scalar one included, performs the same float
// operations in the same order: no fused multiply-add, no approximate
// reciprocal, no library call. So a result does not depend on the processor,
// the compiler's library or where a block was split. NaN stays NaN (the clamp
// keeps its second operand when one is NaN), infinities give +-1.

namespace {

constexpr float kLimit = 9.5f;
constexpr float kSplit = 0.7f;
constexpr float kTwoLog2e = 2.88539004f;
constexpr float kRoundingMagic = 12582912.0f; // 1.5 * 2^23
constexpr std::uint32_t kExponentOne = 127u << 23;
constexpr std::uint32_t kExponentTwo = 128u << 23;
constexpr std::uint32_t kSignBit = 0x80000000u;

// 2^f on |f| <= 1/2
constexpr float kE0 = 1.0f;
constexpr float kE1 = 0x1.62e43p-1f;
constexpr float kE2 = 0x1.ebfbdap-3f;
constexpr float kE3 = 0x1.c6aed6p-5f;
constexpr float kE4 = 0x1.3b2dfep-7f;
constexpr float kE5 = 0x1.5f44fp-10f;
constexpr float kE6 = 0x1.41a6fep-13f;

// P(s) ~ (tanh(a) - a) / a^3, s = a^2, a < 0.7
constexpr float kP0 = -0x1.5554fap-2f;
constexpr float kP1 = 0x1.10fbaap-3f;
constexpr float kP2 = -0x1.b6d14ap-5f;
constexpr float kP3 = 0x1.49788ep-6f;
constexpr float kP4 = -0x1.51a992p-8f;

inline float fromBits(std::uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

inline std::uint32_t toBits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// The reference form of the lane arithmetic; the vector forms mirror it
// operation by operation.
float tanhLane(float y)
{
    const std::uint32_t sign = toBits(y) & kSignBit;
    float a = fromBits(toBits(y) & ~kSignBit);
    a = kLimit < a ? kLimit : a; // what minps(limit, a) gives, NaN included

    const float w = a * kTwoLog2e;
    const float shifted = w + kRoundingMagic;
    const float k = shifted - kRoundingMagic;
    const float f = w - k;
    const float f2 = f * f;
    const float f4 = f2 * f2;
    const float e12 = kE1 + kE2 * f;
    const float e34 = kE3 + kE4 * f;
    const float e56 = kE5 + kE6 * f;
    const float q = (e12 + e34 * f2) + e56 * f4;
    const float e = kE0 + f * q;
    // The rounding left k in the low bits of `shifted`; moved into the
    // exponent field it gives 2^-k and 2^(1-k). 2 / (2^k e + 1) is then
    // 2^(1-k) / (e + 2^-k), the same number (scaling by 2^k is exact) with
    // one multiplication fewer on the chain to the division.
    const std::uint32_t kField = toBits(shifted) << 23;
    const float down = fromBits(kExponentOne - kField);
    const float twiceDown = fromBits(kExponentTwo - kField);
    const float large = 1.0f - twiceDown / (e + down);

    const float s = a * a;
    float p = kP4;
    p = p * s + kP3;
    p = p * s + kP2;
    p = p * s + kP1;
    p = p * s + kP0;
    const float small = a + (a * s) * p;

    const float t = a < kSplit ? small : large;
    return fromBits(toBits(t) | sign);
}

} // namespace

#if defined(VORN_X86)
namespace {

inline __m128 tanh4(__m128 y)
{
    const __m128 signMask = _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(kSignBit)));
    const __m128 sign = _mm_and_ps(y, signMask);
    __m128 a = _mm_andnot_ps(signMask, y);
    a = _mm_min_ps(_mm_set1_ps(kLimit), a);

    const __m128 w = _mm_mul_ps(a, _mm_set1_ps(kTwoLog2e));
    const __m128 magic = _mm_set1_ps(kRoundingMagic);
    const __m128 shifted = _mm_add_ps(w, magic);
    const __m128 k = _mm_sub_ps(shifted, magic);
    const __m128 f = _mm_sub_ps(w, k);
    const __m128 f2 = _mm_mul_ps(f, f);
    const __m128 f4 = _mm_mul_ps(f2, f2);
    const __m128 e12 = _mm_add_ps(_mm_set1_ps(kE1), _mm_mul_ps(_mm_set1_ps(kE2), f));
    const __m128 e34 = _mm_add_ps(_mm_set1_ps(kE3), _mm_mul_ps(_mm_set1_ps(kE4), f));
    const __m128 e56 = _mm_add_ps(_mm_set1_ps(kE5), _mm_mul_ps(_mm_set1_ps(kE6), f));
    const __m128 q = _mm_add_ps(_mm_add_ps(e12, _mm_mul_ps(e34, f2)), _mm_mul_ps(e56, f4));
    const __m128 e = _mm_add_ps(_mm_set1_ps(kE0), _mm_mul_ps(f, q));
    const __m128i kField = _mm_slli_epi32(_mm_castps_si128(shifted), 23);
    const __m128 down = _mm_castsi128_ps(_mm_sub_epi32(_mm_set1_epi32(static_cast<int>(kExponentOne)), kField));
    const __m128 twiceDown = _mm_castsi128_ps(_mm_sub_epi32(_mm_set1_epi32(static_cast<int>(kExponentTwo)), kField));
    const __m128 large = _mm_sub_ps(_mm_set1_ps(1.0f), _mm_div_ps(twiceDown, _mm_add_ps(e, down)));

    const __m128 s = _mm_mul_ps(a, a);
    __m128 p = _mm_set1_ps(kP4);
    p = _mm_add_ps(_mm_mul_ps(p, s), _mm_set1_ps(kP3));
    p = _mm_add_ps(_mm_mul_ps(p, s), _mm_set1_ps(kP2));
    p = _mm_add_ps(_mm_mul_ps(p, s), _mm_set1_ps(kP1));
    p = _mm_add_ps(_mm_mul_ps(p, s), _mm_set1_ps(kP0));
    const __m128 small = _mm_add_ps(a, _mm_mul_ps(_mm_mul_ps(a, s), p));

    const __m128 useSmall = _mm_cmplt_ps(a, _mm_set1_ps(kSplit));
    const __m128 t = _mm_or_ps(_mm_and_ps(useSmall, small), _mm_andnot_ps(useSmall, large));
    return _mm_or_ps(t, sign);
}

int applySse2(float* work, int n, float g)
{
    const __m128 gain = _mm_set1_ps(g);
    int i = 0;
    for (; i + 4 <= n; i += 4)
        _mm_storeu_ps(work + i, tanh4(_mm_mul_ps(gain, _mm_loadu_ps(work + i))));
    return i;
}

__attribute__((target("avx2"))) inline __m256 tanh8(__m256 y)
{
    const __m256 signMask = _mm256_castsi256_ps(_mm256_set1_epi32(static_cast<int>(kSignBit)));
    const __m256 sign = _mm256_and_ps(y, signMask);
    __m256 a = _mm256_andnot_ps(signMask, y);
    a = _mm256_min_ps(_mm256_set1_ps(kLimit), a);

    const __m256 w = _mm256_mul_ps(a, _mm256_set1_ps(kTwoLog2e));
    const __m256 magic = _mm256_set1_ps(kRoundingMagic);
    const __m256 shifted = _mm256_add_ps(w, magic);
    const __m256 k = _mm256_sub_ps(shifted, magic);
    const __m256 f = _mm256_sub_ps(w, k);
    const __m256 f2 = _mm256_mul_ps(f, f);
    const __m256 f4 = _mm256_mul_ps(f2, f2);
    const __m256 e12 = _mm256_add_ps(_mm256_set1_ps(kE1), _mm256_mul_ps(_mm256_set1_ps(kE2), f));
    const __m256 e34 = _mm256_add_ps(_mm256_set1_ps(kE3), _mm256_mul_ps(_mm256_set1_ps(kE4), f));
    const __m256 e56 = _mm256_add_ps(_mm256_set1_ps(kE5), _mm256_mul_ps(_mm256_set1_ps(kE6), f));
    const __m256 q = _mm256_add_ps(_mm256_add_ps(e12, _mm256_mul_ps(e34, f2)), _mm256_mul_ps(e56, f4));
    const __m256 e = _mm256_add_ps(_mm256_set1_ps(kE0), _mm256_mul_ps(f, q));
    const __m256i kField = _mm256_slli_epi32(_mm256_castps_si256(shifted), 23);
    const __m256 down =
        _mm256_castsi256_ps(_mm256_sub_epi32(_mm256_set1_epi32(static_cast<int>(kExponentOne)), kField));
    const __m256 twiceDown =
        _mm256_castsi256_ps(_mm256_sub_epi32(_mm256_set1_epi32(static_cast<int>(kExponentTwo)), kField));
    const __m256 large = _mm256_sub_ps(_mm256_set1_ps(1.0f), _mm256_div_ps(twiceDown, _mm256_add_ps(e, down)));

    const __m256 s = _mm256_mul_ps(a, a);
    __m256 p = _mm256_set1_ps(kP4);
    p = _mm256_add_ps(_mm256_mul_ps(p, s), _mm256_set1_ps(kP3));
    p = _mm256_add_ps(_mm256_mul_ps(p, s), _mm256_set1_ps(kP2));
    p = _mm256_add_ps(_mm256_mul_ps(p, s), _mm256_set1_ps(kP1));
    p = _mm256_add_ps(_mm256_mul_ps(p, s), _mm256_set1_ps(kP0));
    const __m256 small = _mm256_add_ps(a, _mm256_mul_ps(_mm256_mul_ps(a, s), p));

    const __m256 useSmall = _mm256_cmp_ps(a, _mm256_set1_ps(kSplit), _CMP_LT_OQ);
    const __m256 t = _mm256_blendv_ps(large, small, useSmall);
    return _mm256_or_ps(t, sign);
}

__attribute__((target("avx2"))) int applyAvx2(float* work, int n, float g)
{
    const __m256 gain = _mm256_set1_ps(g);
    int i = 0;
    for (; i + 8 <= n; i += 8)
        _mm256_storeu_ps(work + i, tanh8(_mm256_mul_ps(gain, _mm256_loadu_ps(work + i))));
    return i;
}

// The same arithmetic on sixteen lanes. (GCC 12's AVX-512 headers warn about
// their own undefined pass-through operands.)
#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f"))) inline __m512 tanh16(__m512 y)
{
    const __m512i signMask = _mm512_set1_epi32(static_cast<int>(kSignBit));
    const __m512i bits = _mm512_castps_si512(y);
    const __m512i sign = _mm512_and_si512(bits, signMask);
    __m512 a = _mm512_castsi512_ps(_mm512_andnot_si512(signMask, bits));
    a = _mm512_min_ps(_mm512_set1_ps(kLimit), a);

    const __m512 w = _mm512_mul_ps(a, _mm512_set1_ps(kTwoLog2e));
    const __m512 magic = _mm512_set1_ps(kRoundingMagic);
    const __m512 shifted = _mm512_add_ps(w, magic);
    const __m512 k = _mm512_sub_ps(shifted, magic);
    const __m512 f = _mm512_sub_ps(w, k);
    const __m512 f2 = _mm512_mul_ps(f, f);
    const __m512 f4 = _mm512_mul_ps(f2, f2);
    const __m512 e12 = _mm512_add_ps(_mm512_set1_ps(kE1), _mm512_mul_ps(_mm512_set1_ps(kE2), f));
    const __m512 e34 = _mm512_add_ps(_mm512_set1_ps(kE3), _mm512_mul_ps(_mm512_set1_ps(kE4), f));
    const __m512 e56 = _mm512_add_ps(_mm512_set1_ps(kE5), _mm512_mul_ps(_mm512_set1_ps(kE6), f));
    const __m512 q = _mm512_add_ps(_mm512_add_ps(e12, _mm512_mul_ps(e34, f2)), _mm512_mul_ps(e56, f4));
    const __m512 e = _mm512_add_ps(_mm512_set1_ps(kE0), _mm512_mul_ps(f, q));
    const __m512i kField = _mm512_slli_epi32(_mm512_castps_si512(shifted), 23);
    const __m512 down =
        _mm512_castsi512_ps(_mm512_sub_epi32(_mm512_set1_epi32(static_cast<int>(kExponentOne)), kField));
    const __m512 twiceDown =
        _mm512_castsi512_ps(_mm512_sub_epi32(_mm512_set1_epi32(static_cast<int>(kExponentTwo)), kField));
    const __m512 large = _mm512_sub_ps(_mm512_set1_ps(1.0f), _mm512_div_ps(twiceDown, _mm512_add_ps(e, down)));

    const __m512 s = _mm512_mul_ps(a, a);
    __m512 p = _mm512_set1_ps(kP4);
    p = _mm512_add_ps(_mm512_mul_ps(p, s), _mm512_set1_ps(kP3));
    p = _mm512_add_ps(_mm512_mul_ps(p, s), _mm512_set1_ps(kP2));
    p = _mm512_add_ps(_mm512_mul_ps(p, s), _mm512_set1_ps(kP1));
    p = _mm512_add_ps(_mm512_mul_ps(p, s), _mm512_set1_ps(kP0));
    const __m512 small = _mm512_add_ps(a, _mm512_mul_ps(_mm512_mul_ps(a, s), p));

    const __mmask16 useSmall = _mm512_cmp_ps_mask(a, _mm512_set1_ps(kSplit), _CMP_LT_OQ);
    const __m512 t = _mm512_mask_blend_ps(useSmall, large, small);
    return _mm512_castsi512_ps(_mm512_or_si512(_mm512_castps_si512(t), sign));
}

__attribute__((target("avx512f"))) int applyAvx512(float* work, int n, float g)
{
    const __m512 gain = _mm512_set1_ps(g);
    int i = 0;
    for (; i + 16 <= n; i += 16)
        _mm512_storeu_ps(work + i, tanh16(_mm512_mul_ps(gain, _mm512_loadu_ps(work + i))));
    return i;
}
#pragma GCC diagnostic pop

} // namespace
#endif

TanhShaper::Kernel TanhShaper::widest()
{
#if defined(VORN_X86)
    if (cpuHasAvx512())
        return Kernel::Avx512;
    return cpuHasAvx2() ? Kernel::Avx2 : Kernel::Sse2;
#else
    return Kernel::Scalar;
#endif
}

void TanhShaper::apply(float* work, int n, float g)
{
    apply(work, n, g, widest());
}

void TanhShaper::apply(float* work, int n, float g, Kernel kernel)
{
    if (kernel == Kernel::Library) {
        applyExact(work, n, g);
        return;
    }
    int i = 0;
#if defined(VORN_X86)
    // Each wider form leaves its remainder to the next narrower one; they all
    // give the same bits, so the split never shows in the result.
    if (kernel == Kernel::Avx512 && cpuHasAvx512())
        i = applyAvx512(work, n, g);
    if ((kernel == Kernel::Avx512 || kernel == Kernel::Avx2) && cpuHasAvx2())
        i += applyAvx2(work + i, n - i, g);
    if (kernel != Kernel::Scalar)
        i += applySse2(work + i, n - i, g);
#else
    (void)kernel;
#endif
    for (; i < n; ++i)
        work[i] = tanhLane(g * work[i]);
}

void TanhShaper::applyExact(float* work, int n, float g)
{
    for (int i = 0; i < n; ++i)
        work[i] = static_cast<float>(std::tanh(static_cast<double>(g * work[i])));
}

} // namespace Vorn
