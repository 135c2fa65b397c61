// The factory bank loaded into the plug-in through the ABI, as a host that
// restores a saved bank does: names, values and bends all arrive, and a
// recorded bend is heard. How every program sounds is FactoryBankSoundTest's.

#include "FactoryBank.h"
#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRate = 44100;

class FactoryBankTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bank = FactoryBank::load();
        ASSERT_TRUE(host.start(float(kRate), 512)) << host.error;
        ASSERT_EQ(host.dispatch(effSetChunk, 0, VstIntPtr(bank.chunk.size()), bank.chunk.data()), 1);
    }

    std::vector<uint8_t> chunk(bool program)
    {
        void* data = nullptr;
        const VstIntPtr size = host.dispatch(effGetChunk, program ? 1 : 0, 0, &data);
        const auto* bytes = static_cast<const uint8_t*>(data);
        return std::vector<uint8_t>(bytes, bytes + size);
    }

    // Plays notes from silence for `seconds` (released after two thirds of it).
    std::vector<float> play(const std::vector<int>& notes, double seconds)
    {
        const int frames = int(seconds * kRate), held = frames * 2 / 3;
        for (int n : notes)
            host.noteOn(n, 100);
        std::vector<float> out = host.render(held);
        for (int n : notes)
            host.noteOff(n);
        std::vector<float> rest = host.render(frames - held);
        out.insert(out.end(), rest.begin(), rest.end());
        return out;
    }

    TarvelHost::FxBank bank;
    TestHost host;
};

// Mean square of the first difference over the mean square: rises with the
// share of high frequencies in the signal.
double brightness(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    double diff = 0.0, level = 0.0;
    for (std::size_t i = from + 1; i < to; ++i) {
        const double step = double(x[i] - x[i - 1]);
        diff += step * step;
        level += double(x[i]) * double(x[i]);
    }
    return diff / level;
}

} // namespace

TEST_F(FactoryBankTest, ContainerIsAChunkBankForThisPlugin)
{
    EXPECT_TRUE(bank.opaque);
    EXPECT_EQ(bank.fxID, host.effect->uniqueID);
    EXPECT_EQ(bank.fxVersion, host.effect->version);
    EXPECT_EQ(bank.numPrograms, 32);
    EXPECT_EQ(bank.currentProgram, 0);
    ASSERT_GE(bank.chunk.size(), 12u);
    EXPECT_EQ(std::string(bank.chunk.begin(), bank.chunk.begin() + 4), "vqbk");
}

TEST_F(FactoryBankTest, EveryProgramLoadsBackWithTheNameOnItsSheet)
{
    const std::vector<FactoryBank::SheetEntry> sheet = FactoryBank::sheet();
    ASSERT_EQ(sheet.size(), 32u);
    for (int i = 0; i < 32; ++i) {
        char text[64] = {};
        EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, i, 0, text), 1);
        EXPECT_EQ(sheet[std::size_t(i)].slot, i);
        EXPECT_EQ(std::string(text), sheet[std::size_t(i)].name) << "program " << i;
    }
    // The plug-in keeps the whole bank: what it hands back is what it got.
    EXPECT_EQ(chunk(false), bank.chunk);
}

TEST_F(FactoryBankTest, BendsArriveWhereTheyWereRecorded)
{
    int bent = 0;
    for (int i = 0; i < 32; ++i) {
        host.dispatch(effSetProgram, 0, i);
        std::size_t at = 0;
        const FactoryBank::Program program = FactoryBank::parseProgram(chunk(true), at);
        ASSERT_EQ(program.entries.size(), 56u);
        for (const auto& e : program.entries) {
            if (e.bend.empty())
                continue;
            ++bent;
            // A recorded knob motion: times rising from the note's start,
            // values within the knob's range.
            EXPECT_GE(e.bend.size(), 10u) << program.name << " " << e.name;
            EXPECT_GE(e.bend.front().first, 0.0f);
            for (std::size_t p = 1; p < e.bend.size(); ++p)
                EXPECT_GT(e.bend[p].first, e.bend[p - 1].first) << program.name << " " << e.name << " point " << p;
            for (const auto& point : e.bend) {
                EXPECT_GE(point.second, 0.0f);
                EXPECT_LE(point.second, 1.0f);
            }
        }
    }
    EXPECT_GE(bent, 1);
}

TEST_F(FactoryBankTest, TheSwellPadBendOpensTheFilterWhileANotePlays)
{
    int slot = 0;
    for (const FactoryBank::SheetEntry& e : FactoryBank::sheet())
        if (e.name == "Swell Pad")
            slot = e.slot;
    host.dispatch(effSetProgram, 0, slot);
    std::size_t at = 0;
    FactoryBank::Program program = FactoryBank::parseProgram(chunk(true), at);
    ASSERT_EQ(program.name, "Swell Pad");
    const std::vector<float> bent = play({57, 60, 64}, 2.4);

    // The same program without its recorded motion.
    for (auto& e : program.entries)
        e.bend.clear();
    const std::vector<uint8_t> plain = FactoryBank::writeProgram(program);
    host.dispatch(effSetChunk, 1, VstIntPtr(plain.size()), const_cast<uint8_t*>(plain.data()));
    host.render(kRate); // let the echoes of the first chord die down
    const std::vector<float> still = play({57, 60, 64}, 2.4);

    // Around 1.2 s the bend has the cutoff three times as high as stored.
    const std::size_t from = kRate, to = kRate * 14 / 10;
    EXPECT_GT(brightness(bent, from, to), 3.0 * brightness(still, from, to));
}
