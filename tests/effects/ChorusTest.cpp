#include "dsp/Chorus.h"
#include "dsp/WaveTable.h"

#include "EffectRig.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Vorn;
using namespace EffectsTest;

namespace {

struct ChorusRig {
    std::shared_ptr<const WaveTable> table = keptTable();
    Effect effect;
    Feed feed{&effect};
    Chorus chorus{&effect, "Chorus", &feed, table.get()};
    ChorusRig() { param(effect, "ChorusWet") = 1.0f; }
};

struct Echo {
    int lag;
    float peak;
    bool clean; // a single exact sample: no interpolation spread
};

// Feeds one impulse every `spacing` samples for `length` samples and returns
// where the delayed copy of each impulse appears.
std::vector<Echo> echoes(ChorusRig& rig, int sampleRate, int spacing, int length)
{
    std::vector<float> in(static_cast<std::size_t>(length), 0.0f);
    for (int i = 0; i < length; i += spacing)
        in[static_cast<std::size_t>(i)] = 1.0f;
    const std::vector<float> out = run(rig.feed, rig.chorus, in, sampleRate);
    std::vector<Echo> found;
    for (int i = 0; i + spacing <= length; i += spacing) {
        Echo e{0, 0.0f, true};
        for (int k = 1; k < spacing; ++k) {
            const float v = std::fabs(out[static_cast<std::size_t>(i + k)]);
            if (v > e.peak) {
                e.peak = v;
                e.lag = k;
            }
        }
        for (int k = 1; k < spacing; ++k)
            if (k != e.lag && out[static_cast<std::size_t>(i + k)] != 0.0f)
                e.clean = false;
        found.push_back(e);
    }
    return found;
}

} // namespace

TEST(Chorus, RegistersItsFourParametersInOrderWithDefaults)
{
    Effect effect;
    Feed feed(&effect);
    Chorus chorus(&effect, "Chorus", &feed, keptTable().get());
    const char* names[] = {"ChorusDepth", "ChorusFeedback", "ChorusRate", "ChorusWet"};
    const float defaults[] = {0.2f, 0.0f, 0.25f, 0.0f};
    ASSERT_EQ(effect.parameterCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(effect.parameter(i).name, names[i]);
        EXPECT_EQ(effect.parameter(i).defaultValue, defaults[i]);
    }
}

TEST(Chorus, DryIsIdenticalToInputAndLeavesTheLineUnwritten)
{
    ChorusRig idle, fresh;
    param(idle.effect, "ChorusWet") = 0.0f;
    const std::vector<float> in = noise(10000, 4);
    EXPECT_EQ(run(idle.feed, idle.chorus, in), in);
    param(idle.effect, "ChorusWet") = 0.7f;
    param(fresh.effect, "ChorusWet") = 0.7f;
    const std::vector<float> later = noise(3000, 8);
    const std::vector<float> a = run(idle.feed, idle.chorus, later);
    EXPECT_EQ(a, run(fresh.feed, fresh.chorus, later));
    EXPECT_NE(a, later);
}

TEST(Chorus, AtZeroDepthTheEchoTrailsBy881SamplesAt44k)
{
    ChorusRig rig;
    param(rig.effect, "ChorusDepth") = 0.0f;
    param(rig.effect, "ChorusFeedback") = 0.5f;
    const std::vector<float> out = run(rig.feed, rig.chorus, impulse(3000));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float want = i == 0 ? 1.0f : i == 881 ? 1.0f : i == 1762 ? 0.5f : i == 2643 ? 0.25f : 0.0f;
        ASSERT_EQ(out[i], want) << i;
    }
}

TEST(Chorus, ConstantInputSettlesAtTwiceItsLevelWhenFullyWet)
{
    ChorusRig rig;
    param(rig.effect, "ChorusRate") = 1.0f;
    param(rig.effect, "ChorusDepth") = 1.0f;
    const std::vector<float> out = run(rig.feed, rig.chorus, std::vector<float>(6000, 0.5f));
    EXPECT_EQ(out[0], 0.5f);
    for (std::size_t i = 2048; i < out.size(); ++i)
        ASSERT_EQ(out[i], 1.0f) << i;
}

TEST(Chorus, SweepAt44kStaysWithinTheLine)
{
    ChorusRig rig;
    param(rig.effect, "ChorusDepth") = 1.0f;
    param(rig.effect, "ChorusRate") = 0.1f; // 1 Hz
    int shortest = 100000, longest = 0;
    for (const Echo& e : echoes(rig, 44100, 1200, 44100 * 2)) {
        shortest = std::min(shortest, e.lag);
        longest = std::max(longest, e.lag);
    }
    EXPECT_LT(shortest, 730);
    EXPECT_GT(shortest, 700);
    EXPECT_EQ(longest, 1023);
}

TEST(Chorus, At48kTheTopOfTheSweepFlattensAt1024Samples)
{
    ChorusRig rig;
    param(rig.effect, "ChorusDepth") = 1.0f;
    param(rig.effect, "ChorusRate") = 0.1f;
    int shortest = 100000, longest = 0, flat = 0;
    const std::vector<Echo> found = echoes(rig, 48000, 1200, 48000 * 2);
    for (const Echo& e : found) {
        shortest = std::min(shortest, e.lag);
        longest = std::max(longest, e.lag);
        if (e.lag == 1023 && e.peak == 1.0f && e.clean)
            ++flat;
    }
    EXPECT_EQ(longest, 1023);
    EXPECT_LT(shortest, 800);
    // Depth x lfo above about 0.44 for roughly a third of each cycle.
    EXPECT_GT(flat, static_cast<int>(found.size()) / 5);
    EXPECT_LT(flat, static_cast<int>(found.size()) / 2);
}

TEST(Chorus, At96kTheChorusIsAStatic1024SampleDelay)
{
    ChorusRig rig;
    param(rig.effect, "ChorusDepth") = 1.0f;
    param(rig.effect, "ChorusRate") = 1.0f;
    const std::vector<Echo> found = echoes(rig, 96000, 1100, 96000);
    ASSERT_FALSE(found.empty());
    for (const Echo& e : found) {
        EXPECT_EQ(e.lag, 1023);
        EXPECT_EQ(e.peak, 1.0f);
        EXPECT_TRUE(e.clean);
    }
}

TEST(Chorus, ReadOffsetNeverExceedsHalfTheLine)
{
    EXPECT_EQ(Chorus::readOffset(0.02f, 44100.0f), -882 * 2097152);
    EXPECT_EQ(Chorus::readOffset(0.03f, 44100.0f), INT32_MIN); // 1323 samples
    EXPECT_EQ(Chorus::readOffset(1e30f, 44100.0f), INT32_MIN);
    EXPECT_EQ(Chorus::readOffset(INFINITY, 44100.0f), INT32_MIN);
    EXPECT_EQ(Chorus::readOffset(std::nanf(""), 44100.0f), INT32_MIN);
    EXPECT_EQ(Chorus::readOffset(-1.0f, 44100.0f), INT32_MIN);
    EXPECT_EQ(Chorus::readOffset(0.0f, 44100.0f), 0);
}
