// Hostile settings (NaN, infinities, huge values, a missing tempo, odd
// sample rates) must never crash or read outside the buffers, and a NaN
// that got into a module's memory must not stay there for good.

#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/Phaser.h"
#include "dsp/Redux.h"
#include "dsp/UnityCeiling.h"
#include "dsp/WaveTable.h"

#include "EffectRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

using namespace Vorn;
using namespace EffectsTest;

namespace {

struct Chain : GlobalChain {
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
    std::numeric_limits<float>::quiet_NaN(),
    std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(),
    1e30f,
    -1e30f,
    3e9f,
    -3e9f,
    2.0f,
    -1.0f,
    1e-30f,
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
    param(c.effect, "PhaserWet") = 0.5f;
    param(c.effect, "ChorusWet") = 0.5f;
    param(c.effect, "DelayWet") = 0.5f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const char* name : {"PhaserFeedback", "ChorusFeedback", "DelayFeedback"})
        param(c.effect, name) = nan;
    // A NaN feedback counts as none: it never reaches the signal.
    for (int i = 0; i < 50; ++i) {
        c.block(44100, 0.5f);
        ASSERT_TRUE(allFinite(c.delay.output, kSubBlock)) << i;
    }

    for (const char* name : {"PhaserFeedback", "ChorusFeedback", "DelayFeedback"})
        param(c.effect, name) = 0.5f;
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
    param(c.effect, "PhaserWet") = 1.0f;
    param(c.effect, "ChorusWet") = 1.0f;
    param(c.effect, "DelayWet") = 1.0f;
    param(c.effect, "DelayFeedback") = 1.0f;
    c.block(44100, std::numeric_limits<float>::quiet_NaN());
    for (int i = 0; i < 20000; ++i) {
        c.block(44100, 0.1f);
        if (i > 0) {
            ASSERT_TRUE(allFinite(c.delay.output, kSubBlock)) << i;
        }
    }
}

TEST(EffectRobustness, WetAndFeedbackOutsideTheRangeActAsTheNearestEnd)
{
    // Stored values are kept as loaded; where the effects use them they are
    // clamped to 0..1, a NaN counting as 0. The output is then exactly that
    // of the nearest in-range setting, and so finite and bounded.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, float> cases[] = {{nan, 0.0f},   {-nan, 0.0f},   {inf, 1.0f},  {-inf, 0.0f},
                                             {1e30f, 1.0f}, {-1e30f, 0.0f}, {2.0f, 1.0f}, {-1.0f, 0.0f}};
    const std::vector<float> input = noise(4800);
    for (const char* name :
         {"PhaserWet", "PhaserFeedback", "ChorusWet", "ChorusFeedback", "DelayWet", "DelayFeedback"}) {
        for (const auto& [stored, nearest] : cases) {
            Chain hostile, reference;
            for (Chain* c : {&hostile, &reference}) {
                for (const char* other :
                     {"PhaserWet", "ChorusWet", "DelayWet", "PhaserFeedback", "ChorusFeedback", "DelayFeedback"})
                    param(c->effect, other) = 0.5f;
                param(c->effect, "DelayTime") = 0.0f; // 441 samples: the echo is heard
            }
            param(hostile.effect, name) = stored;
            param(reference.effect, name) = nearest;
            for (std::size_t at = 0; at < input.size(); at += kSubBlock) {
                for (Chain* c : {&hostile, &reference}) {
                    std::copy(input.begin() + static_cast<long>(at), input.begin() + static_cast<long>(at) + kSubBlock,
                              c->feed.output);
                    c->redux.process(44100, kSubBlock);
                    c->phaser.process(44100, kSubBlock);
                    c->chorus.process(44100, kSubBlock);
                    c->delay.process(44100, kSubBlock);
                }
                ASSERT_EQ(std::memcmp(hostile.delay.output, reference.delay.output, sizeof hostile.delay.output), 0)
                    << name << " = " << stored << " at sample " << at;
            }
        }
    }
}

TEST(EffectRobustness, FeedbackAtOneKeepsTheLinesBounded)
{
    // A chorus or an echo at feedback 1 repeats without losing anything, so
    // a constant input piles up in the line pass after pass; the lines stop
    // growing at their ceiling, while below it nothing changes.
    Chain c;
    param(c.effect, "ChorusWet") = 1.0f;
    param(c.effect, "ChorusFeedback") = 1.0f;
    param(c.effect, "DelayWet") = 1.0f;
    param(c.effect, "DelayFeedback") = 1.0f;
    param(c.effect, "DelayTime") = 0.0f;
    float peak = 0.0f;
    for (int i = 0; i < 44100 * 20 / kSubBlock; ++i) {
        c.block(44100, 0.5f);
        for (float x : c.delay.output)
            peak = std::max(peak, std::fabs(x));
    }
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_LE(peak, kUnityCeiling);
    EXPECT_GT(peak, 0.5f * kUnityCeiling); // the ceiling is reached, not a level below it
}
