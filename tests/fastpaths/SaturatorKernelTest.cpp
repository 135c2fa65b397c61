// The saturator's whole-sub-block kernel against the three passes it
// replaces (planar up-sampling, the vector shaper, planar down-sampling):
// the same output and the same histories, bit for bit, block after block.

#include "dsp/CpuFeatures.h"
#include "dsp/FirResampler.h"
#include "dsp/Saturator.h"
#include "dsp/SaturatorKernel.h"
#include "dsp/TanhShaper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace Vorn;

namespace {

struct Pair {
    Pair()
    {
        for (FirResampler* r : {&up, &down})
            r->setup(kOversampleFir, 32, 4);
    }
    FirResampler up, down;
};

void threePasses(Pair& p, const float* in, float gain, float* out)
{
    float planes[64];
    p.up.upsamplePlanar(16, in, planes);
    TanhShaper::apply(planes, 64, gain, TanhShaper::Kernel::Sse2);
    p.down.downsamplePlanar(16, planes, out);
}

bool sameBits(const float* a, const float* b, int n)
{
    return std::memcmp(a, b, sizeof(float) * static_cast<std::size_t>(n)) == 0;
}

// Pushes the same probe through both pairs' histories, which reveals any
// difference left in them.
bool sameHistories(Pair& a, Pair& b)
{
    const float probe[16] = {1.0f, -0.5f, 0.25f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                             0.0f, 0.0f, 0.0f,  0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    float wa[64], wb[64], oa[16], ob[16];
    a.up.upsample(16, probe, wa);
    b.up.upsample(16, probe, wb);
    a.down.downsample(16, wa, oa);
    b.down.downsample(16, wb, ob);
    return sameBits(wa, wb, 64) && sameBits(oa, ob, 16);
}

} // namespace

TEST(SaturatorKernel, GivesTheThreePassesBitsAndHistoriesAtBothWidths)
{
    if (!cpuHasAvx2())
        GTEST_SKIP() << "the kernel needs AVX2";
    const float inf = std::numeric_limits<float>::infinity();
    for (const SaturatorKernel::Kernel kernel : {SaturatorKernel::Kernel::Avx2, SaturatorKernel::Kernel::Avx512}) {
        Pair kernelPair, passPair;
        unsigned seed = 77;
        const auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return static_cast<float>(seed >> 8) / 4194304.0f - 2.0f;
        };
        for (int block = 0; block < 600; ++block) {
            float in[16];
            for (float& x : in)
                x = next();
            // Signed zeros, values the shaper saturates, tiny ones; and for a
            // few blocks infinities, whose NaNs must pass through alike.
            if (block % 7 == 0)
                in[block % 16] = -0.0f;
            if (block % 11 == 0)
                in[(block + 3) % 16] = 1e-30f;
            if (block == 300)
                in[5] = inf;
            const float gain = 32.0f * (0.03125f + static_cast<float>(block % 32) / 32.0f);
            float viaKernel[16], viaPasses[16];
            ASSERT_TRUE(SaturatorKernel::process(kernelPair.up, kernelPair.down, in, gain, viaKernel, kernel));
            threePasses(passPair, in, gain, viaPasses);
            ASSERT_TRUE(sameBits(viaKernel, viaPasses, 16)) << "block " << block;
        }
        EXPECT_TRUE(sameHistories(kernelPair, passPair));
    }
}

TEST(SaturatorKernel, DeclinesAndChangesNothingWhenTheHistoryIsNotInOrder)
{
    Pair kernelPair, passPair;
    // Three samples leave the ring's write position away from its start.
    const float three[3] = {0.1f, 0.2f, 0.3f};
    for (Pair* p : {&kernelPair, &passPair}) {
        p->up.skip(3, three);
        p->down.skip(3, three);
    }
    float in[16], out[16];
    for (int i = 0; i < 16; ++i)
        in[i] = 0.05f * static_cast<float>(i);
    EXPECT_FALSE(SaturatorKernel::process(kernelPair.up, kernelPair.down, in, 4.0f, out));
    EXPECT_TRUE(sameHistories(kernelPair, passPair));
}

TEST(SaturatorKernel, SaturatorOutputIsTheSameWithAndWithoutIt)
{
    // The saturator takes the kernel for whole sub-blocks with a vector
    // shaper and the three passes with the four-lane one.
    Effect effect;
    struct Source : Module {
        using Module::Module;
        void process(int, int) override {}
    } source(&effect, "src");
    Saturator withKernel(&effect, "Sat", &source);
    Effect otherEffect;
    Source otherSource(&otherEffect, "src");
    Saturator without(&otherEffect, "Sat", &otherSource);
    withKernel.shaperKernel = TanhShaper::Kernel::Avx512;
    without.shaperKernel = TanhShaper::Kernel::Sse2;
    for (int block = 0; block < 300; ++block) {
        const float drive = block % 50 < 10 ? 0.0f : 0.1f + 0.003f * static_cast<float>(block % 50);
        effect.parameter(effect.findParameter("SatDrive")).value = drive;
        otherEffect.parameter(otherEffect.findParameter("SatDrive")).value = drive;
        const int n = block % 9 == 0 ? 1 + block % 16 : 16;
        for (int i = 0; i < n; ++i)
            source.output[i] = otherSource.output[i] = std::sin(0.05f * static_cast<float>(block * 16 + i)) * 1.3f;
        withKernel.process(44100, n);
        without.process(44100, n);
        ASSERT_TRUE(sameBits(withKernel.output, without.output, n)) << "block " << block;
    }
}
