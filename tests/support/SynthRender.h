#pragma once
// Renders a Synth built in the test's own process, in the test's thread as a
// host's audio thread would, and returns the left output.

#include "plugin/Synth.h"

#include <algorithm>
#include <vector>

inline std::vector<float> renderSynth(Synth& synth, int frames, int block = 512)
{
    std::vector<float> out;
    std::vector<float> left(static_cast<std::size_t>(block)), right(static_cast<std::size_t>(block));
    for (int done = 0; done < frames; done += block) {
        const int n = std::min(block, frames - done);
        float* outputs[2] = {left.data(), right.data()};
        synth.processReplacing(nullptr, outputs, n);
        out.insert(out.end(), left.begin(), left.begin() + n);
    }
    return out;
}
