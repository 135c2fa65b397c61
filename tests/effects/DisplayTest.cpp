#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/Phaser.h"
#include "dsp/Redux.h"
#include "dsp/SyncDivisions.h"
#include "dsp/WaveTable.h"

#include "EffectRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

using namespace Vorn;
using namespace EffectsTest;

namespace {

struct Chain : GlobalChain {
    std::string text(const char* name, float value, std::size_t size = 32)
    {
        const int index = effect.findParameter(name);
        EXPECT_GE(index, 0) << name;
        if (index < 0)
            return {};
        Parameter& p = effect.parameter(index);
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        const int written = p.owner->format(&p.value, value, buffer, size);
        if (static_cast<std::size_t>(written) < size) {
            EXPECT_EQ(static_cast<std::size_t>(written), std::strlen(buffer)) << name;
        } else {
            EXPECT_EQ(std::strlen(buffer), size - 1) << name;
        }
        return buffer;
    }
};

} // namespace

TEST(EffectTexts, Redux)
{
    Chain c;
    EXPECT_EQ(c.text("DigiRate", 0.0f), "1x");
    EXPECT_EQ(c.text("DigiRate", 0.5f), "32x");
    EXPECT_EQ(c.text("DigiRate", 1.0f), "64x");
    EXPECT_EQ(c.text("DigiCrush", 0.0f), "off");
    EXPECT_EQ(c.text("DigiCrush", 0.01f), "31");
    EXPECT_EQ(c.text("DigiCrush", 1.0f), "4");
}

TEST(EffectTexts, PhaserAndChorus)
{
    Chain c;
    EXPECT_EQ(c.text("PhaserCenter", 0.15f), "0.15");
    EXPECT_EQ(c.text("PhaserFeedback", 0.25f), "25%");
    EXPECT_EQ(c.text("PhaserModDepth", 1.0f), "100%");
    EXPECT_EQ(c.text("PhaserWet", 0.0f), "0%");
    EXPECT_EQ(c.text("PhaserModRate", 0.25f), "0.25hz");
    EXPECT_EQ(c.text("PhaserModRate", 1.0f), "4.00hz");
    EXPECT_EQ(c.text("ChorusDepth", 0.2f), "20%");
    EXPECT_EQ(c.text("ChorusFeedback", 0.5f), "50%");
    EXPECT_EQ(c.text("ChorusRate", 0.25f), "2.5hz");
    EXPECT_EQ(c.text("ChorusWet", 1.0f), "100%");
}

TEST(EffectTexts, DelayShowsLiveSecondsOrTheDivision)
{
    Chain c;
    EXPECT_EQ(c.text("DelayFeedback", 0.485f), "48%");
    EXPECT_EQ(c.text("DelayWet", 0.25f), "25%");
    EXPECT_EQ(c.text("DelaySync", 1.0f), "1.00");
    // Free time shows the live value, whatever value is asked for.
    EXPECT_EQ(c.text("DelayTime", 0.9f), "0.20s");
    param(c.effect, "DelayTime") = 0.0f;
    EXPECT_EQ(c.text("DelayTime", 0.5f), "0.01s");
    param(c.effect, "DelayTime") = std::nanf("");
    EXPECT_EQ(c.text("DelayTime", 0.5f), "0.01s");

    param(c.effect, "DelaySync") = 0.5f;
    for (int i = 0; i < kSyncDivisionCount; ++i)
        EXPECT_EQ(c.text("DelayTime", static_cast<float>(i) / 10.0f), kSyncDivisions[i].name);
    EXPECT_EQ(c.text("DelayTime", 0.6f), "1/4");
    EXPECT_EQ(c.text("DelayTime", 0.05f), "4/1");
    EXPECT_EQ(c.text("DelayTime", 0.2f), "2/1");
    EXPECT_EQ(c.text("DelayTime", std::nanf("")), "8/1");
    EXPECT_EQ(c.text("DelayTime", 7.0f), "1/32");
}

TEST(EffectTexts, EveryParameterFitsEightCharactersAtItsExtremes)
{
    Chain c;
    for (float sync : {0.0f, 1.0f}) {
        param(c.effect, "DelaySync") = sync;
        for (int i = 0; i < c.effect.parameterCount(); ++i) {
            const Parameter& p = c.effect.parameter(i);
            if (p.owner == &c.feed)
                continue;
            for (float v : {0.0f, 0.5f, 1.0f, std::nanf("")}) {
                char text[9];
                const int n = p.owner->format(&p.value, v, text, sizeof text);
                EXPECT_GT(n, 0) << p.name << " at " << v;
                EXPECT_LE(n, 8) << p.name << " at " << v;
                EXPECT_EQ(std::strlen(text), static_cast<std::size_t>(n)) << p.name;
            }
        }
    }
}

TEST(EffectTexts, TextIsCutToTheGivenSize)
{
    Chain c;
    EXPECT_EQ(c.text("PhaserModRate", 1.0f, 4), "4.0");
    EXPECT_EQ(c.text("DigiCrush", 0.0f, 2), "o");
}
