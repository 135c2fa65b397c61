#pragma once
// Turning a phase step expressed in phase units (cycles per sample times
// 2^32) into the 32-bit increment of a PhaseAccumulator.

#include "dsp/NonFinite.h"

#include <cstdint>

namespace Vorn {

// The step truncates toward zero through a 64-bit integer and wraps modulo
// 2^32. A step that no 64-bit integer holds (NaN, infinite, or beyond
// +-2^63, as a NaN rate or a zero sample rate produces) gives 0, so the
// phase stands still instead of the conversion being undefined.
inline uint32_t phaseIncrement(float step)
{
    if (!fitsInteger<int64_t>(step))
        return 0u;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(step)));
}

} // namespace Vorn
