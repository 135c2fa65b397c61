// The phase-by-phase resampler forms, plain and vector, against the
// interleaved plain ones: the same bits for every block size, and the same
// histories afterwards.

#include "dsp/FirResampler.h"
#include "dsp/Saturator.h"

#include "Levels.h"

#include <gtest/gtest.h>

using namespace Vorn;

using PlanarResampler = AtLevel;

TEST_P(PlanarResampler, MatchesTheInterleavedFormForAnyBlockSize)
{
    FirResampler up(kOversampleFir), down(kOversampleFir), upPlanar(kOversampleFir), downPlanar(kOversampleFir);
    unsigned seed = 9;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 4194304.0f - 2.0f;
    };
    for (int round = 0; round < 400; ++round) {
        // Now and then a block too long for the planar forms, which must
        // leave their histories alone.
        const int n = round % 50 == 49 ? PlanarTerms::kPlanarBlock + 1 : 1 + (round * 5) % 16;
        float in[17], wide[68], planes[68], out[17], outPlanar[17], wideIn[68], planesIn[68];
        for (int i = 0; i < n; ++i)
            in[i] = next();
        for (int t = 0; t < 4 * n; ++t)
            wideIn[t] = next();
        for (int t = 0; t < 4 * n; ++t)
            planesIn[(t % 4) * n + t / 4] = wideIn[t];
        upPlanar.upsamplePlanar(n, in, planes);
        downPlanar.downsamplePlanar(n, planesIn, outPlanar);
        if (n > PlanarTerms::kPlanarBlock)
            continue;

        up.upsample(n, in, wide);
        for (int t = 0; t < 4 * n; ++t)
            ASSERT_EQ(planes[(t % 4) * n + t / 4], wide[t]) << round << " " << t;
        down.downsample(n, wideIn, out);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(outPlanar[i], out[i]) << round << " " << i;
    }
}

AT_LEVELS(PlanarResampler, InstructionSet::Scalar, InstructionSet::Sse2, InstructionSet::Avx2);
