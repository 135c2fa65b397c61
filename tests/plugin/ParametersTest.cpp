// The host's view of the 56 parameters and the 32 programs.

#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

struct Row {
    const char* hostName;
    float def;
};

// Host names (first 8 characters of the full names) and defaults, in order.
const Row kTable[56] = {
    {"AmpEnvAt", 0},     {"AmpEnvDe", 0},     {"AmpEnvSu", 1},      {"AmpEnvRe", 0},     {"ModEnvAt", 0},
    {"ModEnvDe", 0},     {"ModEnvSu", 1},     {"ModEnvRe", 0},      {"LFO1Rese", 0},     {"LFO1Spee", 0.1f},
    {"LFO1Sync", 0},     {"LFO1Wave", 0},     {"LFO2Rese", 0},      {"LFO2Spee", 0.1f},  {"LFO2Sync", 0},
    {"LFO2Wave", 0},     {"Osc1Coar", 0.5f},  {"Osc1Fine", 0.5f},   {"Osc1Posi", 0},     {"Osc1Wave", 0.25f},
    {"Osc2Coar", 0.5f},  {"Osc2Fine", 0.5f},  {"Osc2Posi", 0},      {"Osc2Wave", 0.25f}, {"MixerBal", 0},
    {"MixerRin", 0},     {"Saturato", 0},     {"FilterCu", 1},      {"FilterMo", 0},     {"FilterRe", 0.1f},
    {"Amplifie", 0.5f},  {"ModL1Cut", 0},     {"ModL1Bal", 0},      {"ModL2Pit", 0},     {"ModL2Pos", 0},
    {"ModMCuto", 0},     {"ModMLFOA", 0},     {"ModMBala", 0},      {"ModMPitc", 0},     {"ModMPosi", 0},
    {"ModMRing", 0},     {"DigiCrus", 0},     {"DigiRate", 0},      {"PhaserCe", 0.15f}, {"PhaserFe", 0.5f},
    {"PhaserMo", 0.25f}, {"PhaserMo", 0.25f}, {"PhaserWe", 0},      {"ChorusDe", 0.2f},  {"ChorusFe", 0},
    {"ChorusRa", 0.25f}, {"ChorusWe", 0},     {"DelayFee", 0.485f}, {"DelaySyn", 0},     {"DelayTim", 0.2f},
    {"DelayWet", 0},
};

class Parameters : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(host.start(), nullptr) << host.error; }
    TestHost host;
};

} // namespace

TEST_F(Parameters, TableOfNamesAndDefaults)
{
    ASSERT_EQ(host.effect->numParams, 56);
    for (int i = 0; i < 56; ++i) {
        EXPECT_EQ(host.parameterName(i), kTable[i].hostName) << i;
        EXPECT_EQ(host.getParameter(i), kTable[i].def) << i;
    }
}

TEST_F(Parameters, DisplayTextsFitTheHostsField)
{
    for (int i = 0; i < 56; ++i) {
        for (float v : {0.0f, 0.5f, 1.0f, std::nanf(""), -1.0f, 2.0f, INFINITY}) {
            host.setParameter(i, v);
            char text[64];
            std::memset(text, 'x', sizeof text);
            host.dispatch(effGetParamDisplay, i, 0, text);
            const std::size_t length = ::strnlen(text, sizeof text);
            EXPECT_GT(length, 0u) << i << " at " << v;
            EXPECT_LE(length, 8u) << i << " at " << v;
        }
    }
}

TEST_F(Parameters, StoredValueIsReadBackUnclampedAtOnce)
{
    host.setParameter(9, 0.7f);
    EXPECT_EQ(host.getParameter(9), 0.7f);
    host.setParameter(9, 3.5f);
    EXPECT_EQ(host.getParameter(9), 3.5f);
    host.setParameter(9, -1.0f);
    EXPECT_EQ(host.getParameter(9), -1.0f);
    EXPECT_EQ(host.getParameter(27), 1.0f);
    EXPECT_EQ(host.getParameter(52), 0.485f);
}

TEST_F(Parameters, IndicesOutsideTheTableAreIgnored)
{
    host.setParameter(56, 0.3f);
    host.setParameter(-1, 0.3f);
    host.setParameter(1 << 30, 0.3f);
    EXPECT_EQ(host.getParameter(56), 0.0f);
    EXPECT_EQ(host.getParameter(-7), 0.0f);
    EXPECT_EQ(host.parameterName(56), "");
    EXPECT_EQ(host.parameterDisplay(-1), "");
    for (int i = 0; i < 56; ++i)
        EXPECT_EQ(host.getParameter(i), kTable[i].def);
}

TEST_F(Parameters, ProgramsKeepTheirOwnValues)
{
    host.setParameter(27, 0.25f);
    host.dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(host.getParameter(27), 1.0f);
    host.setParameter(27, 0.75f);
    host.dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(host.getParameter(27), 0.25f);
    host.dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(host.getParameter(27), 0.75f);
}

TEST_F(Parameters, ProgramNamesStore32AndReturn24)
{
    EXPECT_EQ(host.programName(), "-- empty --");
    std::string forty = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    host.dispatch(effSetProgramName, 0, 0, forty.data());
    EXPECT_EQ(host.programName(), forty.substr(0, 24));
    char text[64];
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 0, 0, text), 1);
    EXPECT_EQ(std::string(text), forty.substr(0, 24));
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 31, 0, text), 1);
    EXPECT_STREQ(text, "-- empty --");
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 32, 0, text), 0);
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, -1, 0, text), 0);
}
