#pragma once
// Test helpers: a module whose output the test writes, and a runner that
// pushes a whole signal through an effect block by block.

#include "dsp/Module.h"
#include "dsp/WaveTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace EffectsTest {

class Feed : public Vorn::Module {
public:
    explicit Feed(Vorn::Effect* owner) : Vorn::Module(owner, "feed") {}
    void process(int, int) override {}
};

// The shared wave table, kept alive for the whole test run so that it is
// built only once.
inline std::shared_ptr<const Vorn::WaveTable> keptTable()
{
    static const std::shared_ptr<const Vorn::WaveTable> table = Vorn::WaveTable::shared();
    return table;
}

inline void setParam(Vorn::Effect& effect, const char* name, float value)
{
    const int index = effect.findParameter(name);
    ASSERT_GE(index, 0) << name;
    effect.parameter(index).value = value;
}

// Runs `input` through `module` in blocks of `block` samples.
inline std::vector<float> run(Feed& feed, Vorn::Module& module, const std::vector<float>& input,
                              int sampleRate = 44100, int block = Vorn::kSubBlock)
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
