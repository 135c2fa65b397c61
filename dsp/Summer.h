#pragma once
// Adds the outputs of a list of voices, without scaling or limiting.

#include "dsp/Module.h"

#include <vector>

namespace Vorn {

template <typename V>
class Summer : public Module {
public:
    Summer(Effect* owner_, const char* name_) : Module(owner_, name_) {}

    void addVoice(const V* voice) { voices.push_back(voice); }

    void process(int, int count) override
    {
        for (int i = 0; i < count; ++i) {
            float sum = 0.0f;
            for (const V* voice : voices)
                sum += voice->voiceOutput[i];
            output[i] = sum;
        }
    }

    std::vector<const V*> voices;
};

} // namespace Vorn
