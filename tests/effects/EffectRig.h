#pragma once
// Test helpers for the global effects: the chain as the instrument builds
// it, a runner that pushes a whole signal through an effect block by block
// from a Feed whose output it writes, and the signals to push.

#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/Module.h"
#include "dsp/Phaser.h"
#include "dsp/Redux.h"
#include "dsp/WaveTable.h"
#include "tests/support/Feed.h"
#include "tests/support/Param.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace EffectsTest {

// The shared wave table, kept alive for the whole test run so that it is
// built only once.
inline std::shared_ptr<const Vorn::WaveTable> keptTable()
{
    static const std::shared_ptr<const Vorn::WaveTable> table = Vorn::WaveTable::shared();
    return table;
}

// The four global effects as the instrument builds them, after a Feed.
struct GlobalChain {
    std::shared_ptr<const Vorn::WaveTable> table = keptTable();
    Vorn::Effect effect;
    Feed feed{&effect};
    Vorn::Redux redux{&effect, "Digi", &feed};
    Vorn::Phaser phaser{&effect, "Phaser", &redux, table.get()};
    Vorn::Chorus chorus{&effect, "Chorus", &phaser, table.get()};
    Vorn::Delay delay{&effect, "Delay", &chorus};
};

// Runs `input` through `module` in blocks of `block` samples.
inline std::vector<float> run(Feed& feed, Vorn::Module& module, const std::vector<float>& input, int sampleRate = 44100,
                              int block = Vorn::kSubBlock)
{
    std::vector<float> out(input.size());
    for (std::size_t at = 0; at < input.size(); at += static_cast<std::size_t>(block)) {
        const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(block), input.size() - at));
        std::copy(input.begin() + static_cast<long>(at), input.begin() + static_cast<long>(at) + n, feed.output);
        module.process(sampleRate, n);
        std::copy(module.output, module.output + n, out.begin() + static_cast<long>(at));
    }
    return out;
}

inline std::vector<float> impulse(std::size_t length, std::size_t at = 0)
{
    std::vector<float> v(length, 0.0f);
    v[at] = 1.0f;
    return v;
}

// A deterministic noise in -1..1.
inline std::vector<float> noise(std::size_t length, unsigned seed = 1)
{
    std::vector<float> v(length);
    unsigned s = seed;
    for (float& x : v) {
        s = s * 1664525u + 1013904223u;
        x = static_cast<float>(s >> 8) / 8388608.0f - 1.0f;
    }
    return v;
}

} // namespace EffectsTest
