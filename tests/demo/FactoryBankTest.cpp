// The factory bank loaded into the plug-in through the ABI, as a host that
// restores a saved bank does: names, values and bends all arrive, and every
// program plays a chord audibly and without clipping.

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

double rms(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += double(x[i]) * x[i];
    return std::sqrt(sum / double(to - from));
}

// Mean square of the first difference over the mean square: rises with the
// share of high frequencies in the signal.
double brightness(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    double diff = 0.0, level = 0.0;
    for (std::size_t i = from + 1; i < to; ++i) {
        diff += double(x[i] - x[i - 1]) * (x[i] - x[i - 1]);
        level += double(x[i]) * x[i];
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

TEST_F(FactoryBankTest, EveryProgramLoadsBackWithItsName)
{
    const auto& names = FactoryBank::names();
    ASSERT_GE(names.size(), 8u);
    for (int i = 0; i < 32; ++i) {
        char text[64] = {};
        EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, i, 0, text), 1);
        const std::string expected = i < int(names.size()) ? names[std::size_t(i)] : "-- empty --";
        EXPECT_EQ(std::string(text), expected) << "program " << i;
    }
    // The plug-in keeps the whole bank: what it hands back is what it got.
    EXPECT_EQ(chunk(false), bank.chunk);
}

TEST_F(FactoryBankTest, BendsArriveWhereTheyWereRecorded)
{
    int bent = 0;
    for (int i = 0; i < int(FactoryBank::names().size()); ++i) {
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
    host.dispatch(effSetProgram, 0, 1);
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

TEST_F(FactoryBankTest, EveryProgramPlaysAFiveNoteChordAudiblyWithoutClipping)
{
    // The densest moment of the demo song: a chord, a low bass note and the lead.
    const std::vector<int> notes = {33, 57, 60, 64, 69};
    for (int i = 0; i < int(FactoryBank::names().size()); ++i) {
        TestHost fresh;
        ASSERT_TRUE(fresh.start(float(kRate), 512));
        fresh.dispatch(effSetChunk, 0, VstIntPtr(bank.chunk.size()), bank.chunk.data());
        fresh.dispatch(effSetProgram, 0, i);
        fresh.render(512); // the smoothed controls settle on the program before the notes start
        for (int n : notes)
            fresh.noteOn(n, 100);
        const std::vector<float> out = fresh.render(kRate);
        float peak = 0.0f;
        for (float v : out) {
            ASSERT_TRUE(std::isfinite(v));
            peak = std::max(peak, std::fabs(v));
        }
        const double level = rms(out, 0, out.size());
        EXPECT_LT(peak, 1.0f) << FactoryBank::names()[std::size_t(i)];
        EXPECT_GT(20 * std::log10(level), -30.0) << FactoryBank::names()[std::size_t(i)];
        fresh.close();
    }
}
