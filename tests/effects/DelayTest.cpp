#include "dsp/Delay.h"
#include "dsp/SyncDivisions.h"

#include "EffectRig.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Vorn;
using namespace EffectsTest;

namespace {

struct DelayRig {
    Effect effect;
    Feed feed{&effect};
    Delay delay{&effect, "Delay", &feed};
};

// Where a single impulse comes back with the echo alone audible.
int measuredLag(DelayRig& rig, int sampleRate = 44100)
{
    param(rig.effect, "DelayWet") = 1.0f;
    param(rig.effect, "DelayFeedback") = 0.0f;
    const std::vector<float> out = run(rig.feed, rig.delay, impulse(70000), sampleRate);
    int lag = -1;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] != 0.0f) {
            EXPECT_EQ(lag, -1) << "second echo at " << i;
            EXPECT_EQ(out[i], 1.0f);
            lag = static_cast<int>(i);
        }
    }
    return lag;
}

} // namespace

TEST(Delay, RegistersItsFourParametersInOrderWithDefaults)
{
    DelayRig rig;
    const char* names[] = {"DelayFeedback", "DelaySync", "DelayTime", "DelayWet"};
    const float defaults[] = {0.485f, 0.0f, 0.2f, 0.0f};
    ASSERT_EQ(rig.effect.parameterCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rig.effect.parameter(i).name, names[i]);
        EXPECT_EQ(rig.effect.parameter(i).defaultValue, defaults[i]);
    }
}

TEST(Delay, FreeTimeSetsTheLagInSeconds)
{
    {
        DelayRig rig;
        EXPECT_EQ(rig.delay.length(44100), 8820);
        EXPECT_EQ(measuredLag(rig), 8820);
    }
    {
        DelayRig rig;
        param(rig.effect, "DelayTime") = 0.0f;
        EXPECT_EQ(rig.delay.length(44100), 441);
        EXPECT_EQ(measuredLag(rig), 441);
    }
    {
        DelayRig rig;
        param(rig.effect, "DelayTime") = 1.0f;
        EXPECT_EQ(rig.delay.length(48000), 48000);
        // Beyond the ring: the longest echo it holds, not a wrapped length.
        EXPECT_EQ(rig.delay.length(96000), Delay::kLongestEcho);
        EXPECT_EQ(measuredLag(rig, 96000), 65535);
    }
}

TEST(Delay, SyncedDivisionsAt120Bpm)
{
    DelayRig rig;
    rig.effect.setTempo(120.0f);
    param(rig.effect, "DelaySync") = 1.0f;
    // One whole note lasts 2 s at 120 BPM.
    const int want[kSyncDivisionCount] = {65535, 65535, 65535, 65535, 65535, 33075, 22050, 16537, 11025, 5512, 2756};
    for (int i = 0; i < kSyncDivisionCount; ++i) {
        param(rig.effect, "DelayTime") = static_cast<float>(i) / 10.0f;
        EXPECT_EQ(rig.delay.length(44100), want[i]) << kSyncDivisions[i].name;
    }
    param(rig.effect, "DelayTime") = 0.6f;
    EXPECT_EQ(measuredLag(rig), 22050);
}

TEST(Delay, SyncWithoutTempoUsesTheLongestEcho)
{
    DelayRig rig;
    param(rig.effect, "DelaySync") = 1.0f;
    param(rig.effect, "DelayTime") = 1.0f; // "1/32"
    EXPECT_EQ(rig.delay.length(44100), Delay::kLongestEcho);
    EXPECT_EQ(measuredLag(rig), 65535);
    rig.effect.setTempo(std::nanf(""));
    EXPECT_EQ(rig.delay.length(44100), Delay::kLongestEcho);
    rig.effect.setTempo(120.0f);
    EXPECT_EQ(rig.delay.length(44100), 2756);
}

TEST(Delay, FeedbackScalesEachRepeat)
{
    DelayRig rig;
    param(rig.effect, "DelayTime") = 0.0f;
    param(rig.effect, "DelayWet") = 0.5f;
    param(rig.effect, "DelayFeedback") = 1.0f;
    const std::vector<float> out = run(rig.feed, rig.delay, impulse(441 * 5 + 1));
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i], i % 441 == 0 ? 0.5f : 0.0f) << i;
}

TEST(Delay, RingKeepsRecordingWhileSilent)
{
    DelayRig rig;
    param(rig.effect, "DelayTime") = 0.0f;
    param(rig.effect, "DelayFeedback") = 0.0f;
    const std::vector<float> in = noise(300, 6);
    EXPECT_EQ(run(rig.feed, rig.delay, in), in);
    param(rig.effect, "DelayWet") = 1.0f;
    const std::vector<float> out = run(rig.feed, rig.delay, std::vector<float>(441, 0.0f));
    for (std::size_t i = 0; i < 141; ++i)
        ASSERT_EQ(out[i], 0.0f) << i;
    for (std::size_t i = 141; i < 441; ++i)
        ASSERT_EQ(out[i], in[i - 141]) << i;
}
