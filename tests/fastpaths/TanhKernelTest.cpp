// Every form of the shaper, the scalar one included, computes the same
// lanes: whatever form runs and however a block is split, the bits are the
// same.

#include "dsp/TanhShaper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace Vorn;

namespace {

std::vector<float> kernelInputs()
{
    std::vector<float> values;
    for (int i = -40000; i <= 40000; ++i)
        values.push_back(static_cast<float>(i) * 1.37e-4f);
    for (float x = 0.68f; x < 0.72f; x += 1e-6f) // where the arithmetic changes branch
        values.push_back(x);
    values.push_back(std::numeric_limits<float>::infinity());
    values.push_back(-std::numeric_limits<float>::infinity());
    values.push_back(std::numeric_limits<float>::quiet_NaN());
    values.push_back(1e-30f);
    values.push_back(-0.0f);
    values.push_back(1e-41f);
    values.push_back(-3e38f);
    return values;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), sizeof(float) * a.size()) == 0;
}

} // namespace

TEST(TanhKernels, EveryFormGivesTheScalarBitsAtEveryLength)
{
    const std::vector<float> values = kernelInputs();
    for (float g : {1.0f, 16.0f, 32.0f}) {
        for (TanhShaper::Kernel kernel :
             {TanhShaper::Kernel::Sse2, TanhShaper::Kernel::Avx2, TanhShaper::Kernel::Avx512}) {
            // Lengths 1 to 37 in turn, so every remainder of 4, 8 and 16 is
            // left to the narrower forms and the scalar one.
            int n = 1;
            for (std::size_t start = 0; start < values.size(); start += static_cast<std::size_t>(n), n = n % 37 + 1) {
                const std::size_t end = std::min(values.size(), start + static_cast<std::size_t>(n));
                std::vector<float> scalar(values.begin() + static_cast<long>(start),
                                          values.begin() + static_cast<long>(end));
                std::vector<float> wide = scalar;
                TanhShaper::apply(scalar.data(), static_cast<int>(scalar.size()), g, TanhShaper::Kernel::Scalar);
                TanhShaper::apply(wide.data(), static_cast<int>(wide.size()), g, kernel);
                ASSERT_TRUE(sameBits(scalar, wide))
                    << "g " << g << " start " << start << " length " << n << " kernel " << static_cast<int>(kernel);
            }
        }
    }
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_NE(TanhShaper::widest(), TanhShaper::Kernel::Library);
    EXPECT_NE(TanhShaper::widest(), TanhShaper::Kernel::Scalar);
#endif
}

TEST(TanhKernels, HowABlockIsSplitNeverShows)
{
    const std::vector<float> all = kernelInputs();
    const std::vector<float> values(all.begin() + 39000, all.begin() + 39000 + 203); // includes 0 and a ragged end
    for (TanhShaper::Kernel kernel : {TanhShaper::Kernel::Scalar, TanhShaper::widest()}) {
        std::vector<float> whole = values;
        TanhShaper::apply(whole.data(), static_cast<int>(whole.size()), 16.0f, kernel);
        for (int split : {1, 3, 5, 16, 17, 64, 101, 202}) {
            std::vector<float> parts = values;
            TanhShaper::apply(parts.data(), split, 16.0f, kernel);
            TanhShaper::apply(parts.data() + split, static_cast<int>(parts.size()) - split, 16.0f, kernel);
            ASSERT_TRUE(sameBits(whole, parts)) << "split at " << split;
        }
    }
}
