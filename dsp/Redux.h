#pragma once
// Lo-fi degrader at the head of the global chain: a sample-and-hold rate
// reducer followed by a bit-depth quantiser.

#include "dsp/Module.h"

#include <cstdint>

namespace Vorn {

class Redux : public Module {
public:
    Redux(Effect* owner, const char* name, const Module* input);
    void process(int sampleRate, int count) override;
    int format(const float* param, float value, char* text, std::size_t size) override;
    // Forgets the held sample.
    void reset() { held_ = 0.0f; }

private:
    const float* crush_;
    const float* rate_;
    float held_ = 0.0f;
    const Module* input_;
    int32_t holdCounter_ = 0;
};

} // namespace Vorn
