#pragma once
// A parameter container with the given full names (default 0.5 each), for a
// store built without the instrument.

#include "dsp/Module.h"

#include <initializer_list>
#include <string>
#include <vector>

class Parameters : public Vorn::Effect {
public:
    Parameters(std::initializer_list<std::string> names) : module_(this, "")
    {
        for (const std::string& name : names)
            addParameter(&module_, name.c_str(), 0.5f);
    }

private:
    class Holder : public Vorn::Module {
    public:
        using Vorn::Module::Module;
        void process(int, int) override {}
    };
    Holder module_;
};
