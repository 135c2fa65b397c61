// What a host saves with a song brings the instrument back exactly: the
// whole bank (32 programs with names and bends), the current program and the
// parameters, so that a second instance sounds the same. A damaged state
// never crashes: its valid part applies, as the engine's chunks always did.
// The host's preset lists (LV2 presets, the VST3 program list) hold the
// factory programs, and each sounds as that program of the factory bank
// sounds in the VST 2.4 edition, bends included.

#include "support/Editions.h"
#include "support/SongRender.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr int kBlock = 256;

// A saved state with its bank exchanged for another.
std::vector<uint8_t> withBank(const std::vector<uint8_t>& state, const std::string& oldBank, const std::string& newBank)
{
    const std::vector<uint8_t> changed = replacedInState(state, oldBank, newBank);
    EXPECT_NE(changed, state) << "the saved state does not hold the bank as text";
    return changed;
}

// Held notes long enough for the factory programs' bends to play, and a chord.
TarvelHost::MidiFile phrase()
{
    const std::vector<uint8_t> bytes = {'M',  'T',  'h',  'd', 0,    0,    0,  6,  0,    0,    0,    1,    1,
                                        0xE0, // 480 ticks a quarter, 120 BPM
                                        'M',  'T',  'r',  'k', 0,    0,    0,  36, 0x00, 0x90, 57,   100, // A3
                                        0x83, 0x60, 0x90, 64,  80, // E4 after a quarter
                                        0x00, 0x90, 69,   90,      // A4
                                        0x87, 0x40, 0x80, 57,  0,  // after a half note all off
                                        0x00, 0x80, 64,   0,   0x00, 0x80, 69, 0,  0x83, 0x60, 0xFF, 0x2F, 0x00};
    return TarvelHost::MidiFile::parse(bytes.data(), bytes.size());
}

} // namespace

class EditionState : public ::testing::TestWithParam<Edition> {
protected:
    void SetUp() override
    {
        plugin = started(GetParam().load(), kBlock);
        ASSERT_TRUE(plugin && plugin->error.empty()) << (plugin ? plugin->error : "not built");
    }
    // The instance with the factory bank, loaded through a saved state whose
    // bank was exchanged; then the host is given the current program's
    // values, as a host that restored a consistent song would have them.
    void prepareRichState()
    {
        const std::vector<uint8_t> saved = plugin->saveState();
        ASSERT_FALSE(saved.empty());
        const std::string fresh = plugin->stateValue("bank");
        ASSERT_FALSE(fresh.empty());
        ASSERT_TRUE(plugin->loadState(withBank(saved, fresh, encodeBase64(factoryBankChunk()))));
        const std::vector<uint8_t> bank = plugin->bank();
        ASSERT_NE(std::string(bank.begin(), bank.end()).find("Swell Pad"), std::string::npos);
        auto engine = started(loadVst2(TARVEL_PLUGIN_PATH), kBlock);
        engine->loadState(bank);
        for (int i = 0; i < 56; ++i)
            plugin->setParameter(i, engine->parameter(i));
        renderSong(*plugin, phrase(), 44100, kBlock, 0.0);
        ASSERT_EQ(plugin->bank(), bank);
    }
    std::unique_ptr<PluginUnderTest> plugin;
};

TEST_P(EditionState, SavedStateBringsBackBankProgramAndParametersInANewInstance)
{
    prepareRichState();
    // Program 5 current: from the host's program list, or from a state where
    // the format has none.
    if (!plugin->choosePreset(5)) {
        ASSERT_TRUE(plugin->loadState(withProgram(plugin->saveState(), 5)));
    }
    ASSERT_EQ(plugin->stateValue("program"), "5");
    // Values with every bit of a float used, the first parameter among them
    // (a VST3 host must be able to write it).
    const std::pair<int, float> changes[] = {{0, 0.123456789f}, {27, 0.3752f}, {55, 0.9876543f}, {9, 1.0f / 3.0f}};
    for (auto [index, value] : changes)
        plugin->setParameter(index, value);
    EXPECT_EQ(plugin->error, "");
    renderSong(*plugin, phrase(), 44100, kBlock, 0.1);
    const std::vector<uint8_t> state = plugin->saveState();
    const std::vector<uint8_t> bank = plugin->bank();

    auto restored = started(GetParam().load(), kBlock);
    ASSERT_TRUE(restored->loadState(state));
    EXPECT_EQ(restored->bank(), bank);
    EXPECT_EQ(restored->stateValue("program"), plugin->stateValue("program"));
    for (auto [index, value] : changes)
        EXPECT_EQ(restored->parameter(index), value) << "parameter " << index;
    // Restored, the program sounds as the engine with the same bank does.
    auto reference = started(loadVst2(TARVEL_PLUGIN_PATH), kBlock);
    reference->loadState(bank);
    reference->choosePreset(5);
    const Rendered expected = renderSong(*reference, phrase(), 44100, kBlock);
    EXPECT_EQ(differingSamples(expected, renderSong(*restored, phrase(), 44100, kBlock)), 0);
    // The bank in the state is the one changed by the host, not the factory's.
    EXPECT_NE(bank, factoryBankChunk());
}

TEST_P(EditionState, DamagedStateAppliesItsValidPartAndNeverCrashes)
{
    prepareRichState();
    const std::vector<uint8_t> good = plugin->saveState();
    const std::string fullBank = plugin->stateValue("bank");

    // The bank cut off in the middle of a program, and garbage after a valid
    // start, both within the factory's named programs: the engine's own reader of a chunk with the same bytes sets the
    // expectation (the VST 2.4 edition applies exactly the valid part).
    const std::string damaged[] = {fullBank.substr(0, fullBank.size() / 5),
                                   fullBank.substr(0, 9000) + "!!garbage%%" + fullBank.substr(9000)};
    for (const std::string& bank : damaged) {
        auto fresh = started(GetParam().load(), kBlock);
        fresh->loadState(withBank(good, fullBank, bank));
        // The engine reads the same bytes, then the host restores the saved
        // parameter values into the current program.
        auto reference = started(loadVst2(TARVEL_PLUGIN_PATH), kBlock);
        reference->loadState(decodeBase64(bank));
        for (int i = 0; i < 56; ++i)
            reference->setParameter(i, plugin->parameter(i));
        EXPECT_EQ(fresh->bank(), reference->bank());
        EXPECT_NE(fresh->bank(), plugin->bank());
    }

    // Random bytes and truncated states of every length class.
    std::mt19937 random(21);
    std::vector<std::vector<uint8_t>> junk = {{}, {0}, std::vector<uint8_t>(good.begin(), good.begin() + 40)};
    for (int i = 0; i < 4; ++i) {
        std::vector<uint8_t> bytes = good;
        for (int j = 0; j < 200; ++j)
            bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        junk.push_back(bytes);
        junk.push_back(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(random() % good.size())));
    }
    for (const auto& bytes : junk) {
        auto fresh = started(GetParam().load(), kBlock);
        fresh->loadState(bytes);
        Rendered sound = renderSong(*fresh, phrase(), 44100, kBlock, 0.1);
        EXPECT_EQ(sound.left.size(), sound.right.size());
        EXPECT_EQ(fresh->bank().size() >= 12, true);
    }
}

INSTANTIATE_TEST_SUITE_P(Editions, EditionState, ::testing::Values(kLv2, kClap, kVst3), editionName);

class EditionPresets : public ::testing::TestWithParam<Edition> {};

TEST_P(EditionPresets, EveryPresetSoundsLikeThatProgramOfTheFactoryBank)
{
    const std::vector<uint8_t> factory = factoryBankChunk();
    // A bank without any bend takes 42156 bytes: this one holds some.
    ASSERT_GT(factory.size(), 42156u) << "no factory program has a bend: the test would not see bends";
    auto names = started(loadVst2(TARVEL_PLUGIN_PATH), kBlock);
    names->loadState(factory);
    auto lister = started(GetParam().load(), kBlock);
    ASSERT_TRUE(lister && lister->error.empty());
    const std::vector<std::string> presets = lister->presets();
    ASSERT_EQ(presets.size(), 32u);
    for (int i = 0; i < 32; ++i) {
        SCOPED_TRACE("preset " + std::to_string(i));
        EXPECT_EQ(presets[static_cast<std::size_t>(i)], names->presets()[static_cast<std::size_t>(i)]);
        auto edition = started(GetParam().load(), kBlock);
        ASSERT_TRUE(edition->choosePreset(i));
        auto reference = started(loadVst2(TARVEL_PLUGIN_PATH), kBlock);
        reference->loadState(factory);
        ASSERT_TRUE(reference->choosePreset(i));
        const Rendered expected = renderSong(*reference, phrase(), 44100, kBlock);
        EXPECT_EQ(differingSamples(expected, renderSong(*edition, phrase(), 44100, kBlock)), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Editions, EditionPresets, ::testing::Values(kLv2, kVst3), editionName);

// A host's write that comes right after it restored a preset, before the
// plug-in runs again, reaches the engine even when it sets a parameter back
// to the value it had before the preset (automation does exactly this when
// a preset is chosen while a song plays).
TEST(Lv2Presets, AWriteRightAfterAPresetReachesTheEngineWhateverItsValue)
{
    auto reader = started(loadVst2(TARVEL_PLUGIN_PATH), kBlock);
    reader->loadState(factoryBankChunk());
    auto valueIn = [&](int program, int index) {
        reader->choosePreset(program);
        return reader->parameter(index);
    };
    std::vector<float> left(kBlock), right(kBlock);
    const VstEvents none{};
    const VstTimeInfo time{};
    int checked = 0;
    // Every parameter where the first two factory programs differ.
    for (int index = 0; index < 56; ++index) {
        const float before = valueIn(0, index);
        if (before == valueIn(1, index))
            continue;
        SCOPED_TRACE("parameter " + std::to_string(index));
        auto lv2 = started(kLv2.load(), kBlock);
        ASSERT_TRUE(lv2 && lv2->error.empty());
        ASSERT_TRUE(lv2->choosePreset(0));
        lv2->process(&none, time, left.data(), right.data(), kBlock);
        ASSERT_EQ(lv2->parameter(index), before);
        ASSERT_TRUE(lv2->choosePreset(1));
        lv2->setParameter(index, before);
        lv2->process(&none, time, left.data(), right.data(), kBlock);
        reader->loadState(lv2->bank());
        EXPECT_EQ(valueIn(std::stoi(lv2->stateValue("program")), index), before);
        ++checked;
    }
    EXPECT_GT(checked, 5);
}
