#pragma once
// Holds the velocity of the last note-on as a signal (0..1).

#include "dsp/Module.h"

namespace Vorn {

class VelocityListener : public MIDIListener, public Module {
public:
    VelocityListener(Effect* owner_, const char* name_) : Module(owner_, name_) {}

    void controlChange(int, int) override {}
    void noteOff(int) override {}
    void noteOn(int, int v) override { velocity = static_cast<float>(v) / 127.0f; }

    void process(int, int count) override
    {
        for (int j = 0; j < count; ++j)
            output[j] = velocity;
    }

    float velocity = 0.0f;
};

} // namespace Vorn
