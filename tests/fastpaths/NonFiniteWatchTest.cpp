// The exponent-bit test that replaced summing x - x must flag exactly the
// values the sum flagged: NaN and the infinities, nothing else.

#include "dsp/NonFiniteWatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Vorn;

TEST(NonFiniteWatch, FlagsExactlyWhatTheDifferenceWouldTurnIntoNaN)
{
    using limits = std::numeric_limits<float>;
    const float values[] = {0.0f,
                            -0.0f,
                            1.0f,
                            -3.0e38f,
                            limits::max(),
                            limits::lowest(),
                            limits::min(),
                            limits::denorm_min(),
                            -limits::denorm_min(),
                            limits::infinity(),
                            -limits::infinity(),
                            limits::quiet_NaN(),
                            -limits::quiet_NaN(),
                            limits::signaling_NaN()};
    for (float v : values) {
        const volatile float copy = v;
        const bool bySum = !(copy - copy == 0.0f);
        EXPECT_EQ(NonFiniteWatch::nonFinite(v), bySum) << v;
        NonFiniteWatch watch;
        watch.add(1.0f);
        watch.add(v);
        watch.add(2.0f);
        EXPECT_EQ(watch.any(), bySum) << v;
    }
    const float block[5] = {1.0f, -2.0f, limits::max(), 0.0f, limits::denorm_min()};
    EXPECT_TRUE(NonFiniteWatch::allFinite(block, 5));
    float tainted[5] = {1.0f, -2.0f, 3.0f, 4.0f, limits::infinity()};
    EXPECT_FALSE(NonFiniteWatch::allFinite(tainted, 5));
    EXPECT_TRUE(NonFiniteWatch::allFinite(tainted, 4)); // only the first four are looked at
    EXPECT_TRUE(NonFiniteWatch::allFinite(tainted, 0));
    // Doubles (filter state) by the same rule.
    for (float v : values)
        EXPECT_EQ(NonFiniteWatch::nonFinite(static_cast<double>(v)), !std::isfinite(v)) << v;
    EXPECT_TRUE(NonFiniteWatch::nonFinite(static_cast<double>(limits::max()) * 1e300));
    EXPECT_FALSE(NonFiniteWatch::nonFinite(std::numeric_limits<double>::max()));
}
