#include "dsp/Redux.h"

#include "EffectRig.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Vorn;
using namespace EffectsTest;

namespace {

struct ReduxRig {
    Effect effect;
    Feed feed{&effect};
    Redux redux{&effect, "Digi", &feed};
};

} // namespace

TEST(Redux, RegistersCrushThenRateUnderItsInstanceName)
{
    ReduxRig rig;
    EXPECT_EQ(rig.effect.findParameter("DigiCrush"), 0);
    EXPECT_EQ(rig.effect.findParameter("DigiRate"), 1);
    EXPECT_EQ(rig.effect.parameter(0).defaultValue, 0.0f);
    EXPECT_EQ(rig.effect.parameter(1).defaultValue, 0.0f);
}

TEST(Redux, AtZeroRateAndCrushCopiesTheInputExactly)
{
    ReduxRig rig;
    std::vector<float> in = noise(1000);
    in[5] = 1e-30f;
    in[6] = 12345.678f;
    EXPECT_EQ(run(rig.feed, rig.redux, in, 44100, 7), in);
}

TEST(Redux, RateJustAboveZeroHoldsEverySecondSample)
{
    ReduxRig rig;
    param(rig.effect, "DigiRate") = 0.01f;
    const std::vector<float> in = noise(64);
    const std::vector<float> out = run(rig.feed, rig.redux, in);
    EXPECT_EQ(out[0], 0.0f); // nothing taken yet
    for (std::size_t i = 1; i < in.size(); i += 2) {
        EXPECT_EQ(out[i], in[i]) << i;
        if (i + 1 < in.size()) {
            EXPECT_EQ(out[i + 1], in[i]) << i + 1;
        }
    }
}

TEST(Redux, FullRateTakesOneSampleEvery66)
{
    ReduxRig rig;
    param(rig.effect, "DigiRate") = 1.0f;
    const std::vector<float> in = noise(400, 7);
    const std::vector<float> out = run(rig.feed, rig.redux, in);
    float held = 0.0f;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (i % 66 == 65)
            held = in[i];
        ASSERT_EQ(out[i], held) << i;
    }
}

TEST(Redux, SwitchingRateOffAndOnResumesTheOldHoldPattern)
{
    ReduxRig rig;
    param(rig.effect, "DigiRate") = 1.0f;
    const std::vector<float> in = noise(300, 3);
    std::vector<float> first(in.begin(), in.begin() + 40);
    run(rig.feed, rig.redux, first);
    param(rig.effect, "DigiRate") = 0.0f;
    const std::vector<float> copied = run(rig.feed, rig.redux, std::vector<float>(in.begin() + 40, in.begin() + 80));
    EXPECT_EQ(copied, std::vector<float>(in.begin() + 40, in.begin() + 80));
    param(rig.effect, "DigiRate") = 1.0f;
    // 40 samples counted before the pause: the next take is 26 samples on.
    const std::vector<float> resumed = run(rig.feed, rig.redux, std::vector<float>(in.begin() + 80, in.end()));
    for (std::size_t i = 0; i < 25; ++i)
        EXPECT_EQ(resumed[i], 0.0f) << i;
    EXPECT_EQ(resumed[25], in[105]);
    EXPECT_EQ(resumed[90], in[105]);
    EXPECT_EQ(resumed[91], in[171]);
}

TEST(Redux, FullCrushRoundsToEighthsWithTiesUpward)
{
    ReduxRig rig;
    param(rig.effect, "DigiCrush") = 1.0f;
    const std::vector<float> in = {0.3f, 0.0625f, -0.0625f, 1.7f, -0.3f, 0.124f, 0.0f, 5.0f};
    const std::vector<float> want = {0.25f, 0.125f, 0.0f, 1.75f, -0.25f, 0.125f, 0.0f, 5.0f};
    EXPECT_EQ(run(rig.feed, rig.redux, in), want);
}

TEST(Redux, PartialCrushQuantisesOnTheGridOfItsBitDepth)
{
    ReduxRig rig;
    param(rig.effect, "DigiCrush") = 0.5f; // 18 bits: multiples of 2^-17
    const std::vector<float> in = noise(256, 11);
    const std::vector<float> out = run(rig.feed, rig.redux, in);
    for (std::size_t i = 0; i < in.size(); ++i) {
        const float steps = out[i] * 131072.0f;
        EXPECT_EQ(steps, std::floor(steps)) << i;
        EXPECT_LE(std::fabs(out[i] - in[i]), 0.5f / 131072.0f) << i;
    }
}

TEST(Redux, OneBlockOfSixteenEqualsSixteenBlocksOfOne)
{
    ReduxRig whole, single;
    for (ReduxRig* rig : {&whole, &single}) {
        param(rig->effect, "DigiRate") = 0.1f;
        param(rig->effect, "DigiCrush") = 0.8f;
    }
    const std::vector<float> in = noise(16 * 20, 5);
    EXPECT_EQ(run(whole.feed, whole.redux, in, 44100, 16), run(single.feed, single.redux, in, 44100, 1));
}
