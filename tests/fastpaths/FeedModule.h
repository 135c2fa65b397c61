#pragma once
// A module whose output the test writes directly: the input or modulation
// source of the module under test.

#include "dsp/Module.h"

#include <cstring>

class FeedModule : public Vorn::Module {
public:
    FeedModule(Vorn::Effect* owner, const char* name) : Module(owner, name) { std::memset(output, 0, sizeof output); }
    void process(int, int) override {}
};
