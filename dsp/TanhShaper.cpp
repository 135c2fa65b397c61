#include "dsp/TanhShaper.h"

#include "dsp/CpuFeatures.h"

#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VORN_X86 1
#endif

namespace Vorn {

// tanh(y) = e / (e + 2) with e = exp(2y) - 1. The exponential is
// 2^k (1 + r q(r)) with |r| <= ln2 / 2 and q the Taylor polynomial of degree
// 10 (relative error about 2e-13). e is formed as (2^k - 1) + 2^k r q(r),
// which keeps its relative accuracy for small y, where k = 0. |y| is limited
// to 20, where tanh is 1 in double already. NaN stays NaN: the clamps keep
// their second operand when one is NaN.
//
// q is evaluated by Estrin's scheme rather than Horner's: the chain of
// dependent operations is a third as long, so many samples are in flight at
// once. The two kernels below are the same arithmetic at two vector widths.

namespace {

constexpr double kLog2e = 1.4426950408889634074;
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kRoundingMagic = 6755399441055744.0; // 1.5 * 2^52
constexpr double kLimit = 20.0;

} // namespace

#if defined(VORN_X86)
namespace {

inline __m128d tanh2(__m128d y)
{
    y = _mm_max_pd(_mm_set1_pd(-kLimit), _mm_min_pd(_mm_set1_pd(kLimit), y));
    const __m128d z = _mm_add_pd(y, y);
    const __m128d magic = _mm_set1_pd(kRoundingMagic);
    const __m128d shifted = _mm_add_pd(_mm_mul_pd(z, _mm_set1_pd(kLog2e)), magic);
    const __m128d k = _mm_sub_pd(shifted, magic);
    __m128d r = _mm_sub_pd(z, _mm_mul_pd(k, _mm_set1_pd(kLn2High)));
    r = _mm_sub_pd(r, _mm_mul_pd(k, _mm_set1_pd(kLn2Low)));
    const auto term = [r](double a, double b) { return _mm_add_pd(_mm_set1_pd(a), _mm_mul_pd(_mm_set1_pd(b), r)); };
    const __m128d r2 = _mm_mul_pd(r, r);
    const __m128d r4 = _mm_mul_pd(r2, r2);
    const __m128d r8 = _mm_mul_pd(r4, r4);
    const __m128d q0123 = _mm_add_pd(term(1.0, 1.0 / 2.0), _mm_mul_pd(term(1.0 / 6.0, 1.0 / 24.0), r2));
    const __m128d q4567 = _mm_add_pd(term(1.0 / 120.0, 1.0 / 720.0), _mm_mul_pd(term(1.0 / 5040.0, 1.0 / 40320.0), r2));
    const __m128d q8910 = _mm_add_pd(term(1.0 / 362880.0, 1.0 / 3628800.0), _mm_mul_pd(_mm_set1_pd(1.0 / 39916800.0), r2));
    const __m128d q = _mm_add_pd(_mm_add_pd(q0123, _mm_mul_pd(q4567, r4)), _mm_mul_pd(q8910, r8));
    // 2^k from the integer that the rounding left in the low bits of `shifted`.
    const __m128d scale = _mm_castsi128_pd(_mm_add_epi64(_mm_slli_epi64(_mm_castpd_si128(shifted), 52),
                                                         _mm_set1_epi64x(1023LL << 52)));
    const __m128d e = _mm_add_pd(_mm_sub_pd(scale, _mm_set1_pd(1.0)), _mm_mul_pd(scale, _mm_mul_pd(r, q)));
    return _mm_div_pd(e, _mm_add_pd(e, _mm_set1_pd(2.0)));
}

int applySse2(float* work, int n, float g)
{
    const __m128 gain = _mm_set1_ps(g);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 x = _mm_mul_ps(gain, _mm_loadu_ps(work + i));
        const __m128d low = tanh2(_mm_cvtps_pd(x));
        const __m128d high = tanh2(_mm_cvtps_pd(_mm_movehl_ps(x, x)));
        _mm_storeu_ps(work + i, _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)));
    }
    return i;
}

__attribute__((target("avx2"))) inline __m256d tanh4(__m256d y)
{
    y = _mm256_max_pd(_mm256_set1_pd(-kLimit), _mm256_min_pd(_mm256_set1_pd(kLimit), y));
    const __m256d z = _mm256_add_pd(y, y);
    const __m256d magic = _mm256_set1_pd(kRoundingMagic);
    const __m256d shifted = _mm256_add_pd(_mm256_mul_pd(z, _mm256_set1_pd(kLog2e)), magic);
    const __m256d k = _mm256_sub_pd(shifted, magic);
    __m256d r = _mm256_sub_pd(z, _mm256_mul_pd(k, _mm256_set1_pd(kLn2High)));
    r = _mm256_sub_pd(r, _mm256_mul_pd(k, _mm256_set1_pd(kLn2Low)));
    const auto term = [r](double a, double b) __attribute__((target("avx2"))) {
        return _mm256_add_pd(_mm256_set1_pd(a), _mm256_mul_pd(_mm256_set1_pd(b), r));
    };
    const __m256d r2 = _mm256_mul_pd(r, r);
    const __m256d r4 = _mm256_mul_pd(r2, r2);
    const __m256d r8 = _mm256_mul_pd(r4, r4);
    const __m256d q0123 = _mm256_add_pd(term(1.0, 1.0 / 2.0), _mm256_mul_pd(term(1.0 / 6.0, 1.0 / 24.0), r2));
    const __m256d q4567 =
        _mm256_add_pd(term(1.0 / 120.0, 1.0 / 720.0), _mm256_mul_pd(term(1.0 / 5040.0, 1.0 / 40320.0), r2));
    const __m256d q8910 = _mm256_add_pd(term(1.0 / 362880.0, 1.0 / 3628800.0),
                                        _mm256_mul_pd(_mm256_set1_pd(1.0 / 39916800.0), r2));
    const __m256d q = _mm256_add_pd(_mm256_add_pd(q0123, _mm256_mul_pd(q4567, r4)), _mm256_mul_pd(q8910, r8));
    const __m256d scale = _mm256_castsi256_pd(_mm256_add_epi64(
        _mm256_slli_epi64(_mm256_castpd_si256(shifted), 52), _mm256_set1_epi64x(1023LL << 52)));
    const __m256d e =
        _mm256_add_pd(_mm256_sub_pd(scale, _mm256_set1_pd(1.0)), _mm256_mul_pd(scale, _mm256_mul_pd(r, q)));
    return _mm256_div_pd(e, _mm256_add_pd(e, _mm256_set1_pd(2.0)));
}

__attribute__((target("avx2"))) int applyAvx2(float* work, int n, float g)
{
    const __m128 gain = _mm_set1_ps(g);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 x = _mm_mul_ps(gain, _mm_loadu_ps(work + i));
        _mm_storeu_ps(work + i, _mm256_cvtpd_ps(tanh4(_mm256_cvtps_pd(x))));
    }
    return i;
}

// The same arithmetic on eight lanes. (GCC 12's AVX-512 headers warn about
// their own undefined pass-through operands.)
#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f"))) inline __m512d tanh8(__m512d y)
{
    y = _mm512_max_pd(_mm512_set1_pd(-kLimit), _mm512_min_pd(_mm512_set1_pd(kLimit), y));
    const __m512d z = _mm512_add_pd(y, y);
    const __m512d magic = _mm512_set1_pd(kRoundingMagic);
    const __m512d shifted = _mm512_add_pd(_mm512_mul_pd(z, _mm512_set1_pd(kLog2e)), magic);
    const __m512d k = _mm512_sub_pd(shifted, magic);
    __m512d r = _mm512_sub_pd(z, _mm512_mul_pd(k, _mm512_set1_pd(kLn2High)));
    r = _mm512_sub_pd(r, _mm512_mul_pd(k, _mm512_set1_pd(kLn2Low)));
    const auto term = [r](double a, double b) __attribute__((target("avx512f"))) {
        return _mm512_add_pd(_mm512_set1_pd(a), _mm512_mul_pd(_mm512_set1_pd(b), r));
    };
    const __m512d r2 = _mm512_mul_pd(r, r);
    const __m512d r4 = _mm512_mul_pd(r2, r2);
    const __m512d r8 = _mm512_mul_pd(r4, r4);
    const __m512d q0123 = _mm512_add_pd(term(1.0, 1.0 / 2.0), _mm512_mul_pd(term(1.0 / 6.0, 1.0 / 24.0), r2));
    const __m512d q4567 =
        _mm512_add_pd(term(1.0 / 120.0, 1.0 / 720.0), _mm512_mul_pd(term(1.0 / 5040.0, 1.0 / 40320.0), r2));
    const __m512d q8910 = _mm512_add_pd(term(1.0 / 362880.0, 1.0 / 3628800.0),
                                        _mm512_mul_pd(_mm512_set1_pd(1.0 / 39916800.0), r2));
    const __m512d q = _mm512_add_pd(_mm512_add_pd(q0123, _mm512_mul_pd(q4567, r4)), _mm512_mul_pd(q8910, r8));
    const __m512d scale = _mm512_castsi512_pd(_mm512_add_epi64(
        _mm512_slli_epi64(_mm512_castpd_si512(shifted), 52), _mm512_set1_epi64(1023LL << 52)));
    const __m512d e =
        _mm512_add_pd(_mm512_sub_pd(scale, _mm512_set1_pd(1.0)), _mm512_mul_pd(scale, _mm512_mul_pd(r, q)));
    return _mm512_div_pd(e, _mm512_add_pd(e, _mm512_set1_pd(2.0)));
}

__attribute__((target("avx512f"))) int applyAvx512(float* work, int n, float g)
{
    const __m256 gain = _mm256_set1_ps(g);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256 x = _mm256_mul_ps(gain, _mm256_loadu_ps(work + i));
        _mm256_storeu_ps(work + i, _mm512_cvtpd_ps(tanh8(_mm512_cvtps_pd(x))));
    }
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
    return Kernel::Library;
#endif
}

void TanhShaper::apply(float* work, int n, float g)
{
    apply(work, n, g, widest());
}

void TanhShaper::apply(float* work, int n, float g, Kernel kernel)
{
    int i = 0;
#if defined(VORN_X86)
    if (kernel == Kernel::Avx512 && cpuHasAvx512())
        i = applyAvx512(work, n, g);
    if (kernel != Kernel::Library && kernel != Kernel::Sse2 && cpuHasAvx2())
        i += applyAvx2(work + i, n - i, g);
    else if (kernel != Kernel::Library)
        i += applySse2(work + i, n - i, g);
#else
    (void)kernel;
#endif
    for (; i < n; ++i)
        work[i] = static_cast<float>(std::tanh(static_cast<double>(g * work[i])));
}

void TanhShaper::applyExact(float* work, int n, float g)
{
    for (int i = 0; i < n; ++i)
        work[i] = static_cast<float>(std::tanh(static_cast<double>(g * work[i])));
}

} // namespace Vorn
