#pragma once
// The table reader's two loops, written once: TableReader.cpp compiles them
// as its plain form, dsp/x86/ in the wider encodings. Both compute every
// sample with exactly these operations.

#include "dsp/PhaseAccumulator.h"

#include <cstdint>

namespace Vorn {

// Everything the loops use, held in locals: the output may not be assumed
// apart from the accumulator, whose fields would otherwise be read again on
// every sample.
struct TableReading {
    explicit TableReading(const PhaseAccumulator& acc)
        : step(acc.indexStep), shift(acc.shift), mask(acc.fractionMask), scale(acc.fractionScale)
    {
    }
    uint32_t step;
    int shift;
    uint32_t mask;
    float scale;
};

[[gnu::always_inline]] inline uint32_t readTableLoop(const float* T, TableReading r, uint32_t p, uint32_t increment,
                                                     int count, float* out)
{
    for (int j = 0; j < count; ++j) {
        p += increment;
        const float frac = float(p & r.mask) * r.scale;
        out[j] = T[p >> r.shift] * (1.0f - frac) + frac * T[(p + r.step) >> r.shift];
    }
    return p;
}

[[gnu::always_inline]] inline uint32_t readTableDifferenceLoop(const float* T, TableReading r, uint32_t p,
                                                               uint32_t increment, uint32_t offset, int count,
                                                               float* out)
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

} // namespace Vorn
