#include "dsp/TanhShaper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace Vorn;

// The vector tanh against the library's over the shaper's whole input range,
// including the tiny, the saturated and the non-finite.
TEST(TanhShaper, AgreesWithTheLibraryToTheFloatStep)
{
    std::vector<float> values;
    for (float x = -12.0f; x <= 12.0f; x += 0.000731f)
        values.push_back(x);
    for (float tiny : {1e-30f, -1e-20f, 1e-8f, 3e-5f, -7e-4f, 0.0f, -0.0f, 1e-38f})
        values.push_back(tiny);
    for (float big : {20.0f, -25.0f, 1e10f, -3e38f})
        values.push_back(big);
    values.resize(values.size() / 4 * 4 + 3, 0.5f); // an odd tail for the scalar path

    for (auto kernel : {TanhShaper::Kernel::Sse2, TanhShaper::Kernel::Avx2}) {
        for (float g : {1.0f, 16.0f, 32.0f}) {
            std::vector<float> fast = values, exact = values;
            TanhShaper::apply(fast.data(), static_cast<int>(fast.size()), g, kernel);
            TanhShaper::applyExact(exact.data(), static_cast<int>(exact.size()), g);
            int differing = 0;
            for (std::size_t i = 0; i < values.size(); ++i) {
                if (fast[i] != exact[i]) {
                    ++differing;
                    // one step of float at most, and then only barely
                    ASSERT_LE(std::fabs(fast[i] - exact[i]), std::nextafter(std::fabs(exact[i]), 2.0f) - std::fabs(exact[i]))
                        << values[i] << " g " << g;
                    ASSERT_LT(std::fabs(static_cast<double>(fast[i]) - std::tanh(static_cast<double>(g * values[i]))), 1e-7);
                }
            }
            EXPECT_LT(differing, static_cast<int>(values.size() / 10000 + 1)) << g;
        }
    }
}

TEST(TanhShaper, NonFiniteInputs)
{
    const float inf = std::numeric_limits<float>::infinity();
    for (auto kernel : {TanhShaper::Kernel::Sse2, TanhShaper::Kernel::Avx2}) {
        float work[8] = {inf, -inf, std::numeric_limits<float>::quiet_NaN(), 1.0f, inf, -inf, 0.0f, 2.0f};
        TanhShaper::apply(work, 8, 4.0f, kernel);
        EXPECT_EQ(work[0], 1.0f);
        EXPECT_EQ(work[1], -1.0f);
        EXPECT_TRUE(std::isnan(work[2]));
        EXPECT_EQ(work[3], static_cast<float>(std::tanh(4.0)));
        EXPECT_EQ(work[6], 0.0f);
    }
}
