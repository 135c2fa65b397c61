#pragma once
// Blends the voice's two oscillators and ring-modulates them.

#include "dsp/Module.h"

namespace Vorn {

class Mixer : public Module {
public:
    Mixer(Effect* owner, const char* name, const Module* first, const Module* second);

    int format(const float* param, float value, char* text, std::size_t size) override;
    void process(int sampleRate, int count) override;

    const float* balance;
    const float* ringMod;
    // Modulation in normalised units, written by the modulation matrix and
    // read once per sub-block at its middle sample.
    float balanceInput[kSubBlock];
    float ringModInput[kSubBlock];

private:
    const Module* first_;
    const Module* second_;
};

} // namespace Vorn
