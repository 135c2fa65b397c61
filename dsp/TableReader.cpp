#include "dsp/TableReader.h"

#include "dsp/CpuFeatures.h"

namespace Vorn {

namespace {

// Everything the loops use is held in locals: the output may not be
// assumed apart from the accumulator, whose fields would otherwise be read
// again on every sample.
struct Reading {
    explicit Reading(const PhaseAccumulator& acc)
        : step(acc.indexStep), shift(acc.shift), mask(acc.fractionMask), scale(acc.fractionScale)
    {
    }
    uint32_t step;
    int shift;
    uint32_t mask;
    float scale;
};

[[gnu::always_inline]] inline uint32_t readLoop(const float* T, Reading r, uint32_t p, uint32_t increment,
                                                int count, float* out)
{
    for (int j = 0; j < count; ++j) {
        p += increment;
        const float frac = float(p & r.mask) * r.scale;
        out[j] = T[p >> r.shift] * (1.0f - frac) + frac * T[(p + r.step) >> r.shift];
    }
    return p;
}

[[gnu::always_inline]] inline uint32_t differenceLoop(const float* T, Reading r, uint32_t p, uint32_t increment,
                                                      uint32_t offset, int count, float* out)
{
    for (int j = 0; j < count; ++j) {
        p += increment;
        const float frac = float(p & r.mask) * r.scale;
        const float rest = 1.0f - frac;
        const float y = T[p >> r.shift] * rest + frac * T[(p + r.step) >> r.shift];
        const uint32_t q = p + offset;
        const float y2 = T[q >> r.shift] * rest + frac * T[(q + r.step) >> r.shift];
        out[j] = y - y2;
    }
    return p;
}

// Kept out of line, like the wide kernels: the dispatch then only passes its
// arguments on, with no registers of its own to save and restore.
[[gnu::noinline]] uint32_t readBaseline(const float* T, Reading r, uint32_t p, uint32_t increment, int count,
                                        float* out)
{
    return readLoop(T, r, p, increment, count, out);
}

[[gnu::noinline]] uint32_t differenceBaseline(const float* T, Reading r, uint32_t p, uint32_t increment,
                                              uint32_t offset, int count, float* out)
{
    return differenceLoop(T, r, p, increment, offset, count, out);
}

#if defined(__x86_64__) || defined(__i386__)
#define VORN_TABLE_WIDE 1
__attribute__((target("avx2,bmi2"))) uint32_t readWide(const float* T, Reading r, uint32_t p, uint32_t increment,
                                                        int count, float* out)
{
    return readLoop(T, r, p, increment, count, out);
}

__attribute__((target("avx2,bmi2"))) uint32_t differenceWide(const float* T, Reading r, uint32_t p,
                                                              uint32_t increment, uint32_t offset, int count,
                                                              float* out)
{
    return differenceLoop(T, r, p, increment, offset, count, out);
}
#endif

[[maybe_unused]] bool useWide(TableReader::Kernel kernel)
{
#if defined(VORN_TABLE_WIDE)
    return kernel == TableReader::Kernel::Avx2 && cpuHasAvx2AndBmi2();
#else
    (void)kernel;
    return false;
#endif
}

} // namespace

uint32_t TableReader::read(const float* table, const PhaseAccumulator& acc, uint32_t increment, int count,
                           float* out)
{
    return read(table, acc, increment, count, out, Kernel::Avx2);
}

uint32_t TableReader::readDifference(const float* table, const PhaseAccumulator& acc, uint32_t increment,
                                     uint32_t offset, int count, float* out)
{
    return readDifference(table, acc, increment, offset, count, out, Kernel::Avx2);
}

uint32_t TableReader::read(const float* table, const PhaseAccumulator& acc, uint32_t increment, int count,
                           float* out, Kernel kernel)
{
#if defined(VORN_TABLE_WIDE)
    if (useWide(kernel))
        return readWide(table, Reading(acc), acc.phase, increment, count, out);
#endif
    return readBaseline(table, Reading(acc), acc.phase, increment, count, out);
}

uint32_t TableReader::readDifference(const float* table, const PhaseAccumulator& acc, uint32_t increment,
                                     uint32_t offset, int count, float* out, Kernel kernel)
{
#if defined(VORN_TABLE_WIDE)
    if (useWide(kernel))
        return differenceWide(table, Reading(acc), acc.phase, increment, offset, count, out);
#endif
    return differenceBaseline(table, Reading(acc), acc.phase, increment, offset, count, out);
}

} // namespace Vorn
