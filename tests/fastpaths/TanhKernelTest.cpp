// Every vector form of the shaper computes the plain form's lanes: at every
// level and however a block is split, the bits are the same.

#include "dsp/TanhShaper.h"

#include "Levels.h"

#include <gtest/gtest.h>

#include <algorithm>
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

void shape(std::vector<float>& v, float g)
{
    TanhShaper::apply(v.data(), static_cast<int>(v.size()), g);
}

} // namespace

using TanhKernels = AtLevel;

TEST_P(TanhKernels, GiveThePlainBitsAtEveryLength)
{
    const std::vector<float> values = kernelInputs();
    for (float g : {1.0f, 16.0f, 32.0f}) {
        // Lengths 1 to 37 in turn, so every remainder of 4, 8 and 16 is left
        // to the narrower forms and the plain one.
        std::size_t n = 1;
        for (std::size_t start = 0; start < values.size(); start += n, n = n % 37 + 1) {
            const std::size_t end = std::min(values.size(), start + n);
            std::vector<float> plain(values.begin() + static_cast<long>(start),
                                     values.begin() + static_cast<long>(end));
            std::vector<float> fast = plain;
            plainly([&] { shape(plain, g); });
            shape(fast, g);
            ASSERT_TRUE(sameBits(plain, fast)) << "g " << g << " start " << start << " length " << n;
        }
    }
}

TEST_P(TanhKernels, HowABlockIsSplitNeverShows)
{
    const std::vector<float> all = kernelInputs();
    const std::vector<float> values(all.begin() + 39000, all.begin() + 39000 + 203); // includes 0 and a ragged end
    std::vector<float> whole = values;
    shape(whole, 16.0f);
    for (int split : {1, 3, 5, 16, 17, 64, 101, 202}) {
        std::vector<float> parts = values;
        TanhShaper::apply(parts.data(), split, 16.0f);
        TanhShaper::apply(parts.data() + split, static_cast<int>(parts.size()) - split, 16.0f);
        ASSERT_TRUE(sameBits(whole, parts)) << "split at " << split;
    }
}

AT_LEVELS(TanhKernels, InstructionSet::Sse2, InstructionSet::Avx2, InstructionSet::Avx512);
