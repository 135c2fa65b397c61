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
        // Voice by voice over the whole sub-block, so the additions run in
        // vectors; every sample still adds the voices in list order from 0.
        float sum[kSubBlock];
        for (int i = 0; i < kSubBlock; ++i)
            sum[i] = 0.0f;
        for (const V* voice : voices) {
            const float* in = voice->voiceOutput;
            for (int i = 0; i < kSubBlock; ++i)
                sum[i] += in[i];
        }
        copySamples(output, sum, count);
    }

    std::vector<const V*> voices;
};

} // namespace Vorn
