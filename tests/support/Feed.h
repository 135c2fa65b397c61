#pragma once
// A stand-in for a module that feeds the one under test (its input, a
// modulation source, an envelope): its output block holds whatever the test
// writes there, silence at first, and processing it changes nothing.

#include "dsp/Module.h"

#include <algorithm>

class Feed : public Vorn::Module {
public:
    explicit Feed(Vorn::Effect* effect, const char* moduleName = "feed", float value = 0.0f)
        : Vorn::Module(effect, moduleName)
    {
        fill(value);
    }
    void fill(float value) { std::fill(output, output + Vorn::kSubBlock, value); }
    void process(int, int) override {}
};
