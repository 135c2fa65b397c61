// The program store on its own: chunks that carry every name, value and
// bend across parameter sets, and the rule that keeps a bend's replaced
// storage alive for as long as the audio thread may read it.

#include "plugin/ProgramStore.h"
#include "Parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

void fillRandomly(ProgramStore& store, std::minstd_rand& rng)
{
    const float odd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -1e30f, 2.0f,
                         -0.0f};
    for (int p = 0; p < ProgramStore::kProgramCount; ++p) {
        store.select(p);
        std::string name;
        const int length = static_cast<int>(rng() % 40); // up to beyond the 32 bytes kept
        for (int c = 0; c < length; ++c)
            name.push_back(static_cast<char>('a' + rng() % 26));
        store.setName(name.c_str());
        for (int i = 0; i < store.parameterCount(); ++i) {
            store.setValue(i, rng() % 8 == 0 ? odd[rng() % 5] : static_cast<float>(rng() % 1000) / 999.0f);
            const int points = rng() % 3 == 0 ? static_cast<int>(rng() % 200) : 0; // beyond one buffer's 64
            const ProgramStore::Lock held = store.lock();
            for (int k = 0; k < points; ++k)
                store.appendBendPoint(i, {static_cast<float>(k) * 0.01f, static_cast<float>(rng() % 100) / 99.0f},
                                      held);
        }
    }
}

uint32_t bits(float value)
{
    uint32_t u;
    std::memcpy(&u, &value, sizeof u);
    return u;
}

// Program `p` of `to` holds what program `p` of `from` holds, for every
// parameter whose name both stores know.
void expectSameProgram(ProgramStore& from, int p, ProgramStore& to, int q, const Vorn::Effect& fromNames,
                       const Vorn::Effect& toNames)
{
    EXPECT_EQ(std::memcmp(from.program(p).name, to.program(q).name, Program::kNameSize + 1), 0) << p;
    for (int i = 0; i < fromNames.parameterCount(); ++i) {
        const int j = toNames.findParameter(fromNames.parameter(i).name.c_str());
        if (j < 0)
            continue;
        from.select(p);
        to.select(q);
        EXPECT_EQ(bits(from.value(i)), bits(to.value(j))) << p << " " << i;
        const std::vector<BendPoint> a = from.bendPoints(i), b = to.bendPoints(j);
        ASSERT_EQ(a.size(), b.size()) << p << " " << i;
        for (std::size_t k = 0; k < a.size(); ++k)
            EXPECT_TRUE(bits(a[k].time) == bits(b[k].time) && bits(a[k].value) == bits(b[k].value)) << k;
    }
}

} // namespace

// A bank saved by one build loads into a build whose parameters were
// renamed, reordered or added: every parameter known to both comes across
// exactly, the others keep what they held, and saving again gives the same
// bytes.
TEST(ProgramStore, ChunksCarryEverythingByNameAcrossParameterSets)
{
    for (unsigned seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        std::minstd_rand rng(seed);
        Parameters oldNames{"FilterCutoff", "AmplifierGain", "SaturatorDrive", "Gone"};
        Parameters newNames{"AmplifierGain", "Added", "FilterCutoff", "SaturatorDrive"};
        ProgramStore saved(oldNames), loaded(newNames), again(oldNames);
        fillRandomly(saved, rng);

        const std::vector<uint8_t> bank = saved.saveChunk(false);
        loaded.loadChunk(bank.data(), bank.size(), false);
        again.loadChunk(bank.data(), bank.size(), false);
        EXPECT_EQ(again.saveChunk(false), bank) << "a round trip is lossless to the byte";
        for (int p = 0; p < ProgramStore::kProgramCount; ++p) {
            expectSameProgram(saved, p, loaded, p, oldNames, newNames);
            loaded.select(p);
            EXPECT_EQ(loaded.value(1), 0.5f) << "a parameter the chunk does not name keeps its value";
            EXPECT_FALSE(loaded.hasBend(1));
        }

        // One program goes into the current one, and only there.
        const std::vector<uint8_t> before = loaded.saveChunk(false);
        saved.select(7);
        const std::vector<uint8_t> preset = saved.saveChunk(true);
        loaded.select(3);
        loaded.loadChunk(preset.data(), preset.size(), true);
        expectSameProgram(saved, 7, loaded, 3, oldNames, newNames);
        ProgramStore untouched(newNames);
        untouched.loadChunk(before.data(), before.size(), false);
        for (int p = 0; p < ProgramStore::kProgramCount; ++p)
            if (p != 3)
                expectSameProgram(untouched, p, loaded, p, newNames, newNames);
    }
}

// A bend that outgrows its buffer moves to a larger one. The old buffer is
// freed at once when no block is running; otherwise not before that block
// has ended, for the audio thread may still be reading it.
TEST(ProgramStore, ReplacedBendStorageOutlivesTheBlockThatMayReadIt)
{
    Parameters names{"Cutoff"};
    ProgramStore store(names);
    int appended = 0;
    // Buffers hold 64, 128, 256... points: the 65th, 129th... point moves
    // the bend to a new one.
    auto appendUpTo = [&](int total) {
        const ProgramStore::Lock held = store.lock();
        for (; appended < total; ++appended)
            store.appendBendPoint(0, {static_cast<float>(appended), static_cast<float>(appended) * 0.5f}, held);
    };
    appendUpTo(65); // one buffer replaced while no block runs
    EXPECT_EQ(store.retiredBuffers(), 0u);

    store.enterBlock();
    const BendList::View reading = store.current().param(0).bend.view(); // the audio thread's view
    appendUpTo(129);
    appendUpTo(257);
    EXPECT_EQ(store.retiredBuffers(), 2u) << "both buffers replaced during the block are kept";
    for (int i = 0; i < reading.count; ++i) {
        const BendPoint point = reading.at(i);
        ASSERT_TRUE(point.time == static_cast<float>(i) && point.value == static_cast<float>(i) * 0.5f) << i;
    }
    store.leaveBlock();

    store.enterBlock(); // the next block reads only the newest buffer
    appendUpTo(513);
    EXPECT_EQ(store.retiredBuffers(), 1u) << "the earlier block's buffers are freed, this block's is kept";
    store.leaveBlock();
    appendUpTo(1025);
    EXPECT_EQ(store.retiredBuffers(), 0u);
    EXPECT_EQ(store.bendPoints(0).size(), static_cast<std::size_t>(appended));
}
