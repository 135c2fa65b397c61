// Every vector form of the shaper computes the same lanes: the widest the
// processor offers must give the bits of the SSE2 form, at any length.

#include "dsp/TanhShaper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace Vorn;

TEST(TanhKernels, AllVectorFormsAgreeToTheBit)
{
    std::vector<float> values;
    for (int i = -40000; i <= 40000; ++i)
        values.push_back(static_cast<float>(i) * 1.37e-4f);
    values.push_back(std::numeric_limits<float>::infinity());
    values.push_back(-std::numeric_limits<float>::infinity());
    values.push_back(std::numeric_limits<float>::quiet_NaN());
    values.push_back(1e-30f);
    values.push_back(-0.0f);
    for (float g : {1.0f, 16.0f, 32.0f}) {
        for (TanhShaper::Kernel kernel : {TanhShaper::Kernel::Avx2, TanhShaper::Kernel::Avx512}) {
            // Odd lengths leave a remainder for the narrower forms to finish.
            for (std::size_t start = 0; start < values.size(); start += 61) {
                const int n = static_cast<int>(std::min<std::size_t>(61, values.size() - start)) - (start % 3 == 0);
                std::vector<float> base(values.begin() + static_cast<long>(start),
                                        values.begin() + static_cast<long>(start) + n);
                std::vector<float> wide = base;
                // The SSE2 form leaves n % 4 samples to the library; do the
                // same split by hand so only whole groups are compared.
                const int whole = n - n % 4;
                TanhShaper::apply(base.data(), whole, g, TanhShaper::Kernel::Sse2);
                TanhShaper::apply(wide.data(), whole, g, kernel);
                ASSERT_EQ(std::memcmp(base.data(), wide.data(), sizeof(float) * static_cast<std::size_t>(whole)), 0)
                    << "g " << g << " start " << start;
            }
        }
    }
    EXPECT_NE(TanhShaper::widest(), TanhShaper::Kernel::Library);
}
