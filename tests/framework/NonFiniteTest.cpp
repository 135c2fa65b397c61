// The rules for values that may be NaN, infinite or out of range, each over
// the values that decide it: both zeros, the ends of the range and just
// beyond them, the largest floats, the infinities and NaN, and a sweep of
// random bit patterns.

#include "dsp/NonFinite.h"
#include "dsp/ParamSmoother.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using namespace Vorn;

namespace {

using limits = std::numeric_limits<float>;
const float kNaN = limits::quiet_NaN();
const float kInf = limits::infinity();

uint32_t bits(float v)
{
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

// The edge cases, then random floats of every exponent (NaNs included).
std::vector<float> probes()
{
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 0.001f,
                                 0.01f,
                                 0.03125f,
                                 0.3f,
                                 0.5f,
                                 0.99f,
                                 1.0f,
                                 2.0f,
                                 -1.0f,
                                 limits::denorm_min(),
                                 -limits::denorm_min(),
                                 limits::max(),
                                 limits::lowest(),
                                 kInf,
                                 -kInf,
                                 kNaN,
                                 -kNaN};
    std::minstd_rand rng(3);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t u = static_cast<uint32_t>(rng()) ^ (static_cast<uint32_t>(rng()) << 16);
        float v;
        std::memcpy(&v, &u, sizeof v);
        values.push_back(v);
    }
    return values;
}

} // namespace

// A setting held to its range: inside it untouched to the bit (a zero keeps
// its sign), NaN at the low end, everything else at the nearer end.
TEST(NonFiniteRules, ASettingIsHeldToItsRangeWithNaNAtTheLowEnd)
{
    const float ranges[][2] = {{0.0f, 1.0f}, {0.001f, 0.3f}, {0.01f, 0.99f}, {0.03125f, 1.0f}};
    for (const auto& range : ranges) {
        const float lo = range[0], hi = range[1];
        for (float v : probes()) {
            const float low = std::isnan(v) || v < lo ? lo : v;
            EXPECT_EQ(bits(clampSetting(v, lo, hi)), bits(low > hi ? hi : low)) << v;
            EXPECT_EQ(bits(atLeast(v, lo)), bits(low)) << v;
        }
    }
}

// A level or mix amount: one zero for NaN and both zeros, else 0..1.
TEST(NonFiniteRules, AUnitAmountHasOneZero)
{
    for (float v : probes()) {
        const float expected = std::isnan(v) || v <= 0.0f ? 0.0f : v > 1.0f ? 1.0f : v;
        EXPECT_EQ(bits(unitRange(v)), bits(expected)) << v;
    }
}

// A factor, coefficient or smoother seed: finite values pass to the bit,
// however large; NaN and the infinities give way to the fallback.
TEST(NonFiniteRules, ANonFiniteFactorGivesWayToItsFallback)
{
    for (float v : probes()) {
        EXPECT_EQ(bits(finiteOr(v, 0.25f)), bits(std::isfinite(v) ? v : 0.25f)) << v;
        const double wide = static_cast<double>(v) * 1e300; // beyond float, and overflowing to inf
        EXPECT_EQ(finiteOr(wide, -2.0), std::isfinite(wide) ? wide : -2.0) << wide;
    }
}

// Frequencies and phase steps are used only as plain numbers >= 0 (-0
// included), modulation amounts only as plain numbers > 0.
TEST(NonFiniteRules, RatesAndAmountsArePlainNumbers)
{
    for (float v : probes()) {
        const bool plain = !std::isnan(v) && !std::isinf(v);
        EXPECT_EQ(finiteNonNegative(v), plain && v >= 0.0f) << v;
        EXPECT_EQ(finiteNonNegative(static_cast<double>(v)), finiteNonNegative(v)) << v;
        EXPECT_EQ(finitePositive(v), plain && v > 0.0f) << v;
    }
}

// A float converts to an integer only inside the integer's range: its
// lowest value is in, 2^(bits-1) and anything beyond (or NaN) is out.
TEST(NonFiniteRules, AConversionStaysInsideTheIntegersRange)
{
    const float two31 = 2147483648.0f, two63 = 9223372036854775808.0f;
    EXPECT_TRUE(fitsInteger<int32_t>(-two31));
    EXPECT_FALSE(fitsInteger<int32_t>(std::nextafter(-two31, -kInf)));
    EXPECT_TRUE(fitsInteger<int32_t>(std::nextafter(two31, 0.0f)));
    EXPECT_FALSE(fitsInteger<int32_t>(two31));
    EXPECT_TRUE(fitsInteger<int64_t>(-two63));
    EXPECT_TRUE(fitsInteger<int64_t>(std::nextafter(two63, 0.0f)));
    EXPECT_FALSE(fitsInteger<int64_t>(two63));
    for (float v : {kNaN, kInf, -kInf}) {
        EXPECT_FALSE(fitsInteger<int32_t>(v));
        EXPECT_FALSE(fitsInteger<int64_t>(v));
    }
    for (float v : probes()) {
        if (fitsInteger<int32_t>(v)) {
            EXPECT_EQ(static_cast<double>(static_cast<int32_t>(v)), std::trunc(static_cast<double>(v))) << v;
        }
    }
}

// A sustain level: finite values pass, however far outside 0..1; +inf is 1,
// -inf and NaN are 0.
TEST(NonFiniteRules, ASustainLevelIsFinite)
{
    for (float v : probes()) {
        const float s = finiteSustain(v);
        EXPECT_EQ(bits(s), bits(std::isfinite(v) ? v : v == kInf ? 1.0f : 0.0f)) << v;
    }
}

// A smoother passes over a non-finite setting and goes on from where it was
// once the setting is a number again.
TEST(NonFiniteRules, ASmootherHoldsThroughNonFiniteSettings)
{
    float setting = 1.0f;
    ParamSmoother smoother(&setting, 0.5f);
    smoother.value = 0.0f;
    EXPECT_EQ(smoother.updateIfFinite(), 0.5f);
    for (float bad : {kNaN, kInf, -kInf}) {
        setting = bad;
        EXPECT_EQ(smoother.updateIfFinite(), 0.5f);
    }
    setting = 1.0f;
    EXPECT_EQ(smoother.updateIfFinite(), 0.75f);
}
