#pragma once
// A 32-bit fixed-point phase: one table cycle is 2^32, the top `bits` bits
// index the table and the rest is the interpolation fraction. All phase
// arithmetic wraps modulo 2^32 by unsigned overflow.

#include <cstdint>

namespace Vorn {

struct PhaseAccumulator {
    explicit PhaseAccumulator(int indexBits)
        : bits(indexBits),
          shift(32 - indexBits),
          fractionMask((uint32_t(1) << (32 - indexBits)) - 1u),
          fractionScale(1.0f / float(uint32_t(1) << (32 - indexBits))),
          maximumPhase(0xFFFFFFFFu),
          indexStep(uint32_t(1) << (32 - indexBits))
    {
    }

    uint32_t index() const { return phase >> shift; }
    float fraction() const { return float(phase & fractionMask) * fractionScale; }

    int bits;
    int shift;
    uint32_t fractionMask;
    float fractionScale;
    uint32_t maximumPhase;
    uint32_t indexStep;
    uint32_t phase = 0;
};

} // namespace Vorn
