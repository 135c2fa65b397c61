#pragma once
// A fault to inject: put at the end of a voice, this module passes the
// voice's sound through until it is armed, then puts out a given value
// (NaN, an infinity) for that many samples, as a broken module would.

#include "dsp/Module.h"
#include "dsp/Voice.h"

#include <limits>

class NonFiniteSource : public Vorn::Module {
public:
    // Appends itself to `voice`, which owns it from then on.
    static NonFiniteSource* attach(Vorn::Voice& voice)
    {
        auto* source = new NonFiniteSource(voice.owner, voice.modules.back());
        voice.addModule(source);
        return source;
    }

    void process(int, int count) override
    {
        for (int i = 0; i < count; ++i) {
            output[i] = samplesLeft > 0 ? value : input_->output[i];
            if (samplesLeft > 0)
                --samplesLeft;
        }
    }

    int samplesLeft = 0;
    float value = std::numeric_limits<float>::quiet_NaN();

private:
    NonFiniteSource(Vorn::Effect* owner_, const Vorn::Module* input)
        : Vorn::Module(owner_, "NonFiniteSource"), input_(input)
    {
    }
    const Vorn::Module* input_;
};
