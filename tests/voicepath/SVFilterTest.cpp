#include "dsp/SVFilter.h"
#include "tests/support/Feed.h"
#include "tests/support/Param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

using namespace Vorn;

namespace {

const double kPi = 3.14159265358979323846;

// A filter whose smoothers already rest at the given settings: the second
// filter on the same parameters (like a second voice) starts its smoothers
// from the live values.
struct FilterRig {
    FilterRig(float cutoff = 1.0f, float mode = 0.0f, float resonance = 0.1f)
        : in(&effect, "Sat"), first(&effect, "Filter", &in)
    {
        param(effect, "FilterCutoff") = cutoff;
        param(effect, "FilterMode") = mode;
        param(effect, "FilterResonance") = resonance;
        filter = std::make_unique<SVFilter>(&effect, "Filter", &in);
    }
    void run(int blocks, int count = kSubBlock)
    {
        for (int b = 0; b < blocks; ++b)
            filter->process(44100, count);
    }
    Effect effect;
    Feed in;
    SVFilter first;
    std::unique_ptr<SVFilter> filter;
};

double dampingFor(double resonance)
{
    return 2.0 * (1.0 - static_cast<double>(
                            static_cast<float>(std::pow(static_cast<double>(static_cast<float>(resonance)), 0.25))));
}

} // namespace

TEST(SVFilter, RegistersItsParametersInOrder)
{
    Effect effect;
    Feed in(&effect, "Sat");
    SVFilter filter(&effect, "Filter", &in);
    ASSERT_EQ(effect.parameterCount(), 3);
    EXPECT_EQ(effect.parameter(0).name, "FilterCutoff");
    EXPECT_EQ(effect.parameter(0).defaultValue, 1.0f);
    EXPECT_EQ(effect.parameter(1).name, "FilterMode");
    EXPECT_EQ(effect.parameter(1).defaultValue, 0.0f);
    EXPECT_EQ(effect.parameter(2).name, "FilterResonance");
    EXPECT_EQ(effect.parameter(2).defaultValue, 0.1f);
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_EQ(filter.cutoffInput[j], 0.0f);
}

TEST(SVFilter, DefaultsGiveTheTopCoefficientAndHalfGainLowPass)
{
    FilterRig rig;
    rig.in.fill(1.0f);
    rig.run(1);
    EXPECT_EQ(rig.filter->frequencyCoefficient(), std::sin(kPi / 4));
    EXPECT_NEAR(rig.filter->damping(), 0.8753, 1e-4);
    EXPECT_EQ(rig.filter->activeMode(), SVFilter::LowPass);
    rig.run(200);
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_NEAR(rig.filter->output[j], 0.5f, 1e-6f);
}

TEST(SVFilter, CutoffZeroFreezesLowPassAndBand)
{
    FilterRig rig(0.0f);
    rig.in.fill(1.0f);
    rig.run(10);
    EXPECT_EQ(rig.filter->frequencyCoefficient(), 0.0);
    EXPECT_EQ(rig.filter->damping(), dampingFor(0.1));
    for (int j = 0; j < kSubBlock; ++j)
        EXPECT_EQ(rig.filter->output[j], 0.0f);
    EXPECT_EQ(rig.filter->bandPass(), 0.0);
}

TEST(SVFilter, FullResonanceIsClampedAndStaysBounded)
{
    FilterRig rig(0.5f, 0.0f, 1.0f);
    rig.in.fill(0.0f);
    rig.in.output[0] = 1.0f;
    rig.run(1);
    EXPECT_NEAR(rig.filter->damping(), 0.005, 5e-5);
    EXPECT_EQ(rig.filter->damping(), dampingFor(0.99));
    rig.in.fill(0.0f);
    float peak = 0.0f;
    unsigned seed = 1;
    for (int b = 0; b < 20000; ++b) {
        // White noise keeps exciting the resonance.
        for (float& x : rig.in.output) {
            seed = seed * 1664525u + 1013904223u;
            x = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
        }
        rig.run(1);
        for (float y : rig.filter->output)
            peak = std::max(peak, std::fabs(y));
    }
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_LT(peak, 500.0f);
    EXPECT_GT(peak, 2.0f); // it does resonate
}

TEST(SVFilter, ModeChoiceAndNames)
{
    struct Case {
        float value;
        int mode;
        const char* text;
    };
    const Case cases[] = {{0.0f, 0, "LP"}, {0.16f, 0, "LP"}, {0.17f, 1, "HP"}, {0.5f, 2, "BP"},
                          {1.0f, 3, "BR"}, {-1.0f, 0, "LP"}, {7.0f, 3, "BR"},  {NAN, 0, "LP"}};
    for (const Case& c : cases) {
        FilterRig rig(1.0f, c.value);
        rig.run(1);
        EXPECT_EQ(rig.filter->activeMode(), c.mode) << c.value;
        char text[8];
        EXPECT_EQ(rig.filter->format(rig.filter->mode, c.value, text, sizeof text), 2);
        EXPECT_STREQ(text, c.text);
    }
    FilterRig rig;
    char text[8];
    rig.filter->format(rig.filter->cutoff, 0.5f, text, sizeof text);
    EXPECT_STREQ(text, "0.50");
    rig.filter->format(rig.filter->resonance, 0.123f, text, sizeof text);
    EXPECT_STREQ(text, "0.12");
}

TEST(SVFilter, ModulationIsCappedAndReadAtTheMiddleSample)
{
    FilterRig open(1.0f);
    FilterRig modulated(0.0f);
    for (FilterRig* rig : {&open, &modulated})
        for (int j = 0; j < kSubBlock; ++j)
            rig->in.output[j] = std::sin(0.3f * static_cast<float>(j));
    // Only the middle sample counts.
    modulated.filter->cutoffInput[8] = 2.0f;
    for (int b = 0; b < 8; ++b) {
        open.run(1);
        modulated.run(1);
        EXPECT_EQ(modulated.filter->frequencyCoefficient(), open.filter->frequencyCoefficient());
        for (int j = 0; j < kSubBlock; ++j)
            ASSERT_EQ(modulated.filter->output[j], open.filter->output[j]);
    }
    // A one-sample block reads index 0.
    FilterRig single(0.0f);
    single.filter->cutoffInput[0] = 2.0f;
    single.run(1, 1);
    EXPECT_EQ(single.filter->frequencyCoefficient(), std::sin(kPi / 4));
    FilterRig other(0.0f);
    other.filter->cutoffInput[8] = 2.0f;
    other.run(1, 1);
    EXPECT_EQ(other.filter->frequencyCoefficient(), 0.0);
}

TEST(SVFilter, CutoffSmootherGlidesOncePerBlock)
{
    FilterRig rig(1.0f);
    param(rig.effect, "FilterCutoff") = 0.0f;
    rig.run(1); // smoothed 0.5 -> c = 0.125
    EXPECT_DOUBLE_EQ(rig.filter->frequencyCoefficient(), std::sin(kPi * 0.125));
    rig.run(1); // smoothed 0.25
    EXPECT_DOUBLE_EQ(rig.filter->frequencyCoefficient(), std::sin(kPi * 0.0625));
}

TEST(SVFilter, NegativeCutoffTakesTheStabilityLimitAsDamping)
{
    FilterRig rig(0.0f);
    rig.filter->cutoffInput[8] = -0.5f; // c = -0.0625
    rig.run(1);
    const double f = std::sin(kPi * -0.0625);
    EXPECT_DOUBLE_EQ(rig.filter->frequencyCoefficient(), f);
    EXPECT_DOUBLE_EQ(rig.filter->damping(), 2.0 / f - 0.5 * f);
}

// Sines through each mode, measured against the analytic response of two
// state-variable passes per sample (the second with zero input) averaged.
TEST(SVFilter, FrequencyResponseOfEachModeMatchesTheTwoPassStructure)
{
    using cd = std::complex<double>;
    const float cutoff = 0.6f, resonance = 0.3f;
    const double f = std::sin(kPi * (0.5 * 0.0 + static_cast<double>(cutoff)) * 0.25);
    const double m = dampingFor(resonance);
    const int N = 4096;
    for (int mode = 0; mode < 4; ++mode) {
        // Per pass: state (low, band); the selected output is C s + D u.
        const double A[2][2] = {{1.0, f}, {-f, 1.0 - f * m - f * f}};
        const double B[2] = {0.0, f};
        double C[2], D;
        switch (mode) {
        case 0:
            C[0] = 1.0;
            C[1] = f;
            D = 0.0;
            break; // low
        case 1:
            C[0] = -1.0;
            C[1] = -(m + f);
            D = 1.0;
            break; // high
        case 2:
            C[0] = -f;
            C[1] = 1.0 - f * m - f * f;
            D = f;
            break; // band
        default:
            C[0] = 0.0;
            C[1] = -m;
            D = 1.0;
            break; // notch
        }
        for (int k : {20, 100, 300, 500, 700, 1000, 1500, 2000}) {
            const double w = 2.0 * kPi * k / N;
            const cd z = std::polar(1.0, w);
            // Per sample: S z = A^2 S + A B X; Y = ((C + C A) S + (D + C B) X) / 2.
            double A2[2][2], AB[2], CA[2];
            for (int r = 0; r < 2; ++r) {
                for (int c = 0; c < 2; ++c)
                    A2[r][c] = A[r][0] * A[0][c] + A[r][1] * A[1][c];
                AB[r] = A[r][0] * B[0] + A[r][1] * B[1];
                CA[r] = C[0] * A[0][r] + C[1] * A[1][r];
            }
            const cd M00 = z - A2[0][0], M01 = -A2[0][1], M10 = -A2[1][0], M11 = z - A2[1][1];
            const cd det = M00 * M11 - M01 * M10;
            const cd S0 = (M11 * AB[0] - M01 * AB[1]) / det;
            const cd S1 = (-M10 * AB[0] + M00 * AB[1]) / det;
            const cd H = 0.5 * ((C[0] + CA[0]) * S0 + (C[1] + CA[1]) * S1 + (D + C[0] * B[0] + C[1] * B[1]));

            FilterRig rig(cutoff, static_cast<float>(mode) / 3.0f, resonance);
            int n = 0;
            auto feed = [&](cd* acc) {
                for (int j = 0; j < kSubBlock; ++j)
                    rig.in.output[j] = static_cast<float>(std::sin(w * (n + j)));
                rig.run(1);
                if (acc) {
                    for (int j = 0; j < kSubBlock; ++j)
                        *acc += static_cast<double>(rig.filter->output[j]) * std::polar(1.0, -w * (n + j));
                }
                n += kSubBlock;
            };
            for (int b = 0; b < 4 * N / kSubBlock; ++b)
                feed(nullptr);
            cd acc = 0.0;
            for (int b = 0; b < N / kSubBlock; ++b)
                feed(&acc);
            // A unit sine sin(wn) has the complex amplitude -i/2 at +w.
            const cd measured = acc / (static_cast<double>(N) * cd(0.0, -0.5));
            ASSERT_EQ(rig.filter->frequencyCoefficient(), f);
            EXPECT_NEAR(std::abs(measured), std::abs(H), 2e-5) << "mode " << mode << " k " << k;
            EXPECT_NEAR(std::abs(measured - H), 0.0, 2e-5) << "mode " << mode << " k " << k;
        }
    }
}

TEST(SVFilter, ConstantInputPassesLowPassAndBandRejectOnly)
{
    // The named responses, independently of the algebra above: a constant
    // settles at half gain through LP and BR and is blocked by HP and BP.
    const float expectedDc[4] = {0.5f, 0.0f, 0.0f, 0.5f};
    for (int mode = 0; mode < 4; ++mode) {
        FilterRig rig(0.3f, static_cast<float>(mode) / 3.0f, 0.1f);
        rig.in.fill(1.0f);
        rig.run(2000);
        EXPECT_NEAR(rig.filter->output[15], expectedDc[mode], 1e-4) << mode;
    }
}

namespace {

// The filter's per-sample arithmetic at fixed coefficients, without any
// housekeeping between blocks.
struct PlainTwoPass {
    double low = 0.0, band = 0.0;
    float step(double x, double f, double m)
    {
        double notch = x - m * band;
        low = low + f * band;
        band = band + f * (notch - low);
        const float y1 = static_cast<float>(low);
        notch = -m * band;
        low = low + f * band;
        band = band + f * (notch - low);
        return static_cast<float>((static_cast<double>(y1) + low) * 0.5);
    }
};

} // namespace

TEST(SVFilter, NegativeCutoffKeepsItsResponseButNotItsUndampedMode)
{
    FilterRig rig(0.0f);
    PlainTwoPass plain;
    const double f = std::sin(kPi * -0.0625), m = 2.0 / f - 0.5 * f;
    unsigned seed = 3;
    double plainState = 0.0, filterState = 0.0;
    for (int b = 0; b < 165375; ++b) { // a minute at 44.1 kHz
        for (float& x : rig.in.output) {
            seed = seed * 1664525u + 1013904223u;
            x = 0.3f + static_cast<float>(seed >> 8) / 33554432.0f; // DC plus noise
        }
        rig.filter->cutoffInput[8] = -0.5f;
        rig.run(1);
        for (int j = 0; j < kSubBlock; ++j) {
            const float y = plain.step(static_cast<double>(rig.in.output[j]), f, m);
            // The plain loop's state grows until rounding its first pass to
            // float costs precision; compare while it is still small.
            if (b < 50) {
                ASSERT_NEAR(rig.filter->output[j], y, 1e-6f) << b;
            }
        }
        filterState = std::max(filterState, std::fabs(rig.filter->lowPass()) + std::fabs(rig.filter->bandPass()));
    }
    plainState = std::fabs(plain.low) + std::fabs(plain.band);
    EXPECT_GT(plainState, 1e5); // what the DC does to the loop left alone
    EXPECT_LT(filterState, 2.0);
}

TEST(SVFilter, CutoffSweepingThroughZeroDoesNotBurst)
{
    // A slow LFO on a low cutoff, with a signal that has DC in it (as a ring
    // modulated or saturated mix has): the output stays at signal level.
    FilterRig rig(0.2f);
    float peak = 0.0f;
    int n = 0;
    for (int b = 0; b < 4 * 44100 / kSubBlock; ++b) {
        for (int j = 0; j < kSubBlock; ++j, ++n)
            rig.in.output[j] = 0.25f + 0.25f * std::sin(0.05f * static_cast<float>(n));
        rig.filter->cutoffInput[8] = static_cast<float>(std::sin(2.0 * kPi * n / 44100.0));
        rig.run(1);
        for (float y : rig.filter->output)
            peak = std::max(peak, std::fabs(y));
    }
    EXPECT_LT(peak, 0.6f);
}

TEST(SVFilter, NonFiniteValuesDoNotStickInTheFilter)
{
    FilterRig rig(0.7f, 0.0f, 0.5f);
    rig.in.fill(0.5f);
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    // A non-finite input sample spoils its block at most.
    rig.in.output[3] = nan;
    rig.run(1);
    rig.in.fill(0.5f);
    rig.run(1);
    for (float y : rig.filter->output)
        EXPECT_TRUE(std::isfinite(y));
    // Cutoff +inf then -inf would leave its smoother at NaN for good.
    for (float* value : {&param(rig.effect, "FilterCutoff"), &param(rig.effect, "FilterResonance")}) {
        for (float bad : {inf, -inf, nan}) {
            *value = bad;
            rig.run(1);
            for (float y : rig.filter->output)
                ASSERT_TRUE(std::isfinite(y)) << bad;
        }
    }
    param(rig.effect, "FilterCutoff") = 0.7f;
    param(rig.effect, "FilterResonance") = 0.5f;
    rig.filter->cutoffInput[8] = nan;
    rig.run(1);
    EXPECT_EQ(rig.filter->frequencyCoefficient(), 0.0);
    rig.filter->cutoffInput[8] = 0.0f;
    rig.run(100);
    EXPECT_NEAR(rig.filter->frequencyCoefficient(), std::sin(kPi * 0.7 * 0.25), 1e-7);
    EXPECT_DOUBLE_EQ(rig.filter->damping(), dampingFor(0.5));
    EXPECT_NEAR(rig.filter->output[0], 0.25f, 1e-5f); // half of the 0.5 input
}
