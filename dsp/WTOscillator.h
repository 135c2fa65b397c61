#pragma once
// The voice oscillator: plays one wave of the shared WaveTable at the level
// that suits its pitch, with linear interpolation. Above a "Position" of 0 it
// subtracts a copy of the wave read (0.5 + 0.5 * position) cycles later, a
// comb over the harmonics that fades every wave to silence at position 1.

#include "dsp/Oscillator.h"
#include "dsp/PhaseAccumulator.h"
#include "dsp/WaveTable.h"

#include <cstdint>
#include <limits>

namespace Vorn {

class WTOscillator : public Oscillator {
public:
    static constexpr int kLevelCacheSize = 1025;

    WTOscillator(Effect* owner, const char* name, const WaveTable* table);

    int format(const float* param, float value, char* text, std::size_t size) override;
    void process(int sampleRate, int count) override;

    // Wave index 0..8 for a "Wave" value (NaN counts as 0).
    static int waveIndex(float value);
    // The table level for a harmonic limit 0..1024, computed once per limit.
    int levelFor(int harmonicLimit);

    float* position;
    float* wave;
    float positionInput[kSubBlock];
    float smoothedPosition = 0.0f;
    PhaseAccumulator phase{10};
    int levelCache[kLevelCacheSize];
    const WaveTable* table;

    // What the last block used, kept for inspection.
    int waveChoice = 2;
    int harmonicLimit = 0;
    int level = 0;
    uint32_t increment = 0;
    uint32_t offset = 0;

private:
    // What the values above were last worked out from (NaN never matches).
    float lastFrequency_ = std::numeric_limits<float>::quiet_NaN();
    float lastRate_ = std::numeric_limits<float>::quiet_NaN();
    float lastSmoothedPosition_ = std::numeric_limits<float>::quiet_NaN();
};

} // namespace Vorn
