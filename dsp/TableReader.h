#pragma once
// The inner loops of the wavetable oscillator and the LFO: a phase
// accumulator reading one table level with linear interpolation, alone or
// as the difference of two readings a fixed phase offset apart. From AVX2
// on (see InstructionSet.h) the loops run in the wider instruction
// encodings (three-operand vector forms, shifts by a register without
// flags), which compute every sample with exactly the same operations.

#include "dsp/PhaseAccumulator.h"

#include <cstdint>

namespace Vorn {

class TableReader {
public:
    // out[j] = T[i] (1 - frac) + frac T[i + 1] at the phase after j + 1
    // increments from acc.phase; returns the phase after `count`.
    static uint32_t read(const float* table, const PhaseAccumulator& acc, uint32_t increment, int count, float* out);
    // The same reading minus the one at phase + offset (same fraction).
    static uint32_t readDifference(const float* table, const PhaseAccumulator& acc, uint32_t increment, uint32_t offset,
                                   int count, float* out);

    // The one reading at `phase` itself, inline: the same operations as the
    // loops' (for a single sample a call and its dispatch cost more than
    // the reading).
    static float readAt(const float* table, const PhaseAccumulator& acc, uint32_t phase)
    {
        const float frac = float(phase & acc.fractionMask) * acc.fractionScale;
        return table[phase >> acc.shift] * (1.0f - frac) + frac * table[(phase + acc.indexStep) >> acc.shift];
    }
};

} // namespace Vorn
