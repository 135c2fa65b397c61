#include "dsp/Saturator.h"
#include "dsp/FirResampler.h"
#include "tests/support/Feed.h"
#include "tests/support/Param.h"
#include "tests/support/PlainFirRing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>

using namespace Vorn;

TEST(OversampleFir, IsSymmetricWithUnitSumAndQuarterPhases)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(kOversampleFir[i], kOversampleFir[31 - i]);
    EXPECT_EQ(kOversampleFir[0], -0.000319f);
    EXPECT_EQ(kOversampleFir[15], 0.123469f);
    double total = 0.0;
    for (int j = 0; j < 4; ++j) {
        double phase = 0.0;
        for (int k = 0; k < 8; ++k)
            phase += static_cast<double>(kOversampleFir[j + 4 * k]);
        EXPECT_NEAR(phase, 0.25, 2e-4);
        total += phase;
    }
    EXPECT_NEAR(total, 1.0, 1e-5);
}

TEST(FirResampler, ConstantInputSettles)
{
    FirResampler up(kOversampleFir), down(kOversampleFir);
    float in[16], wide[64], out[16];
    std::fill(in, in + 16, 0.3f);
    for (int b = 0; b < 2; ++b)
        up.upsample(16, in, wide);
    for (float w : wide)
        EXPECT_NEAR(w, 0.3f, 0.3f * 5e-4f); // every output sample reproduces the input
    std::fill(wide, wide + 64, 0.3f);
    for (int b = 0; b < 2; ++b)
        down.downsample(16, wide, out);
    for (float y : out)
        EXPECT_NEAR(y, 1.2f, 1e-5f); // four times the input
}

TEST(FirResampler, ImpulseWalksThroughTheHistoryOldestFirst)
{
    // An impulse appears at the term k = 1 (the newest sample) first, so the
    // up-sampler's output for it is 4 x coefficients[j + 4], then [j + 8]...
    FirResampler up(kOversampleFir);
    float in[9] = {1.0f};
    float out[36];
    up.upsample(9, in, out);
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 4; ++j) {
            const int k = i + 1 == 8 ? 0 : i + 1; // at i = 7 it is the oldest sample (k = 0)
            const float expected = i == 8 ? 0.0f : 4.0f * kOversampleFir[j + 4 * k];
            EXPECT_EQ(out[4 * i + j], expected) << i << " " << j;
        }
}

TEST(FirResampler, DownsamplerSumsAllPhases)
{
    FirResampler down(kOversampleFir);
    float in[4 * 3] = {0.0f, 0.0f, 0.0f, 1.0f}; // impulse on the last of the first four
    float out[3];
    down.downsample(3, in, out);
    // Pushed last, it is the newest sample (k = 1) for phase 3 only.
    EXPECT_EQ(out[0], 4.0f * kOversampleFir[3 + 4]);
    // Second output: each push ages it by one, so phase j sees it at k = 2 + j.
    EXPECT_FLOAT_EQ(out[1], 4.0f * (kOversampleFir[0 + 8] + kOversampleFir[1 + 12] + kOversampleFir[2 + 16] +
                                    kOversampleFir[3 + 20]));
}

namespace {

struct SaturatorRig {
    SaturatorRig() : mixer(&effect, "Mixer"), saturator(&effect, "Saturator", &mixer) {}
    void settle(float drive, float x, int blocks = 4)
    {
        param(effect, "SaturatorDrive") = drive;
        mixer.fill(x);
        for (int b = 0; b < blocks; ++b)
            saturator.process(44100, kSubBlock);
    }
    Effect effect;
    Feed mixer;
    Saturator saturator;
};

} // namespace

TEST(Saturator, DriveZeroPassesTheInputExactly)
{
    SaturatorRig rig;
    ASSERT_EQ(rig.effect.findParameter("SaturatorDrive"), 0);
    EXPECT_EQ(rig.effect.parameter(0).defaultValue, 0.0f);
    rig.settle(1.0f, 0.7f); // fill the histories with something else first
    unsigned seed = 7;
    for (int b = 0; b < 8; ++b) {
        for (float& x : rig.mixer.output) {
            seed = seed * 1664525u + 1013904223u;
            x = static_cast<float>(seed >> 8) / 4194304.0f - 2.0f;
        }
        rig.settle(0.0f, 0.0f, 0);
        rig.saturator.process(44100, kSubBlock);
        for (int j = 0; j < kSubBlock; ++j)
            ASSERT_EQ(rig.saturator.output[j], rig.mixer.output[j]);
    }
}

TEST(Saturator, FullDriveSaturatesAtFour)
{
    SaturatorRig rig;
    rig.settle(1.0f, 0.5f);
    for (float y : rig.saturator.output)
        EXPECT_NEAR(y, 4.0f, 1e-4f);
    rig.settle(1.0f, -0.5f);
    for (float y : rig.saturator.output)
        EXPECT_NEAR(y, -4.0f, 1e-4f);
    rig.settle(1.0f, 0.01f);
    EXPECT_NEAR(rig.saturator.output[9], 1.238f, 1e-3f);
}

TEST(Saturator, SteadyStateFollowsTheBlendedShaper)
{
    for (float d : {0.03125f, 0.1f, 0.25f, 0.5f, 0.8f, 1.0f}) {
        for (float x : {-0.3f, -0.02f, 0.004f, 0.05f, 0.2f, 1.5f}) {
            SaturatorRig rig;
            rig.settle(d, x);
            const double dd = d, xd = x;
            const double expected = (1.0 - dd) * xd + dd * 4.0 * std::tanh(32.0 * dd * xd);
            for (float y : rig.saturator.output)
                ASSERT_NEAR(y, expected, 2e-3 * std::fabs(expected) + 1e-6) << d << " " << x;
        }
    }
    // Below the shaper's minimum drive the shaper keeps 1/32 but the blend
    // uses the raw value.
    SaturatorRig rig;
    rig.settle(0.01f, 0.2f);
    EXPECT_NEAR(rig.saturator.output[0], 0.99 * 0.2 + 0.01 * 4.0 * std::tanh(0.2), 1e-5);
}

TEST(Saturator, NonFiniteDriveStillGivesFiniteOutput)
{
    SaturatorRig rig;
    rig.settle(std::numeric_limits<float>::quiet_NaN(), 0.2f);
    // NaN shapes and blends at the smallest drive.
    EXPECT_NEAR(rig.saturator.output[3], (1.0 - 0.03125) * 0.2 + 0.03125 * 4.0 * std::tanh(0.2), 1e-4);
    rig.settle(std::numeric_limits<float>::infinity(), 0.2f);
    EXPECT_NEAR(rig.saturator.output[3], 4.0f, 1e-4f);
}

// Whatever the block sizes, the resamplers must match a ring buffer that
// pushes one sample at a time and sums each phase oldest-first.
TEST(FirResampler, MatchesAPlainRingBufferForAnyBlockSizes)
{
    PlainFirRing upRing, downRing;
    FirResampler up(kOversampleFir), down(kOversampleFir);
    unsigned seed = 11;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 4194304.0f - 2.0f;
    };
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + round % 16;
        float in[16], wide[64], out[16], wideIn[64];
        for (int i = 0; i < n; ++i)
            in[i] = next();
        for (int i = 0; i < 4 * n; ++i)
            wideIn[i] = next();
        up.upsample(n, in, wide);
        down.downsample(n, wideIn, out);
        for (int i = 0; i < n; ++i) {
            upRing.push(in[i]);
            for (int j = 0; j < 4; ++j)
                ASSERT_EQ(wide[4 * i + j], 4.0f * upRing.phase(j)) << round;
            float s = 0.0f;
            for (int j = 0; j < 4; ++j) {
                downRing.push(wideIn[4 * i + j]);
                s += downRing.phase(j);
            }
            ASSERT_EQ(out[i], 4.0f * s) << round;
        }
    }
}
