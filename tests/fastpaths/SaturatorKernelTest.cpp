// The saturator's fast paths against its plain form: whole sub-blocks in
// vector registers from end to end (AVX2 and wider), the vector resamplers
// and shaper (SSE2). The same output block after block, whatever the drive
// and the block size, so the histories they leave are the same too.

#include "dsp/Saturator.h"

#include "Levels.h"
#include "tests/support/Feed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace Vorn;

namespace {

struct Rig {
    Rig() : source(&effect, "src"), saturator(&effect, "Sat", &source), drive(effect.parameter(0).value) {}
    Effect effect;
    Feed source;
    Saturator saturator;
    float& drive;
};

} // namespace

using SaturatorLevels = AtLevel;

TEST_P(SaturatorLevels, GiveThePlainBitsBlockAfterBlock)
{
    Rig fast, plain;
    const float inf = std::numeric_limits<float>::infinity();
    unsigned seed = 77;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 4194304.0f - 2.0f;
    };
    for (int block = 0; block < 900; ++block) {
        // Mostly whole sub-blocks, some shorter; drives across the range,
        // with runs of 0 that skip the oversampled path and catch up after.
        const int count = block % 9 == 0 ? 1 + block % kSubBlock : kSubBlock;
        const float drive = block % 50 < 6 ? 0.0f : static_cast<float>(block % 32 + 1) / 32.0f;
        float in[kSubBlock];
        for (int i = 0; i < count; ++i)
            in[i] = next();
        // Signed zeros, tiny values; and in one block an infinity, whose
        // NaNs must pass through alike.
        if (block % 7 == 0)
            in[block % count] = -0.0f;
        if (block % 11 == 0)
            in[(block + 3) % count] = 1e-30f;
        if (block == 300)
            in[5] = inf;
        for (Rig* r : {&fast, &plain}) {
            std::memcpy(r->source.output, in, sizeof(float) * static_cast<std::size_t>(count));
            r->drive = drive;
        }
        fast.saturator.process(44100, count);
        plainly([&] { plain.saturator.process(44100, count); });
        ASSERT_EQ(
            std::memcmp(fast.saturator.output, plain.saturator.output, sizeof(float) * static_cast<std::size_t>(count)),
            0)
            << "block " << block;
    }
}

AT_LEVELS(SaturatorLevels, InstructionSet::Sse2, InstructionSet::Avx2, InstructionSet::Avx512);
