#pragma once
// The voice's output stage: the filtered signal times the amplitude envelope
// times the "Gain" knob (0.5 is unity).

#include "dsp/Module.h"

namespace Vorn {

class Amplifier : public Module {
public:
    Amplifier(Effect* owner, const char* name, const Module* input, const Module* gain);

    void process(int sampleRate, int count) override;

    const float* gain;

private:
    const Module* gainSource_;
    const Module* input_;
};

} // namespace Vorn
