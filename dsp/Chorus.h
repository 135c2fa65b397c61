#pragma once
// One modulated delay line of 2048 slots, read with four-point Hermite
// interpolation at about 20 ms swept by a triangle LFO, with feedback into
// the line; the delayed signal is added on top of the unchanged dry signal.

#include "dsp/Module.h"
#include "dsp/PhaseAccumulator.h"

#include <cstdint>

namespace Vorn {

class WaveTable;

class Chorus : public Module {
public:
    static constexpr int kLineLength = 2048;

    Chorus(Effect* owner, const char* name, const Module* input, const WaveTable* waveTable);
    void process(int sampleRate, int count) override;
    int format(const float* param, float value, char* text, std::size_t size) override;

    // The read offset, in phase units (one slot is 2^21), for a delay of
    // `seconds` at `sampleRate`: never longer than 1024 slots.
    static int32_t readOffset(float seconds, float sampleRate);

private:
    const float* depth_;
    const float* feedback_;
    const float* rate_;
    const float* wet_;
    float line_[kLineLength];
    PhaseAccumulator lfoPhase_{10};
    const Module* input_;
    PhaseAccumulator writePhase_{11};
    const WaveTable* waveTable_;
    // Set when a NaN or infinity was written into the line.
    bool lineTainted_ = false;
};

} // namespace Vorn
