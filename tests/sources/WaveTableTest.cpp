#include "dsp/WaveTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace Vorn;

namespace {

constexpr int kLevels = 73;
constexpr int kLength = 1024;
constexpr int kStride = kLevels * kLength;

// Harmonics held by each level, 0..72, in a table laid out by hand that
// clang-format leaves as it is.
// clang-format off
const int kHarmonics[kLevels] = {929, 929, 845, 768, 698, 634, 577, 524, 476, 433, 393, 357, 325, 295, 268, 244,
                                 221, 201, 183, 166, 151, 137, 124, 113, 102, 93,  84,  77,  70,  63,  57,  52,
                                 47,  43,  39,  35,  32,  29,  26,  23,  21,  19,  17,  15,  14,  13,  11,  10,
                                 9,   8,   7,   6,   6,   5,   4,   4,   3,   3,   3,   2,   2,   2,   1,   1,
                                 1,   1,   0,   0,   0,   0,   0,   0,   0};
// clang-format on

// The five fixed spectra, spelled out again so that the plain build below
// shares nothing with the production code (laid out by hand: clang-format
// leaves it as it is).
// clang-format off
const float kDig[5][63] = {
    {0.23815f, 0.232434f, 0.234856f, 0.23352f, 0.034056f, 1, 0.016373f, 0.113719f, 0.021999f, 0.028899f, 0.025549f,
     0.070541f, 0.009289f, 0.054978f, 0.011365f, 0.062204f, 0.001288f, 0.029549f, 0.016792f, 0.015196f, 0.002443f,
     0.009519f, 0.001909f, 0.014792f, 0.00966f, 0.020186f, 0.013021f, 0.014535f, 0.009481f, 0.008177f, 0.00545f,
     0.007149f, 0.002485f, 0.005003f, 0.010119f, 0.000715f, 0.000211f, 0.003539f, 0.001151f, 0.012693f, 0.00186f,
     0.005008f, 0.003732f, 0.012321f, 0.002223f, 0.006198f, 0.00074f, 0.007908f, 0.000717f, 0.003797f, 0.000613f,
     0.005711f, 0.002314f, 0.003681f, 0.0014f, 0.006613f, 0.001705f, 0.005312f, 0.001891f, 0.006948f, 0.002771f,
     0.007632f, 0.000428f},
    {1, 0.068767f, 0.000424f, 0.490603f, 0.209957f, 0.000542f, 0.112167f, 0.016931f, 0.099305f, 0.016944f, 0.002981f,
     0.199871f, 0.002143f, 0.002017f, 0.000298f, 0.222141f, 0.00082f, 0.001092f, 0.031484f, 0.000355f, 0.000414f,
     0.000319f, 0.123661f, 0.001443f, 0.00106f, 0.045031f, 0.000164f, 0.000313f, 0.000524f, 0.080767f, 0.000364f, 0,
     0.010383f, 0.001448f, 0.000459f, 0.000074f, 0.046218f, 0.000432f, 0.000974f, 0.005681f, 0.000711f, 0.000478f,
     0.001108f, 0.026179f, 0.000205f, 0.001281f, 0.002137f, 0.000511f, 0.001212f, 0.000868f, 0.012311f, 0.000683f,
     0.00219f, 0.000407f, 0.000534f, 0.002906f, 0.000252f, 0.007779f, 0.00055f, 0.000155f, 0.000638f, 0.000626f,
     0.002811f},
    {1, 0.436564f, 0.000178f, 0.261437f, 0.293047f, 0.002446f, 0.11127f, 0.000545f, 0.002412f, 0.000174f, 0.256675f,
     0.002182f, 0.001983f, 0.002991f, 0.000767f, 0.199649f, 0.077272f, 0.000325f, 0.002851f, 0.000377f, 0.001822f,
     0.235055f, 0.001498f, 0.003469f, 0.000682f, 0.110786f, 0.001276f, 0.001536f, 0.147887f, 0.002119f, 0.109459f,
     0.1441f, 0.001873f, 0.002995f, 0.000818f, 0.00099f, 0.002405f, 0.001914f, 0.003138f, 0.00069f, 0.001596f,
     0.003728f, 0.001524f, 0.003579f, 0.000305f, 0.003579f, 0.004049f, 0.001426f, 0.001915f, 0.000246f, 0.001377f,
     0.002013f, 0.000284f, 0.002449f, 0.002367f, 0.000816f, 0.002009f, 0.000761f, 0.002436f, 0.000504f, 0.002741f,
     0.001449f, 0.000782f},
    {0.014956f, 0.000911f, 0.926242f, 0.001053f, 0.002663f, 0.441619f, 0.001545f, 0.00021f, 0.144803f, 0.000016f,
     0.000817f, 0.116427f, 0.002991f, 0.000992f, 0.08517f, 0.067533f, 0.000979f, 1, 0.003324f, 0.001404f, 0.003924f,
     0.000286f, 0.000415f, 0.000598f, 0.000314f, 0.000682f, 0.002154f, 0.000644f, 0.001909f, 0.002337f, 0.0037f,
     0.001076f, 0.002641f, 0.000748f, 0.000476f, 0.000476f, 0.000171f, 0.000355f, 0.002947f, 0.000895f, 0.000271f,
     0.000349f, 0.001436f, 0.003006f, 0.002148f, 0.000501f, 0.000006f, 0.000024f, 0.000432f, 0.002928f, 0.003661f,
     0.00065f, 0.002059f, 0.000808f, 0.000712f, 0.001055f, 0.000572f, 0.0026f, 0.00011f, 0.002685f, 0.002547f,
     0.001897f, 0.002571f},
    {0.979613f, 0.049683f, 0.863778f, 0.059449f, 0.735076f, 0.05724f, 0.603595f, 0.048442f, 0.515497f, 0.05356f,
     0.459073f, 0.043506f, 0.408585f, 0.038792f, 0.366761f, 0.04079f, 0.350431f, 0.0279f, 0.316934f, 0.021686f,
     0.292036f, 0.013922f, 0.267853f, 0.004834f, 0.224705f, 0.000734f, 0.193018f, 0.014671f, 0.162386f, 0.033152f,
     0.143335f, 0.067114f, 0.146406f, 0.115354f, 0.174436f, 0.138238f, 0.209672f, 0.143226f, 0.242085f, 0.130336f,
     0.278523f, 0.079216f, 0.289421f, 0.005282f, 0.289306f, 0.085127f, 0.277735f, 0.191761f, 0.260317f, 0.361105f,
     0.219135f, 0.509114f, 0.166149f, 0.660172f, 0.124632f, 1, 0.001269f, 0.678778f, 0.002302f, 0.576633f, 0.002754f,
     0.556847f, 0.000441f},
};
// clang-format on

// The table built exactly as described, level by level, one wave at a time,
// with no sharing of sines between waves or harmonics.
std::vector<float> plainBuild()
{
    const double pi = 4.0 * std::atan(1.0);
    const double twoPi = 2.0 * pi;
    std::vector<float> out(static_cast<std::size_t>(9) * kStride, 0.0f);
    for (int w = 0; w < 9; ++w) {
        float A[kLength] = {};
        if (w == 0) {
            A[1] = 1.0f;
        } else if (w == 1) {
            for (int i = 0; 2 * i + 1 <= 1021; ++i)
                A[2 * i + 1] = static_cast<float>(std::pow(-1.0, i) / std::pow(static_cast<double>(2 * i + 1), 2.0));
        } else if (w == 2) {
            for (int k = 1; k <= 1023; ++k)
                A[k] = static_cast<float>(1.0 / k);
        } else if (w == 3) {
            for (int k = 1; k <= 1023; k += 2)
                A[k] = static_cast<float>(1.0 / k);
        } else {
            for (int k = 1; k <= 63; ++k)
                A[k] = kDig[w - 4][k - 1];
        }
        float* wave = out.data() + static_cast<std::size_t>(w) * kStride;
        float x = static_cast<float>(1024.0f / static_cast<float>(std::pow(1.100000023841858, 73.0)));
        for (int n = 72; n >= 1; --n) {
            const float f = x;
            x = static_cast<float>(static_cast<double>(f) * 1.100000023841858);
            const int lo = static_cast<int>(f);
            const int hi = static_cast<int>(std::floor(x));
            float* level = wave + n * kLength;
            for (int h = lo; h < hi; ++h) {
                const float d = static_cast<float>(h * twoPi * (1.0 / 1024.0));
                for (int j = 0; j < kLength; ++j) {
                    const float s = static_cast<float>(std::sin(static_cast<double>(static_cast<float>(j) * d)));
                    level[j] = level[j] + s * A[h];
                }
            }
            for (int j = 0; j < kLength; ++j)
                level[j - kLength] = level[j];
        }
    }
    return out;
}

// Amplitude of sine partial k in one level, by projection.
double partial(const float* level, int k)
{
    double sum = 0.0;
    for (int j = 0; j < kLength; ++j)
        sum += static_cast<double>(level[j]) * std::sin(2.0 * 3.141592653589793 * k * j / kLength);
    return sum * 2.0 / kLength;
}

float peak(const float* level)
{
    float m = 0.0f;
    for (int j = 0; j < kLength; ++j)
        m = std::fmax(m, std::fabs(level[j]));
    return m;
}

class WaveTableFacts : public ::testing::Test {
protected:
    static void SetUpTestSuite() { table = WaveTable::shared(); }
    static void TearDownTestSuite() { table.reset(); }
    static std::shared_ptr<const WaveTable> table;
};
std::shared_ptr<const WaveTable> WaveTableFacts::table;

bool sameLevel(const float* a, const float* b)
{
    return std::memcmp(a, b, sizeof(float) * kLength) == 0;
}

} // namespace

TEST(WaveTable, LayoutConstants)
{
    EXPECT_EQ(WaveTable::kLevelCount, kLevels);
    EXPECT_EQ(WaveTable::kWaveStride, kStride);
    WaveTable table;
    ASSERT_EQ(table.size(), 672768u);
    EXPECT_EQ(table.levelData(3, 5), table.data() + 3 * kStride + 5 * kLength);
}

TEST(WaveTable, MatchesThePlainBuildBitForBit)
{
    const std::vector<float> expected = plainBuild();
    WaveTable table;
    ASSERT_EQ(table.size(), expected.size());
    EXPECT_EQ(std::memcmp(table.data(), expected.data(), expected.size() * sizeof(float)), 0);
    // Name the first difference, if any, to make a failure readable.
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (std::memcmp(&expected[i], table.data() + i, sizeof(float)) != 0) {
            ADD_FAILURE() << "first difference at wave " << i / kStride << " level " << (i % kStride) / kLength
                          << " sample " << i % kLength << ": " << table.data()[i] << " vs " << expected[i];
            break;
        }
    }
}

TEST_F(WaveTableFacts, TopLevelsAreSilentAndLevelZeroCopiesLevelOne)
{
    const std::vector<float> zeros(kLength, 0.0f);
    for (int w = 0; w < 9; ++w) {
        for (int n = 66; n < kLevels; ++n)
            EXPECT_TRUE(sameLevel(table->levelData(w, n), zeros.data())) << "wave " << w << " level " << n;
        EXPECT_FALSE(sameLevel(table->levelData(w, 65), zeros.data())) << "wave " << w;
        EXPECT_TRUE(sameLevel(table->levelData(w, 0), table->levelData(w, 1))) << "wave " << w;
    }
}

TEST_F(WaveTableFacts, SineIsOneSineOnEveryAudibleLevel)
{
    const float d = static_cast<float>(2.0 * 3.141592653589793 / 1024.0);
    std::vector<float> sine(kLength);
    for (int j = 0; j < kLength; ++j)
        sine[static_cast<std::size_t>(j)] =
            static_cast<float>(std::sin(static_cast<double>(static_cast<float>(j) * d)));
    for (int n = 0; n <= 65; ++n)
        EXPECT_TRUE(sameLevel(table->levelData(0, n), sine.data())) << "level " << n;
    // Square, triangle and saw hold only the fundamental (amplitude exactly 1
    // for square and saw) where one harmonic is allowed; square also where
    // two are, since its second harmonic is 0.
    for (int n = 59; n <= 65; ++n)
        EXPECT_TRUE(sameLevel(table->levelData(3, n), sine.data())) << "squ level " << n;
    for (int n = 62; n <= 65; ++n)
        EXPECT_TRUE(sameLevel(table->levelData(2, n), sine.data())) << "saw level " << n;
    EXPECT_FALSE(sameLevel(table->levelData(2, 61), sine.data()));
}

TEST_F(WaveTableFacts, EachLevelEndsAtItsHarmonicCount)
{
    // Sampled at 1024 points, partials above 511 alias onto lower ones, so
    // the projection can check the levels from 8 (476 harmonics) up.
    for (int n = 8; n <= 65; ++n) {
        const float* level = table->levelData(2, n);
        const int H = kHarmonics[n];
        EXPECT_NEAR(partial(level, H), 1.0 / H, 2e-5) << "level " << n;
        EXPECT_NEAR(partial(level, H + 1), 0.0, 2e-5) << "level " << n;
    }
}

TEST_F(WaveTableFacts, PeaksAndSpectra)
{
    EXPECT_NEAR(peak(table->levelData(0, 0)), 1.0f, 1e-6);
    EXPECT_NEAR(peak(table->levelData(1, 0)), 1.233f, 0.002);
    EXPECT_NEAR(peak(table->levelData(2, 0)), 1.59f, 0.01);
    EXPECT_NEAR(peak(table->levelData(3, 0)), 0.80f, 0.01);
    // "tri" alternates the sign of its odd partials.
    EXPECT_NEAR(partial(table->levelData(1, 0), 3), -1.0 / 9.0, 1e-5);
    EXPECT_NEAR(partial(table->levelData(1, 0), 2), 0.0, 1e-5);
    // "dig2" has no 32nd partial; "dig4" peaks at the 18th, not the first.
    EXPECT_NEAR(partial(table->levelData(5, 0), 32), 0.0, 1e-5);
    EXPECT_NEAR(partial(table->levelData(5, 0), 31), 0.000364, 1e-5);
    EXPECT_NEAR(partial(table->levelData(7, 0), 18), 1.0, 1e-5);
    EXPECT_NEAR(partial(table->levelData(7, 0), 1), 0.014956, 1e-5);
    // The fixed spectra end at 63, so every level with room for 63 is equal.
    for (int w = 4; w < 9; ++w)
        for (int n = 0; n <= 29; ++n)
            EXPECT_TRUE(sameLevel(table->levelData(w, n), table->levelData(w, 29))) << "wave " << w << " level " << n;
    EXPECT_FALSE(sameLevel(table->levelData(8, 30), table->levelData(8, 29)));
}

TEST(WaveTable, Names)
{
    const char* expected[9] = {"sin", "tri", "saw", "squ", "dig1", "dig2", "dig3", "dig4", "dig5"};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(std::string(waveName(i)), expected[i]);
    EXPECT_EQ(std::string(waveName(-1)), "");
    EXPECT_EQ(std::string(waveName(9)), "");
}

TEST(WaveTable, SharedTableLivesAsLongAsItsUsers)
{
    std::shared_ptr<const WaveTable> first = WaveTable::shared();
    std::shared_ptr<const WaveTable> second = WaveTable::shared();
    EXPECT_EQ(first.get(), second.get());
    std::weak_ptr<const WaveTable> watch = first;
    first.reset();
    EXPECT_FALSE(watch.expired());
    second.reset();
    EXPECT_TRUE(watch.expired());
    std::shared_ptr<const WaveTable> again = WaveTable::shared();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->size(), 672768u);
}
