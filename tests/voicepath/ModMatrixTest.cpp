#include "dsp/ModMatrix.h"
#include "VoiceRoutes.h"
#include "dsp/Mixer.h"
#include "dsp/SVFilter.h"
#include "tests/support/Feed.h"
#include "tests/support/Param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace Vorn;

namespace {

// The voice's matrix with its ten routes, wired to a real filter and mixer
// and to plain buffers standing in for the oscillators' and LFOs' inputs.
struct MatrixRig : StandInInputs {
    MatrixRig()
        : modEnv(&effect, "ModEnv"),
          lfo1(&effect, "LFO1"),
          lfo2(&effect, "LFO2"),
          osc(&effect, "Osc"),
          mixer(&effect, "Mixer", &osc, &osc),
          filter(&effect, "Filter", &mixer),
          mod(&effect, "Mod")
    {
        addVoiceRoutes(mod, modEnv, lfo1, lfo2, filter, mixer);
        // Leave garbage in every destination so clearing is observable.
        for (float* buffer : destinations())
            std::fill(buffer, buffer + kSubBlock, 123.0f);
        for (int j = 0; j < kSubBlock; ++j) {
            modEnv.output[j] = 0.05f * static_cast<float>(j + 1);
            lfo1.output[j] = std::sin(0.7f * static_cast<float>(j));
            lfo2.output[j] = -0.03f * static_cast<float>(j);
        }
    }
    std::vector<float*> destinations()
    {
        return {filter.cutoffInput,
                mixer.balanceInput,
                mixer.ringModInput,
                pitch1,
                pitch2,
                position1,
                position2,
                amp1,
                amp2};
    }

    Effect effect;
    Feed modEnv, lfo1, lfo2, osc;
    Mixer mixer;
    SVFilter filter;
    ModMatrix mod;
};

} // namespace

TEST(ModMatrix, RegistersOneZeroDepthPerRouteAfterTheVoiceParameters)
{
    MatrixRig rig;
    const char* names[] = {"ModL1Cutoff", "ModL1Balance", "ModL2Pitch", "ModL2Position", "ModMCutoff",
                           "ModMLFOAmp",  "ModMBalance",  "ModMPitch",  "ModMPosition",  "ModMRingMod"};
    const int first = rig.effect.findParameter("ModL1Cutoff");
    ASSERT_EQ(first, rig.effect.parameterCount() - 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(rig.effect.parameter(first + i).name, names[i]);
        EXPECT_EQ(rig.effect.parameter(first + i).defaultValue, 0.0f);
        EXPECT_EQ(rig.mod.routes()[static_cast<std::size_t>(i)].depth, &rig.effect.parameter(first + i).value);
    }
}

TEST(ModMatrix, SecondVoiceSharesTheDepthParameters)
{
    Effect effect;
    Feed env(&effect, "ModEnv", 1.0f);
    float a[kSubBlock] = {}, b[kSubBlock] = {};
    ModMatrix first(&effect, "Mod"), second(&effect, "Mod");
    first.addRoute("MPitch", &env, nullptr, 2, a, nullptr);
    second.addRoute("MPitch", &env, nullptr, 2, b, nullptr);
    first.registerDepths();
    second.registerDepths();
    EXPECT_EQ(effect.parameterCount(), 1);
    param(effect, "ModMPitch") = 1.0f;
    second.process(44100, kSubBlock);
    EXPECT_EQ(b[3], 2.0f);
    EXPECT_EQ(a[3], 0.0f);
}

TEST(ModMatrix, AllDepthsZeroClearEveryDestination)
{
    MatrixRig rig;
    rig.mod.process(44100, kSubBlock);
    for (float* buffer : rig.destinations())
        for (int j = 0; j < kSubBlock; ++j)
            EXPECT_EQ(buffer[j], 0.0f);
}

TEST(ModMatrix, SharedDestinationSumsItsRoutes)
{
    MatrixRig rig;
    param(rig.effect, "ModL1Cutoff") = 1.0f;
    param(rig.effect, "ModMCutoff") = 1.0f;
    rig.mod.process(44100, kSubBlock);
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_FLOAT_EQ(rig.filter.cutoffInput[j], rig.lfo1.output[j] + 2.0f * rig.modEnv.output[j]) << j;
    // A second block with the same settings does not accumulate on the first.
    rig.mod.process(44100, kSubBlock);
    EXPECT_FLOAT_EQ(rig.filter.cutoffInput[5], rig.lfo1.output[5] + 2.0f * rig.modEnv.output[5]);
    // Untouched destinations stay at 0.
    EXPECT_EQ(rig.mixer.balanceInput[5], 0.0f);
}

TEST(ModMatrix, DepthIsQuadraticAndReachesBothDestinations)
{
    MatrixRig rig;
    rig.modEnv.fill(1.0f);
    param(rig.effect, "ModMPitch") = 0.5f;
    rig.mod.process(44100, kSubBlock);
    for (int j = 0; j < kSubBlock; ++j) {
        EXPECT_EQ(rig.pitch1[j], 0.5f);
        EXPECT_EQ(rig.pitch2[j], 0.5f);
    }
    param(rig.effect, "ModMPitch") = -0.5f;
    rig.mod.process(44100, kSubBlock);
    EXPECT_EQ(rig.pitch1[0], 0.5f);
    EXPECT_EQ(rig.pitch2[15], 0.5f);
}

TEST(ModMatrix, NonFiniteDepthAddsNothing)
{
    MatrixRig rig;
    rig.lfo1.output[4] = 0.0f; // a silent sample must not become NaN
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity()}) {
        param(rig.effect, "ModL1Cutoff") = bad;
        param(rig.effect, "ModMCutoff") = 0.5f;
        rig.mod.process(44100, kSubBlock);
        for (int j = 0; j < kSubBlock; ++j)
            EXPECT_FLOAT_EQ(rig.filter.cutoffInput[j], 0.5f * rig.modEnv.output[j]) << bad;
    }
}

TEST(ModMatrix, ProcessesOnlyCountSamples)
{
    MatrixRig rig;
    param(rig.effect, "ModMRingMod") = 1.0f;
    rig.mod.process(44100, 5);
    EXPECT_FLOAT_EQ(rig.mixer.ringModInput[4], rig.modEnv.output[4]);
    EXPECT_EQ(rig.mixer.ringModInput[5], 123.0f);
}

TEST(ModMatrix, ScalerIsReadAtTheMiddleSample)
{
    Effect effect;
    Feed source(&effect, "Src", 1.0f), scaler(&effect, "Vel");
    for (int j = 0; j < kSubBlock; ++j)
        scaler.output[j] = static_cast<float>(j + 1);
    float out[kSubBlock] = {};
    float second[kSubBlock] = {};
    ModMatrix mod(&effect, "Mod");
    mod.addRoute("Scaled", &source, &scaler, 1, out, nullptr);
    mod.addRoute("Constant", nullptr, nullptr, 3, second, nullptr);
    mod.registerDepths();
    param(effect, "ModScaled") = 1.0f;
    param(effect, "ModConstant") = 1.0f;
    mod.process(44100, 1);
    EXPECT_EQ(out[0], 1.0f); // index 0
    mod.process(44100, kSubBlock);
    for (int j = 0; j < kSubBlock; ++j) {
        EXPECT_EQ(out[j], 9.0f);    // index 8
        EXPECT_EQ(second[j], 3.0f); // no source: a constant signal of 1
    }
}

TEST(ModMatrix, RouteWithoutDepthIsSkipped)
{
    Effect effect;
    Feed source(&effect, "Src", 1.0f);
    float out[kSubBlock];
    std::fill(out, out + kSubBlock, 7.0f);
    ModMatrix mod(&effect, "Mod");
    mod.addRoute("Early", &source, nullptr, 1, out, nullptr);
    mod.process(44100, kSubBlock);
    EXPECT_EQ(out[0], 0.0f);
}

TEST(ModMatrix, ShowsDepthsAsWholePercentages)
{
    MatrixRig rig;
    const float* depth = rig.mod.routes()[0].depth;
    char text[16];
    EXPECT_EQ(rig.mod.format(depth, 0.25f, text, sizeof text), 3);
    EXPECT_STREQ(text, "25%");
    rig.mod.format(depth, 1.0f, text, sizeof text);
    EXPECT_STREQ(text, "100%");
    EXPECT_EQ(rig.mod.format(depth, 0.0f, text, 2), 2);
    EXPECT_STREQ(text, "0");
}

// Destinations no route writes are not cleared again and again, which must
// never let an old sample survive where a clear belonged: a route switched
// off, short blocks and long ones alternating.
TEST(ModMatrix, ARouteSwitchedOffLeavesZerosWhateverTheBlockSizes)
{
    MatrixRig rig;
    rig.mod.process(44100, 4); // nothing routed: the first four are cleared
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_EQ(rig.pitch1[j], j < 4 ? 0.0f : 123.0f) << j;
    param(rig.effect, "ModMPitch") = 1.0f;
    rig.mod.process(44100, kSubBlock);
    EXPECT_FLOAT_EQ(rig.pitch1[15], 2.0f * rig.modEnv.output[15]);
    param(rig.effect, "ModMPitch") = 0.0f;
    rig.mod.process(44100, 6);
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_EQ(rig.pitch1[j], j < 6 ? 0.0f : 2.0f * rig.modEnv.output[j]) << j;
    rig.mod.process(44100, 3);
    rig.mod.process(44100, kSubBlock);
    for (float* buffer : rig.destinations())
        for (int j = 0; j < kSubBlock; ++j)
            ASSERT_EQ(buffer[j], 0.0f) << j;
    // Writing again after a quiet stretch starts from zeros.
    param(rig.effect, "ModMRingMod") = 1.0f;
    rig.mod.process(44100, kSubBlock);
    EXPECT_EQ(rig.mixer.ringModInput[3], rig.modEnv.output[3]);
}
