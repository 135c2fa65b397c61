#include "dsp/x86/SVFilterLanes.h"

#include "dsp/SVFilter.h"
#include "dsp/SVFilterLoop.h"
#include "dsp/x86/HalfLoads.h"

#include <immintrin.h>

namespace Vorn {

namespace {

typedef double Lanes __attribute__((vector_size(SVFilterLanes::kLanes * sizeof(double))));
typedef float FloatLanes __attribute__((vector_size(SVFilterLanes::kLanes * sizeof(float))));

// Vectors are passed by reference only: they are wider than the baseline
// instruction set, whose calling convention has no place for them.
inline Lanes& lanesAt(double* p)
{
    return *reinterpret_cast<Lanes*>(p);
}

template <int Selected>
[[gnu::always_inline]] inline void runLanes(SVFilterLanes& s, int count)
{
    Lanes low = lanesAt(s.low), band = lanesAt(s.band);
    svFilterLoop<Selected>(
        lanesAt(s.f), lanesAt(s.m), low, band, count,
        [&s](int j, Lanes& x) { x = __builtin_convertvector(*reinterpret_cast<const FloatLanes*>(s.in[j]), Lanes); },
        [&s](int j, const Lanes& y1, const Lanes& y2) {
            const Lanes sum = __builtin_convertvector(__builtin_convertvector(y1, FloatLanes), Lanes) + y2;
            *reinterpret_cast<FloatLanes*>(s.out[j]) = __builtin_convertvector(sum * 0.5, FloatLanes);
        });
    lanesAt(s.low) = low;
    lanesAt(s.band) = band;
}

template <int Selected>
void runBase(SVFilterLanes& s, int count)
{
    runLanes<Selected>(s, count);
}

template <int Selected>
__attribute__((target("avx2"))) void runAvx2(SVFilterLanes& s, int count)
{
    runLanes<Selected>(s, count);
}

#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
template <int Selected>
__attribute__((target("avx512f"))) void runAvx512(SVFilterLanes& s, int count)
{
    runLanes<Selected>(s, count);
}
#pragma GCC diagnostic pop

template <int Selected>
void runAt(SVFilterLanes& s, int count, InstructionSet level)
{
    if (level >= InstructionSet::Avx512)
        return runAvx512<Selected>(s, count);
    if (level >= InstructionSet::Avx2)
        return runAvx2<Selected>(s, count);
    runBase<Selected>(s, count);
}

} // namespace

void SVFilterLanes::run(int mode, int count, InstructionSet level)
{
    switch (mode) {
    case SVFilter::LowPass:
        runAt<SVFilter::LowPass>(*this, count, level);
        break;
    case SVFilter::HighPass:
        runAt<SVFilter::HighPass>(*this, count, level);
        break;
    case SVFilter::BandPass:
        runAt<SVFilter::BandPass>(*this, count, level);
        break;
    default:
        runAt<SVFilter::BandReject>(*this, count, level);
        break;
    }
}

namespace {

// Rows r[0..8) of eight floats become columns: r[k] ends up holding
// element k of every former row.
__attribute__((target("avx"), always_inline)) inline void transpose8(__m256* r)
{
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
    const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    r[0] = _mm256_permute2f128_ps(u0, u4, 0x20);
    r[1] = _mm256_permute2f128_ps(u1, u5, 0x20);
    r[2] = _mm256_permute2f128_ps(u2, u6, 0x20);
    r[3] = _mm256_permute2f128_ps(u3, u7, 0x20);
    r[4] = _mm256_permute2f128_ps(u0, u4, 0x31);
    r[5] = _mm256_permute2f128_ps(u1, u5, 0x31);
    r[6] = _mm256_permute2f128_ps(u2, u6, 0x31);
    r[7] = _mm256_permute2f128_ps(u3, u7, 0x31);
}

// clang-format 14 would move the unroll pragmas to the first column, away
// from the loops they belong to.
// clang-format off
__attribute__((target("avx"))) void loadWhole(float (*in)[SVFilterLanes::kLanes], const float* const* buffers,
                                              int lanes)
{
    #pragma GCC unroll 8
    for (int half = 0; half < kSubBlock; half += 8) {
        __m256 r[SVFilterLanes::kLanes];
        #pragma GCC unroll 8
        for (int v = 0; v < SVFilterLanes::kLanes; ++v)
            r[v] = v < lanes ? loadHalves(buffers[v] + half) : _mm256_setzero_ps();
        transpose8(r);
        #pragma GCC unroll 8
        for (int j = 0; j < 8; ++j)
            _mm256_store_ps(in[half + j], r[j]);
    }
}

__attribute__((target("avx"))) void storeWhole(const float (*out)[SVFilterLanes::kLanes], float* const* buffers,
                                               int lanes)
{
    #pragma GCC unroll 8
    for (int half = 0; half < kSubBlock; half += 8) {
        __m256 r[SVFilterLanes::kLanes];
        #pragma GCC unroll 8
        for (int j = 0; j < 8; ++j)
            r[j] = _mm256_load_ps(out[half + j]);
        transpose8(r);
        #pragma GCC unroll 8
        for (int v = 0; v < lanes; ++v)
            _mm256_storeu_ps(buffers[v] + half, r[v]);
    }
}
// clang-format on

} // namespace

void SVFilterLanes::loadInputs(const float* const* buffers, int lanes, int count, InstructionSet level)
{
    static_assert(kLanes == 8 && kSubBlock % 8 == 0, "whole 8 x 8 tiles");
    if (count == kSubBlock && level >= InstructionSet::Avx2) {
        loadWhole(in, buffers, lanes);
        return;
    }
    for (int v = 0; v < kLanes; ++v)
        for (int j = 0; j < count; ++j)
            in[j][v] = v < lanes ? buffers[v][j] : 0.0f;
}

void SVFilterLanes::storeOutputs(float* const* buffers, int lanes, int count, InstructionSet level) const
{
    if (count == kSubBlock && level >= InstructionSet::Avx2) {
        storeWhole(out, buffers, lanes);
        return;
    }
    for (int v = 0; v < lanes; ++v)
        for (int j = 0; j < count; ++j)
            buffers[v][j] = out[j][v];
}

} // namespace Vorn
