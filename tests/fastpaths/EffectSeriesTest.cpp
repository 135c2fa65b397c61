// The phaser, chorus and delay rendered in one sample loop must leave every
// module's output and state exactly as rendering them one after the other.

#include "dsp/EffectSeries.h"
#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/Phaser.h"
#include "dsp/WaveTable.h"

#include "tests/support/Feed.h"
#include "tests/support/Param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

using namespace Vorn;

namespace {

struct Chain {
    explicit Chain(const WaveTable* table, bool chorusAfterPhaser = true)
        : chorus(&effect, "Chorus", chorusAfterPhaser ? static_cast<const Module*>(&phaser) : &feed, table)
    {
    }
    void set(const char* name, float value) { param(effect, name) = value; }

    Effect effect;
    Feed feed{&effect, "feed"};
    Phaser phaser{&effect, "Phaser", &feed, WaveTable::shared().get()};
    Chorus chorus;
    Delay delay{&effect, "Delay", &chorus};
};

void expectSameBits(const float* a, const float* b, int n, const char* what, int block)
{
    EXPECT_EQ(std::memcmp(a, b, sizeof(float) * static_cast<std::size_t>(n)), 0) << what << " in block " << block;
}

// Drives a chain rendered in one loop and one rendered module by module
// through the same input and the same setting changes, comparing all three
// outputs after every block.
void compare(bool chorusAfterPhaser)
{
    const std::shared_ptr<const WaveTable> table = WaveTable::shared();
    Chain series(table.get(), chorusAfterPhaser), separate(table.get(), chorusAfterPhaser);
    unsigned seed = 12345u;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int block = 0; block < 3000; ++block) {
        // Settings that move the LFOs, bypass a module for a while, feed
        // back hard, and taint the recursive state with NaN for a moment.
        for (Chain* chain : {&series, &separate}) {
            chain->set("PhaserWet", (block / 200) % 3 == 1 ? 0.0f : 0.7f);
            chain->set("PhaserFeedback", block % 500 < 100 ? 0.95f : 0.3f);
            chain->set("PhaserModRate", 0.8f);
            chain->set("ChorusWet", (block / 300) % 4 == 2 ? 0.0f : 0.5f);
            chain->set("ChorusFeedback", block >= 1000 && block < 1004 ? nan : 0.6f);
            chain->set("ChorusRate", 0.5f);
            chain->set("DelayWet", 0.4f);
            chain->set("DelayTime", 0.01f + 0.001f * static_cast<float>(block % 7));
            chain->set("DelayFeedback", block >= 2000 && block < 2003 ? nan : 0.8f);
        }
        const int n = 1 + block % kSubBlock;
        for (int i = 0; i < n; ++i)
            series.feed.output[i] = separate.feed.output[i] = next();
        processInSeries(series.phaser, series.chorus, series.delay, 44100, n);
        separate.phaser.process(44100, n);
        separate.chorus.process(44100, n);
        separate.delay.process(44100, n);
        expectSameBits(series.phaser.output, separate.phaser.output, n, "phaser", block);
        expectSameBits(series.chorus.output, separate.chorus.output, n, "chorus", block);
        expectSameBits(series.delay.output, separate.delay.output, n, "delay", block);
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_EQ(series.phaser.coefficient(), separate.phaser.coefficient());
}

} // namespace

TEST(EffectSeries, OneLoopRendersExactlyWhatTheModulesRenderInTurn)
{
    compare(true);
}

TEST(EffectSeries, WiredOtherwiseTheModulesRunInTurn)
{
    compare(false);
}
