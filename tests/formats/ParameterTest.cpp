// Every edition shows the host the engine's 56 parameters as the engine
// knows them: full names (a host shows "PhaserModDepth", where a VST 2.4
// host shows "PhaserMo"), stable identifiers, the range 0 to 1, the
// engine's defaults, automatable; and, where the format carries display
// texts, the engine's own ("0.20s", "LP", "2.5hz"). LV2 carries names only
// for chosen values: the waves, filter modes and switches name theirs.

#include "support/Editions.h"

#include "plugin/Synth.h"

#include <gtest/gtest.h>

class EditionParameters : public ::testing::TestWithParam<Edition> {};

TEST_P(EditionParameters, AreTheEnginesWithFullNamesDefaultsAndDisplayTexts)
{
    auto plugin = started(GetParam().load(), 512);
    ASSERT_TRUE(plugin && plugin->error.empty()) << (plugin ? plugin->error : "not built");
    auto reference = started(loadVst2(TARVEL_PLUGIN_PATH), 512);
    const Synth engine(nullptr);
    const std::vector<PluginUnderTest::ParameterInfo> info = plugin->parameterInfo();
    ASSERT_EQ(info.size(), 56u);
    const bool carriesTexts = !plugin->parameterText(0, 0.5f).empty();
    int longNames = 0;
    int scalePoints = 0;
    for (int i = 0; i < 56; ++i) {
        SCOPED_TRACE("parameter " + std::to_string(i));
        const PluginUnderTest::ParameterInfo& p = info[static_cast<std::size_t>(i)];
        char name[256] = {};
        engine.copyParameterName(i, name, sizeof name);
        EXPECT_EQ(p.name, name);
        longNames += p.name.size() > 8 ? 1 : 0;
        EXPECT_EQ(p.minimum, 0.0f);
        EXPECT_EQ(p.maximum, 1.0f);
        EXPECT_EQ(p.defaultValue, engine.defaultValue(i));
        EXPECT_TRUE(p.automatable);
        for (const auto& [value, label] : p.scalePoints) {
            EXPECT_EQ(label, reference->parameterText(i, value)) << "value " << value;
            ++scalePoints;
        }
        if (carriesTexts) {
            for (float value : {0.0f, 0.07f, 0.3f, 0.5f, 0.77f, 1.0f})
                EXPECT_EQ(plugin->parameterText(i, value), reference->parameterText(i, value)) << "value " << value;
        }
    }
    EXPECT_EQ(longNames, 46);
    if (GetParam().name == std::string("LV2")) {
        // Four waves of nine, a filter mode of four and four switches.
        EXPECT_EQ(scalePoints, 4 * 9 + 4 + 4 * 2);
    }
    // The identifiers a host saves with a song stay as they are: LV2 port
    // symbols and CLAP module paths are the full names, VST3 numbers count on
    // from the first parameter.
    for (int i = 0; i < 56; ++i) {
        const std::string& symbol = info[static_cast<std::size_t>(i)].symbol;
        if (GetParam().name == std::string("VST3")) {
            EXPECT_EQ(std::stoi(symbol), std::stoi(info[0].symbol) + i);
        } else {
            EXPECT_EQ(symbol, info[static_cast<std::size_t>(i)].name);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Editions, EditionParameters, ::testing::Values(kLv2, kClap, kVst3), editionName);
