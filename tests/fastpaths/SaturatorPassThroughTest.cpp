// "Drive" 0 skips the oversampled shaper. Whatever the drive does from block
// to block, and at every level of the fast paths, the output must equal, bit
// for bit, a saturator that runs the whole oversampled path on every block.

#include "dsp/Saturator.h"
#include "dsp/TanhShaper.h"

#include "Levels.h"
#include "tests/support/Feed.h"
#include "tests/support/Param.h"
#include "tests/support/PlainFirRing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace Vorn;

namespace {

// The saturator as written out plainly: every block goes through both
// resamplers one sample at a time and through the shaper.
struct PlainSaturator {
    PlainFirRing up, down;

    void process(float raw, const float* in, float* out, int count)
    {
        float work[64];
        for (int i = 0; i < count; ++i) {
            up.push(in[i]);
            for (int j = 0; j < 4; ++j)
                work[4 * i + j] = 4.0f * up.phase(j);
        }
        const float d = std::isnan(raw) ? 0.03125f : std::clamp(raw, 0.03125f, 1.0f);
        plainly([&] { TanhShaper::apply(work, 4 * count, 32.0f * d); });
        for (int i = 0; i < count; ++i) {
            float s = 0.0f;
            for (int j = 0; j < 4; ++j) {
                down.push(work[4 * i + j]);
                s += down.phase(j);
            }
            const float wet = std::isfinite(raw) ? raw : d;
            out[i] = (1.0f - wet) * in[i] + wet * (4.0f * s);
        }
    }
};

} // namespace

using SaturatorPassThrough = AtLevel;

TEST_P(SaturatorPassThrough, DriveSwitchingOnAndOffMatchesTheFullPath)
{
    for (int first = 0; first < 3; ++first) {
        Effect effect;
        Feed source(&effect, "Mixer");
        Saturator saturator(&effect, "Saturator", &source);
        PlainSaturator plain;
        float& drive = param(effect, "SaturatorDrive");

        // Runs of drive 0 of every length between driven blocks, with block
        // sizes 1 to 16, so a shortcut that forgets part of either history
        // shows when the drive comes back.
        const float drives[] = {0.4f, 0.0f, 0.0f, 0.7f, 0.0f, 0.05f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.2f};
        unsigned seed = 3;
        float expected[kSubBlock];
        for (int round = 0; round < 400; ++round) {
            // Starting at 1 or 2 opens with drive 0 from construction.
            const int count = 1 + (round * 7 + first) % kSubBlock;
            drive = drives[static_cast<std::size_t>(round + first) % (sizeof drives / sizeof drives[0])];
            for (int j = 0; j < count; ++j) {
                seed = seed * 1664525u + 1013904223u;
                source.output[j] = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
            }
            saturator.process(44100, count);
            plain.process(drive, source.output, expected, count);
            for (int j = 0; j < count; ++j)
                ASSERT_EQ(saturator.output[j], expected[j]) << "round " << round << " sample " << j;
        }
    }
}

TEST_P(SaturatorPassThrough, NonFiniteInputAtDriveZeroActsAsTheFullPath)
{
    // An infinity or NaN leaves traces in the histories that the full path
    // blends in (0 x NaN) even at drive 0, for a few samples after it.
    for (float bad : {INFINITY, NAN}) {
        Effect effect;
        Feed source(&effect, "Mixer");
        Saturator saturator(&effect, "Saturator", &source);
        PlainSaturator plain;
        float expected[kSubBlock];
        for (int round = 0; round < 6; ++round) {
            for (int j = 0; j < kSubBlock; ++j)
                source.output[j] = 0.25f - 0.03f * static_cast<float>(j);
            if (round == 1)
                source.output[13] = bad;
            saturator.process(44100, kSubBlock);
            plain.process(0.0f, source.output, expected, kSubBlock);
            for (int j = 0; j < kSubBlock; ++j) {
                if (std::isnan(expected[j]))
                    ASSERT_TRUE(std::isnan(saturator.output[j])) << bad << " " << round << " " << j;
                else
                    ASSERT_EQ(saturator.output[j], expected[j]) << bad << " " << round << " " << j;
            }
        }
    }
}

AT_LEVELS(SaturatorPassThrough, InstructionSet::Scalar, InstructionSet::Sse2, InstructionSet::Avx2,
          InstructionSet::Avx512);
