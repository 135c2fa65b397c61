#include "dsp/SVFilterLanes.h"

#include "dsp/CpuFeatures.h"
#include "dsp/SVFilter.h"
#include "dsp/SVFilterLoop.h"

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
    Lanes lastBand1 = {};
    svFilterLoop<Selected>(
        lanesAt(s.f), lanesAt(s.m), low, band, lastBand1, count, [&s](int j, Lanes& x) { x = __builtin_convertvector(*reinterpret_cast<const FloatLanes*>(s.in[j]), Lanes); },
        [&s](int j, const Lanes& y1, const Lanes& y2) {
            const Lanes sum = __builtin_convertvector(__builtin_convertvector(y1, FloatLanes), Lanes) + y2;
            *reinterpret_cast<FloatLanes*>(s.out[j]) = __builtin_convertvector(sum * 0.5, FloatLanes);
        });
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
