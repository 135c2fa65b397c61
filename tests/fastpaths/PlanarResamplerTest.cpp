// The phase-by-phase resampler forms against the interleaved ones: the same
// bits for every block size, and the same histories afterwards.

#include "dsp/FirResampler.h"
#include "dsp/Saturator.h"

#include <gtest/gtest.h>

using namespace Vorn;

TEST(PlanarResampler, MatchesTheInterleavedFormForAnyBlockSize)
{
    FirResampler up, down, upPlanar, downPlanar;
    for (FirResampler* r : {&up, &down, &upPlanar, &downPlanar})
        r->setup(kOversampleFir, 32, 4);
    ASSERT_TRUE(upPlanar.planarFits(16));
    EXPECT_FALSE(upPlanar.planarFits(17));
    unsigned seed = 9;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 4194304.0f - 2.0f;
    };
    for (int round = 0; round < 400; ++round) {
        const int n = 1 + (round * 5) % 16;
        float in[16], wide[64], planes[64], out[16], outPlanar[16], wideIn[64], planesIn[64];
        for (int i = 0; i < n; ++i)
            in[i] = next();
        for (int t = 0; t < 4 * n; ++t)
            wideIn[t] = next();
        for (int t = 0; t < 4 * n; ++t)
            planesIn[(t % 4) * n + t / 4] = wideIn[t];

        up.upsample(n, in, wide);
        upPlanar.upsamplePlanar(n, in, planes);
        for (int t = 0; t < 4 * n; ++t)
            ASSERT_EQ(planes[(t % 4) * n + t / 4], wide[t]) << round << " " << t;

        down.downsample(n, wideIn, out);
        downPlanar.downsamplePlanar(n, planesIn, outPlanar);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(outPlanar[i], out[i]) << round << " " << i;
    }
}
