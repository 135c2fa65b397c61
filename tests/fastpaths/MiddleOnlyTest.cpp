// In the voice, every modulation input is read at the middle sample of the
// sub-block only, so the LFOs and the matrix compute that sample alone. It
// must be the very sample the full computation gives, and the LFO's phase
// must move on exactly as before.

#include "dsp/LFO.h"
#include "dsp/ModMatrix.h"
#include "dsp/WaveTable.h"

#include "tests/support/Feed.h"
#include "tests/support/Param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

using namespace Vorn;

namespace {

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A matrix of routes that share destinations, one with a scaler and one
// without a source, in two copies: full and middle-only.
struct MatrixPair {
    Effect effect;
    Feed a{&effect, "A"}, b{&effect, "B"}, scaler{&effect, "S"};
    ModMatrix full{&effect, "Mod"}, middle{&effect, "Mod"};
    float fullOut[3][kSubBlock] = {}, middleOut[3][kSubBlock] = {};

    MatrixPair()
    {
        for (int copy = 0; copy < 2; ++copy) {
            ModMatrix& m = copy == 0 ? full : middle;
            float(*out)[kSubBlock] = copy == 0 ? fullOut : middleOut;
            m.addRoute("AOne", &a, nullptr, 1.0f, out[0], out[1]);
            m.addRoute("BOne", &b, &scaler, 2.0f, out[0], nullptr);
            m.addRoute("Bias", nullptr, nullptr, 0.5f, out[1], out[2]);
            m.addRoute("ATwo", &a, nullptr, 3.0f, out[2], nullptr);
            m.registerDepths();
        }
        middle.setMiddleOnly(true);
    }
};

} // namespace

TEST(MiddleOnly, MatrixGivesTheMiddleSampleOfTheFullSums)
{
    MatrixPair m;
    std::mt19937 random(9);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    for (int block = 0; block < 3000; ++block) {
        for (const char* name : {"ModAOne", "ModBOne", "ModBias", "ModATwo"})
            param(m.effect, name) = block % 5 == 0 ? 0.0f : value(random);
        if (block == 100)
            param(m.effect, "ModAOne") = NAN;
        for (int j = 0; j < kSubBlock; ++j) {
            m.a.output[j] = value(random);
            m.b.output[j] = value(random);
            m.scaler.output[j] = value(random);
        }
        for (auto& row : m.middleOut)
            for (float& v : row)
                v = 99.0f; // anything but the middle is left alone
        const int count = 1 + block % kSubBlock;
        m.full.process(44100, count);
        m.middle.process(44100, count);
        for (int d = 0; d < 3; ++d)
            for (int j = 0; j < kSubBlock; ++j) {
                if (j == count / 2)
                    ASSERT_TRUE(sameBits(m.fullOut[d][j], m.middleOut[d][j])) << block << " " << d;
                else
                    ASSERT_EQ(m.middleOut[d][j], 99.0f);
            }
    }
}

TEST(MiddleOnly, LfoGivesTheMiddleSampleAndTheSamePhase)
{
    const std::shared_ptr<const WaveTable> table = WaveTable::shared();
    std::mt19937 random(4);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int round = 0; round < 40; ++round) {
        Effect effect;
        LFO full(&effect, "LFO1", table.get()), middle(&effect, "LFO1", table.get());
        middle.setMiddleOnly(true);
        param(effect, "LFO1Wave") = unit(random);
        param(effect, "LFO1Speed") = unit(random);
        param(effect, "LFO1Sync") = round % 3 == 0 ? 1.0f : 0.0f;
        effect.setTempo(60.0f + 200.0f * unit(random));
        for (int block = 0; block < 400; ++block) {
            const int count = block % 9 == 4 ? 1 + block % kSubBlock : kSubBlock;
            full.process(44100, count);
            middle.process(44100, count);
            ASSERT_EQ(full.phase(), middle.phase());
            ASSERT_TRUE(sameBits(full.output[count / 2], middle.output[count / 2])) << round << " " << block;
        }
    }
}
