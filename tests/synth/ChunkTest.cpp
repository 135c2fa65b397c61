#include "SynthFixture.h"
#include "tests/support/ChunkBuilder.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::vector<uint8_t> chunkOf(Synth& synth, bool preset)
{
    void* data = nullptr;
    const VstInt32 size = synth.getChunk(&data, preset);
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

uint32_t be32(const std::vector<uint8_t>& b, std::size_t at)
{
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
}

} // namespace

using Chunks = SynthFixture;

TEST_F(Chunks, FreshBankLayout)
{
    std::vector<uint8_t> bank = chunkOf(*synth, false);
    ASSERT_EQ(bank.size(), 42156u);
    EXPECT_EQ(std::string(bank.begin(), bank.begin() + 4), "vqbk");
    EXPECT_EQ(be32(bank, 4), 1u);
    EXPECT_EQ(be32(bank, 8), 32u);
    for (int p = 0; p < 32; ++p) {
        const std::size_t at = 12 + std::size_t(p) * 1317;
        EXPECT_EQ(std::string(bank.begin() + long(at), bank.begin() + long(at) + 4), "vqps");
        EXPECT_EQ(be32(bank, at + 8), 56u);
        char name[33] = {};
        std::memcpy(name, &bank[at + 12], 32);
        EXPECT_STREQ(name, "-- empty --");
        for (int i = 11; i < 32; ++i)
            EXPECT_EQ(name[i], 0);
    }
    std::vector<uint8_t> program = chunkOf(*synth, true);
    EXPECT_EQ(program.size(), 1317u);
    // The third entry, "AmpEnvSustain" at 1 without a bend.
    const std::size_t sustain = 44 + (12 + 12) + (12 + 11);
    const uint8_t expected[] = {0, 0, 0, 13, 0, 0, 0, 0, 0, 0, 0x80, 0x3F};
    EXPECT_EQ(std::memcmp(&program[sustain], expected, sizeof expected), 0);
    EXPECT_EQ(std::string(program.begin() + long(sustain) + 12, program.begin() + long(sustain) + 25), "AmpEnvSustain");
}

TEST_F(Chunks, RandomisedBankWithBendsSurvivesARoundTrip)
{
    for (int p = 0; p < 32; p += 3) {
        synth->setProgram(p);
        synth->randomise();
        std::string name = "prog " + std::to_string(p);
        synth->setProgramName(name.data());
        synth->armBend();
        for (int k = 0; k < p + 2; ++k)
            synth->setParameter(p % 56, float(k) * 0.01f);
        synth->setParameter(54, std::nanf(""));
        synth->disarmBend();
    }
    synth->setProgram(3);
    std::vector<uint8_t> bank = chunkOf(*synth, false);

    Synth fresh(fixtureHost);
    fresh.setChunk(bank.data(), static_cast<VstInt32>(bank.size()), false);
    EXPECT_EQ(fresh.getProgram(), 0);
    for (int p = 0; p < 32; ++p) {
        synth->setProgram(p);
        fresh.setProgram(p);
        EXPECT_STREQ(fresh.program(p).name, synth->program(p).name);
        EXPECT_EQ(std::memcmp(fresh.program(p).name, synth->program(p).name, 33), 0);
        for (int i = 0; i < 56; ++i) {
            const float a = synth->getParameter(i), b = fresh.getParameter(i);
            EXPECT_EQ(std::memcmp(&a, &b, 4), 0) << p << "/" << i;
            auto pa = synth->bendPoints(i), pb = fresh.bendPoints(i);
            ASSERT_EQ(pa.size(), pb.size());
            // An empty list's data() may be null, which memcmp must not get.
            EXPECT_TRUE(pa.empty() || std::memcmp(pa.data(), pb.data(), pa.size() * sizeof(BendPoint)) == 0);
        }
    }
    EXPECT_EQ(chunkOf(fresh, false), bank);
}

TEST_F(Chunks, ProgramChunkMatchesByNameAndSkipsUnknownEntries)
{
    ChunkBuilder b;
    b.header("vqps", 3, "reordered");
    b.entry("DelayTime", 0.9f);
    b.entry("NoSuchThing", 0.5f, {{2, 1}, {4, 3}, {6, 5}});
    b.entry("AmpEnvAttack", 0.125f, {{0.25f, 0.5f}});
    synth->setProgram(7);
    synth->setChunk(b.out.data(), static_cast<VstInt32>(b.out.size()), true);
    EXPECT_EQ(synth->getProgram(), 7);
    EXPECT_EQ(synth->getParameter(54), 0.9f);
    EXPECT_EQ(synth->getParameter(0), 0.125f);
    auto points = synth->bendPoints(0);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].value, 0.5f);
    EXPECT_EQ(points[0].time, 0.25f);
    EXPECT_EQ(synth->getParameter(27), 1.0f); // not mentioned: unchanged
    char name[64];
    synth->getProgramName(name);
    EXPECT_STREQ(name, "reordered");
}

TEST_F(Chunks, ShortBankLeavesTheRestOfTheStore)
{
    synth->setProgram(5);
    synth->setParameter(27, 0.3f);
    ChunkBuilder b;
    b.bank(2);
    b.header("vqps", 1, "first");
    b.entry("FilterCutoff", 0.1f);
    b.header("vqps", 1, "second");
    b.entry("FilterCutoff", 0.2f);
    synth->setChunk(b.out.data(), static_cast<VstInt32>(b.out.size()), false);
    EXPECT_EQ(synth->getProgram(), 5);
    EXPECT_EQ(synth->getParameter(27), 0.3f);
    synth->setProgram(0);
    EXPECT_EQ(synth->getParameter(27), 0.1f);
    synth->setProgram(1);
    EXPECT_EQ(synth->getParameter(27), 0.2f);
    EXPECT_STREQ(synth->program(1).name, "second");
}

TEST_F(Chunks, DamagedChunksApplyOnlyWhatIsComplete)
{
    ChunkBuilder b;
    b.header("vqps", 4000000000u, "damaged");
    b.entry("FilterCutoff", 0.1f);
    b.entry("DelayTime", 0.7f, {{0.2f, 0.1f}, {0.4f, 0.3f}});
    const std::size_t full = b.out.size();
    synth->armBend();
    synth->setParameter(54, 0.6f); // a bend the damaged entry must not destroy
    synth->disarmBend();
    // Cut inside the second entry's points: the first applies, the second not.
    synth->setChunk(b.out.data(), static_cast<VstInt32>(full - 3), true);
    EXPECT_EQ(synth->getParameter(27), 0.1f);
    EXPECT_EQ(synth->getParameter(54), 0.6f);
    EXPECT_EQ(synth->bendPoints(54).size(), 1u);
    // Every possible truncation and huge counts are read safely.
    for (std::size_t cut = 0; cut <= full; ++cut)
        synth->setChunk(b.out.data(), static_cast<VstInt32>(cut), true);
    ChunkBuilder huge;
    huge.header("vqps", 1);
    huge.be(0xFFFFFFFFu);
    huge.be(0xFFFFFFFFu);
    huge.f(1.0f);
    synth->setChunk(huge.out.data(), static_cast<VstInt32>(huge.out.size()), true);
    ChunkBuilder bank;
    bank.bank(0xFFFFFFFFu);
    synth->setChunk(bank.out.data(), static_cast<VstInt32>(bank.out.size()), false);
    synth->setChunk(nullptr, 100, false);
    EXPECT_EQ(synth->getParameter(27), 0.1f);
}

TEST_F(Chunks, RandomBytesNeverBreakTheStore)
{
    std::mt19937 rng(7);
    std::vector<uint8_t> good = chunkOf(*synth, false);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = good;
        for (int k = 0; k < 20; ++k)
            bytes[rng() % bytes.size()] = uint8_t(rng());
        bytes.resize(rng() % bytes.size());
        synth->setChunk(bytes.data(), static_cast<VstInt32>(bytes.size()), round % 2 == 0);
    }
    EXPECT_GT(chunkOf(*synth, false).size(), 12u);
}

TEST_F(Chunks, HostileValuesAndBendsLoadAsTheyAreAndSoundFinite)
{
    // NaN (with a payload, and negative), infinities, 1e30 and 2.0 as
    // stored values and as bend points: the first six programs hold one of
    // them in every parameter, the others a mixture.
    uint32_t payload = 0x7fc12345u, negative = 0xffc00001u;
    float nan, negativeNan;
    std::memcpy(&nan, &payload, 4);
    std::memcpy(&negativeNan, &negative, 4);
    const float inf = std::numeric_limits<float>::infinity();
    const float hostile[] = {nan, inf, -inf, 1e30f, -1e30f, 2.0f, negativeNan};
    const int kinds = sizeof hostile / sizeof hostile[0];
    ChunkBuilder b;
    b.bank(32);
    for (int p = 0; p < 32; ++p) {
        b.header("vqps", 56, ("hostile " + std::to_string(p)).c_str());
        for (int i = 0; i < 56; ++i) {
            const auto pick = [&](int k) { return hostile[(p < kinds ? p : p + i + k) % kinds]; };
            b.entry(synth->parameter(i).name, pick(0), {{0.0f, pick(1)}, {0.05f, pick(2)}, {0.1f, pick(3)}});
        }
    }
    synth->setChunk(b.out.data(), static_cast<VstInt32>(b.out.size()), false);

    synth->setSampleRate(44100.0f);
    for (int p = 0; p < 32; ++p) {
        synth->setProgram(p);
        synth->noteOn(48, 100);
        synth->noteOn(55, 80);
        std::vector<float> out = render(11025); // the bends play through
        synth->noteOff(48);
        synth->noteOff(55);
        const std::vector<float> tail = render(4410);
        out.insert(out.end(), tail.begin(), tail.end());
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_TRUE(std::isfinite(out[i])) << "program " << p << " sample " << i;
    }
    // Nothing was clamped in the store: the bank saved back is the bank
    // that was loaded, byte for byte.
    EXPECT_EQ(chunkOf(*synth, false), b.out);
}
