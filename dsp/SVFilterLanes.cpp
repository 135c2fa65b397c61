#include "dsp/SVFilterLanes.h"

#include "dsp/CpuFeatures.h"
#include "dsp/SVFilter.h"

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

// The loop of SVFilter::run with a vector in place of each double; see
// there for the algebra. Every expression keeps the scalar form's grouping.
template <int Selected>
[[gnu::always_inline]] inline void runLanes(SVFilterLanes& s, int count)
{
    const Lanes f = lanesAt(s.f);
    const Lanes m = lanesAt(s.m);
    const Lanes k = 1.0 - f * m - f * f;
    const Lanes mLL = 1.0 - f * f;
    const Lanes mLB = f * (1.0 + k);
    const Lanes bL = f * f;
    const Lanes mBL = -(k * f + f);
    const Lanes mBB = k * k - f * f;
    const Lanes bB = k * f;
    const Lanes nLL = mLL * mLL + mLB * mBL;
    const Lanes nLB = mLL * mLB + mLB * mBB;
    const Lanes nBL = mBL * mLL + mBB * mBL;
    const Lanes nBB = mBL * mLB + mBB * mBB;
    const Lanes cL = mLL * bL + mLB * bB;
    const Lanes cB = mBL * bL + mBB * bB;

    // Writes sample j and leaves the first pass's band output in band1.
    auto emit = [&](int j, const Lanes& low, const Lanes& band, const Lanes& x, const Lanes& lowNext,
                    const Lanes& bandNext, Lanes& band1) {
        const Lanes low1 = low + f * band;
        band1 = k * band - f * low + f * x;
        Lanes y1, y2;
        if constexpr (Selected == SVFilter::LowPass) {
            y1 = low1;
            y2 = lowNext;
        } else if constexpr (Selected == SVFilter::HighPass) {
            y1 = (x - m * band) - low1;
            y2 = -m * band1 - lowNext;
        } else if constexpr (Selected == SVFilter::BandPass) {
            y1 = band1;
            y2 = bandNext;
        } else {
            y1 = x - m * band;
            y2 = -m * band1;
        }
        const Lanes sum = __builtin_convertvector(__builtin_convertvector(y1, FloatLanes), Lanes) + y2;
        *reinterpret_cast<FloatLanes*>(s.out[j]) = __builtin_convertvector(sum * 0.5, FloatLanes);
    };

    Lanes low = lanesAt(s.low), band = lanesAt(s.band);
    Lanes lastBand1 = {};
    int j = 0;
    for (; j + 2 <= count; j += 2) {
        const Lanes x0 = lanesAt(s.in[j]);
        const Lanes x1 = lanesAt(s.in[j + 1]);
        const Lanes lowMid = mLL * low + mLB * band + bL * x0;
        const Lanes bandMid = mBL * low + mBB * band + bB * x0;
        const Lanes lowEnd = nLL * low + nLB * band + (cL * x0 + bL * x1);
        const Lanes bandEnd = nBL * low + nBB * band + (cB * x0 + bB * x1);
        Lanes unused;
        emit(j, low, band, x0, lowMid, bandMid, unused);
        emit(j + 1, lowMid, bandMid, x1, lowEnd, bandEnd, lastBand1);
        low = lowEnd;
        band = bandEnd;
    }
    if (j < count) {
        const Lanes x0 = lanesAt(s.in[j]);
        const Lanes lowEnd = mLL * low + mLB * band + bL * x0;
        const Lanes bandEnd = mBL * low + mBB * band + bB * x0;
        emit(j, low, band, x0, lowEnd, bandEnd, lastBand1);
        low = lowEnd;
        band = bandEnd;
    }
    lanesAt(s.low) = low;
    lanesAt(s.band) = band;
    lanesAt(s.lastBand1) = lastBand1;
}

template <int Selected>
void runBase(SVFilterLanes& s, int count)
{
    runLanes<Selected>(s, count);
}

#if defined(__x86_64__) || defined(__i386__)
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
#endif

template <int Selected>
void runKernel(SVFilterLanes& s, int count, SVFilterLanes::Kernel kernel)
{
#if defined(__x86_64__) || defined(__i386__)
    if (kernel == SVFilterLanes::Kernel::Avx512 && cpuHasAvx512())
        return runAvx512<Selected>(s, count);
    if (kernel != SVFilterLanes::Kernel::Baseline && cpuHasAvx2())
        return runAvx2<Selected>(s, count);
#else
    (void)kernel;
#endif
    runBase<Selected>(s, count);
}

} // namespace

void SVFilterLanes::run(int mode, int count)
{
    run(mode, count, Kernel::Avx512);
}

void SVFilterLanes::run(int mode, int count, Kernel kernel)
{
    switch (mode) {
    case SVFilter::LowPass: runKernel<SVFilter::LowPass>(*this, count, kernel); break;
    case SVFilter::HighPass: runKernel<SVFilter::HighPass>(*this, count, kernel); break;
    case SVFilter::BandPass: runKernel<SVFilter::BandPass>(*this, count, kernel); break;
    default: runKernel<SVFilter::BandReject>(*this, count, kernel); break;
    }
}

} // namespace Vorn
