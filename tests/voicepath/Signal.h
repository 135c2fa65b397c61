#pragma once
// Test stand-ins for the modules that feed the voice path: a module whose
// output block the test writes directly.

#include "dsp/Module.h"

#include <algorithm>

namespace voicepath {

class Signal : public Vorn::Module {
public:
    Signal(Vorn::Effect* owner, const char* name, float value = 0.0f) : Vorn::Module(owner, name) { fill(value); }
    void fill(float value) { std::fill(output, output + Vorn::kSubBlock, value); }
    void process(int, int) override {}
};

inline float& param(Vorn::Effect& effect, const char* fullName)
{
    return effect.parameter(effect.findParameter(fullName)).value;
}

} // namespace voicepath
