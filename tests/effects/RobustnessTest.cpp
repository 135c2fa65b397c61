// Hostile settings (NaN, infinities, huge values, a missing tempo, odd
// sample rates) must never crash or read outside the buffers, and a NaN
// that got into a module's memory must not stay there for good.

#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/Phaser.h"
#include "dsp/Redux.h"
#include "dsp/WaveTable.h"

#include "Feed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace Vorn;
using namespace EffectsTest;

namespace {

struct Chain {
    std::shared_ptr<const WaveTable> table = keptTable();
    Effect effect;
    Feed feed{&effect};
    Redux redux{&effect, "Digi", &feed};
    Phaser phaser{&effect, "Phaser", &redux, table.get()};
    Chorus chorus{&effect, "Chorus", &phaser, table.get()};
    Delay delay{&effect, "Delay", &chorus};

    void block(int sampleRate, float level)
    {
        for (float& x : feed.output)
            x = level;
        redux.process(sampleRate, kSubBlock);
        phaser.process(sampleRate, kSubBlock);
        chorus.process(sampleRate, kSubBlock);
        delay.process(sampleRate, kSubBlock);
    }
};

const float kHostile[] = {
    std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(), 1e30f, -1e30f, 3e9f, -3e9f, 2.0f, -1.0f, 1e-30f,
};

bool allFinite(const float* v, int n)
{
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i]))
            return false;
    return true;
}

} // namespace

TEST(EffectRobustness, HostileValuesInEveryParameterNeverCrash)
{
    Chain c;
    for (int i = 0; i < c.effect.parameterCount(); ++i) {
        Parameter& p = c.effect.parameter(i);
        if (p.owner == &c.feed)
            continue;
        for (float v : kHostile) {
            for (float tempo : {0.0f, 120.0f, std::numeric_limits<float>::quiet_NaN(), -60.0f, 1e-30f}) {
                c.effect.setTempo(tempo);
                p.value = v;
                for (int rate : {44100, 96000, 1, 0, -44100})
                    c.block(rate, 0.5f);
                char text[9];
                p.owner->format(&p.value, v, text, sizeof text);
                EXPECT_LT(std::strlen(text), sizeof text);
            }
            c.effect.setTempo(120.0f);
            c.effect.setSongPosition(0.0);
            p.value = 1.0f;
            c.block(44100, 0.5f);
        }
        p.value = p.defaultValue;
    }
    // All of them at once, in the sync and the free mode.
    for (float v : kHostile) {
        for (int i = 0; i < c.effect.parameterCount(); ++i)
            c.effect.parameter(i).value = v;
        c.block(44100, 0.25f);
        c.block(48000, std::numeric_limits<float>::infinity());
    }
    SUCCEED();
}

TEST(EffectRobustness, NaNFeedbackDoesNotPoisonTheEffectsForGood)
{
    Chain c;
    setParam(c.effect, "PhaserWet", 0.5f);
    setParam(c.effect, "ChorusWet", 0.5f);
    setParam(c.effect, "DelayWet", 0.5f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const char* name : {"PhaserFeedback", "ChorusFeedback", "DelayFeedback"})
        setParam(c.effect, name, nan);
    for (int i = 0; i < 50; ++i)
        c.block(44100, 0.5f);
    EXPECT_FALSE(allFinite(c.delay.output, kSubBlock));

    for (const char* name : {"PhaserFeedback", "ChorusFeedback", "DelayFeedback"})
        setParam(c.effect, name, 0.5f);
    // Every echo the ring can still hold has passed after 65536 samples.
    for (int i = 0; i < 65536 / kSubBlock + 1; ++i) {
        c.block(44100, 0.5f);
        ASSERT_TRUE(allFinite(c.phaser.output, kSubBlock)) << i;
        ASSERT_TRUE(allFinite(c.chorus.output, kSubBlock)) << i;
        ASSERT_TRUE(allFinite(c.delay.output, kSubBlock)) << i;
    }
}

TEST(EffectRobustness, ANaNInputSampleIsForgottenToo)
{
    Chain c;
    setParam(c.effect, "PhaserWet", 1.0f);
    setParam(c.effect, "ChorusWet", 1.0f);
    setParam(c.effect, "DelayWet", 1.0f);
    setParam(c.effect, "DelayFeedback", 1.0f);
    c.block(44100, std::numeric_limits<float>::quiet_NaN());
    for (int i = 0; i < 20000; ++i) {
        c.block(44100, 0.1f);
        if (i > 0) {
            ASSERT_TRUE(allFinite(c.delay.output, kSubBlock)) << i;
        }
    }
}
