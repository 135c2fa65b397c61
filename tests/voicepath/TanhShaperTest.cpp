#include "dsp/TanhShaper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

using namespace Vorn;

namespace {

float fromBits(std::uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

std::uint32_t toBits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// The spacing of floats at |exact|, the step a rounded result is measured in.
double floatStep(double exact)
{
    const float rounded = std::fabs(static_cast<float>(exact));
    if (rounded < std::numeric_limits<float>::min())
        return std::numeric_limits<float>::denorm_min();
    int exponent = 0;
    std::frexp(rounded, &exponent);
    return std::ldexp(1.0, exponent - 24);
}

} // namespace

// The fast tanh against the exact one over the shaper's input range: a
// dense, evenly spread share of every float between 2^-14 and 12 of either
// sign (the arithmetic changes branch at 0.7 and saturates at 9.5, so both
// seams are crossed), tiny values down to the subnormal, and huge ones.
TEST(TanhShaper, StaysWithinTwoFloatStepsOfTheExactTanh)
{
    std::vector<float> values;
    for (std::uint32_t u = toBits(0x1p-14f); u <= toBits(12.0f); u += 41) {
        values.push_back(fromBits(u));
        values.push_back(-fromBits(u));
    }
    for (float x = 0.69f; x <= 0.71f; x = std::nextafter(x, 1.0f)) // every float at the branch seam
        values.push_back(x);
    for (float x = 9.4f; x <= 9.6f; x = std::nextafter(x, 10.0f)) // and where the result reaches 1
        values.push_back(x);
    for (float tiny : {1e-30f, -1e-20f, 1e-8f, 3e-5f, -7e-4f, 0.0f, -0.0f, 1e-38f, 1e-40f, -1e-45f})
        values.push_back(tiny);
    for (float big : {20.0f, -25.0f, 1e10f, -3e38f, std::numeric_limits<float>::max()})
        values.push_back(big);
    while (values.size() % 16 != 7) // remainders for the narrower vector forms and the plain one
        values.push_back(0.5f);

    for (float g : {1.0f, 16.0f}) {
        std::vector<float> fast = values;
        TanhShaper::apply(fast.data(), static_cast<int>(fast.size()), g);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const double exact = std::tanh(static_cast<double>(g * values[i]));
            const double error = std::fabs(static_cast<double>(fast[i]) - exact);
            ASSERT_LE(error, 2.0 * floatStep(exact)) << values[i] << " g " << g << " gives " << fast[i];
            ASSERT_LT(error, 1.5e-7) << values[i] << " g " << g;
        }
        // saturated exactly, and a tiny input comes out as itself rather
        // than as 0
        for (std::size_t i = 0; i < values.size(); ++i) {
            const float y = g * values[i];
            if (std::fabs(y) >= 9.5f) {
                ASSERT_EQ(fast[i], std::copysign(1.0f, y)) << y;
            }
            if (std::fabs(y) < 1e-6f) {
                ASSERT_EQ(fast[i], y) << y;
            }
        }
    }
}

TEST(TanhShaper, IsExactlyOdd)
{
    std::vector<float> positive, negative;
    for (float x = 1e-3f; x < 11.0f; x *= 1.0007f) {
        positive.push_back(x);
        negative.push_back(-x);
    }
    std::vector<float> up = positive, down = negative;
    TanhShaper::apply(up.data(), static_cast<int>(up.size()), 3.0f);
    TanhShaper::apply(down.data(), static_cast<int>(down.size()), 3.0f);
    for (std::size_t i = 0; i < up.size(); ++i)
        ASSERT_EQ(up[i], -down[i]) << positive[i];
}

TEST(TanhShaper, NonFiniteInputs)
{
    const float inf = std::numeric_limits<float>::infinity();
    float work[8] = {inf, -inf, std::numeric_limits<float>::quiet_NaN(), 1.0f, inf, -inf, 0.0f, -0.0f};
    TanhShaper::apply(work, 8, 4.0f);
    EXPECT_EQ(work[0], 1.0f);
    EXPECT_EQ(work[1], -1.0f);
    EXPECT_TRUE(std::isnan(work[2]));
    EXPECT_NEAR(work[3], std::tanh(4.0), 2.0 * floatStep(std::tanh(4.0)));
    EXPECT_EQ(work[4], 1.0f);
    EXPECT_EQ(work[5], -1.0f);
    EXPECT_EQ(work[6], 0.0f);
    EXPECT_FALSE(std::signbit(work[6]));
    EXPECT_EQ(work[7], 0.0f);
    EXPECT_TRUE(std::signbit(work[7]));
}
