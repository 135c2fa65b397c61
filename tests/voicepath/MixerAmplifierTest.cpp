#include "dsp/Amplifier.h"
#include "dsp/Mixer.h"
#include "tests/support/Feed.h"
#include "tests/support/Param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Vorn;

namespace {

struct MixerRig {
    MixerRig() : osc1(&effect, "Osc1"), osc2(&effect, "Osc2"), mixer(&effect, "Mixer", &osc1, &osc2)
    {
        for (int j = 0; j < kSubBlock; ++j) {
            osc1.output[j] = std::sin(0.4f * static_cast<float>(j));
            osc2.output[j] = 0.8f - 0.1f * static_cast<float>(j);
        }
    }
    Effect effect;
    Feed osc1, osc2;
    Mixer mixer;
};

} // namespace

TEST(Mixer, RegistersBalanceThenRingMod)
{
    MixerRig rig;
    ASSERT_EQ(rig.effect.parameterCount(), 2);
    EXPECT_EQ(rig.effect.parameter(0).name, "MixerBalance");
    EXPECT_EQ(rig.effect.parameter(1).name, "MixerRingMod");
    EXPECT_EQ(rig.effect.parameter(0).defaultValue, 0.0f);
    EXPECT_EQ(rig.effect.parameter(1).defaultValue, 0.0f);
}

TEST(Mixer, BalanceBlendsTheOscillatorsAtHalfGain)
{
    MixerRig rig;
    rig.mixer.process(44100, kSubBlock);
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_EQ(rig.mixer.output[j], 0.5f * rig.osc1.output[j]);

    param(rig.effect, "MixerBalance") = 0.5f;
    rig.mixer.process(44100, kSubBlock);
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_FLOAT_EQ(rig.mixer.output[j], 0.25f * rig.osc1.output[j] + 0.25f * rig.osc2.output[j]);

    // Modulation pushes it past 1, where it clamps.
    rig.mixer.balanceInput[8] = 1.0f;
    rig.mixer.process(44100, kSubBlock);
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_EQ(rig.mixer.output[j], 0.5f * rig.osc2.output[j]);

    // Below 0 and NaN both give Osc1 alone.
    rig.mixer.balanceInput[8] = -3.0f;
    rig.mixer.process(44100, kSubBlock);
    EXPECT_EQ(rig.mixer.output[3], 0.5f * rig.osc1.output[3]);
    rig.mixer.balanceInput[8] = std::numeric_limits<float>::quiet_NaN();
    rig.mixer.process(44100, kSubBlock);
    EXPECT_EQ(rig.mixer.output[3], 0.5f * rig.osc1.output[3]);
}

TEST(Mixer, RingModulation)
{
    MixerRig rig;
    rig.osc1.fill(1.0f);
    rig.osc2.fill(1.0f);
    param(rig.effect, "MixerRingMod") = 1.0f;
    rig.mixer.process(44100, kSubBlock);
    EXPECT_EQ(rig.mixer.output[0], 1.0f);

    // Modulation takes it to 2, which is not clamped.
    MixerRig ring;
    param(ring.effect, "MixerRingMod") = 1.0f;
    ring.mixer.ringModInput[8] = 1.0f;
    ring.mixer.process(44100, kSubBlock);
    for (int j = 0; j < kSubBlock; ++j) {
        const float A = ring.osc1.output[j], B = ring.osc2.output[j];
        EXPECT_FLOAT_EQ(ring.mixer.output[j], -(0.0f * B + 0.5f * A) + 2.0f * A * B) << j;
    }

    // The modulation is read at count / 2: index 0 for one sample.
    MixerRig single;
    single.mixer.ringModInput[0] = 1.0f;
    single.mixer.process(44100, 1);
    EXPECT_FLOAT_EQ(single.mixer.output[0], single.osc1.output[0] * single.osc2.output[0]);

    // A non-finite amount is dropped rather than poisoning the output.
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        param(ring.effect, "MixerRingMod") = bad;
        ring.mixer.process(44100, kSubBlock);
        EXPECT_EQ(ring.mixer.output[5], 0.5f * ring.osc1.output[5]);
    }
}

TEST(Mixer, ShowsRingModAsPercentAndBalanceAsDecimal)
{
    MixerRig rig;
    char text[16];
    EXPECT_EQ(rig.mixer.format(rig.mixer.ringMod, 0.25f, text, sizeof text), 3);
    EXPECT_STREQ(text, "25%");
    rig.mixer.format(rig.mixer.balance, 0.25f, text, sizeof text);
    EXPECT_STREQ(text, "0.25");
}

TEST(Amplifier, ScalesByTwiceTheGainAndTheEnvelope)
{
    Effect effect;
    Feed filter(&effect, "Filter"), env(&effect, "AmpEnv", 1.0f);
    Amplifier amp(&effect, "Amplifier", &filter, &env);
    ASSERT_EQ(effect.findParameter("AmplifierGain"), 0);
    EXPECT_EQ(effect.parameter(0).defaultValue, 0.5f);
    for (int j = 0; j < kSubBlock; ++j)
        filter.output[j] = 0.1f * static_cast<float>(j) - 0.7f;

    amp.process(44100, kSubBlock); // 0.5 is unity
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_EQ(amp.output[j], filter.output[j]);

    param(effect, "AmplifierGain") = 1.0f;
    amp.process(44100, kSubBlock);
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_EQ(amp.output[j], 2.0f * filter.output[j]);

    for (int j = 0; j < kSubBlock; ++j)
        env.output[j] = static_cast<float>(j) / 16.0f;
    amp.process(44100, kSubBlock);
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_EQ(amp.output[j], 2.0f * filter.output[j] * env.output[j]);

    env.fill(0.0f); // idle envelope
    amp.process(44100, kSubBlock);
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_EQ(amp.output[j], 0.0f);

    // A non-finite gain must not turn silence into NaN.
    param(effect, "AmplifierGain") = std::numeric_limits<float>::infinity();
    amp.process(44100, kSubBlock);
    EXPECT_EQ(amp.output[4], 0.0f);
}
