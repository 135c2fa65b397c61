// The oscillators' table loops: the plain form and the wider encodings
// against the one-sample formula, to the bit, over wrapping phases, large
// steps and odd counts.

#include "dsp/TableReader.h"

#include "Levels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace Vorn;

namespace {

float plainReading(const std::vector<float>& T, const PhaseAccumulator& acc)
{
    const float frac = acc.fraction();
    return T[acc.index()] * (1.0f - frac) + frac * T[(acc.phase + acc.indexStep) >> acc.shift];
}

} // namespace

using TableReaders = AtLevel;

TEST_P(TableReaders, GiveTheOneSampleFormula)
{
    std::mt19937 random(5);
    std::vector<float> T(1024); // level of 1024 (10 bits); 7 bits reads its first 128
    for (float& v : T)
        v = std::uniform_real_distribution<float>(-1.0f, 1.0f)(random);
    for (int bits : {10, 7}) {
        PhaseAccumulator acc(bits);
        for (int round = 0; round < 2000; ++round) {
            acc.phase = static_cast<uint32_t>(random());
            const uint32_t increment =
                round % 5 == 0 ? static_cast<uint32_t>(random()) : static_cast<uint32_t>(random() % 90000000u);
            const uint32_t offset = static_cast<uint32_t>(random());
            const int count = 1 + round % 16;
            // The expected samples, one at a time through the accumulator.
            float single[16], difference[16];
            PhaseAccumulator walk = acc;
            for (int j = 0; j < count; ++j) {
                walk.phase += increment;
                single[j] = plainReading(T, walk);
                PhaseAccumulator shifted = walk;
                shifted.phase += offset;
                const float frac = walk.fraction();
                const float y2 =
                    T[shifted.index()] * (1.0f - frac) + frac * T[(shifted.phase + shifted.indexStep) >> shifted.shift];
                difference[j] = single[j] - y2;
            }
            const std::size_t bytes = sizeof(float) * static_cast<std::size_t>(count);
            float out[16];
            ASSERT_EQ(TableReader::read(T.data(), acc, increment, count, out), walk.phase);
            ASSERT_EQ(std::memcmp(out, single, bytes), 0) << bits << " " << round;
            ASSERT_EQ(TableReader::readDifference(T.data(), acc, increment, offset, count, out), walk.phase);
            ASSERT_EQ(std::memcmp(out, difference, bytes), 0) << bits << " " << round;
        }
    }
}

AT_LEVELS(TableReaders, InstructionSet::Scalar, InstructionSet::Avx2);
