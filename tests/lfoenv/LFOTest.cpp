#include "dsp/LFO.h"
#include "dsp/WaveTable.h"
#include "tests/support/Param.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

using namespace Vorn;

namespace {

constexpr int kRate = 44100;
constexpr double kCycle = 4294967296.0;

struct LFOFixture : ::testing::Test {
    static std::shared_ptr<const WaveTable> table;
    static void SetUpTestSuite() { table = WaveTable::shared(); }
    static void TearDownTestSuite() { table.reset(); }

    Effect effect;
    LFO lfo{&effect, "LFO1", table.get()};

    float& param(const char* name) { return ::param(effect, (std::string("LFO1") + name).c_str()); }

    std::string text(const char* name, float value)
    {
        char buffer[32];
        const int n = lfo.format(&param(name), value, buffer, sizeof buffer);
        EXPECT_EQ(n, static_cast<int>(std::strlen(buffer)));
        return buffer;
    }

    // The rate in Hz the phase advances at.
    double measuredRate()
    {
        const uint32_t before = lfo.phase();
        lfo.process(kRate, 1);
        const uint32_t step = static_cast<uint32_t>(lfo.phase() - before);
        return step / kCycle * kRate;
    }

    // The largest magnitude of any wave's richest level.
    static float tablePeak()
    {
        float peak = 0.0f;
        for (int wave = 0; wave < WaveTable::kWaveCount; ++wave)
            for (int i = 0; i < WaveTable::kSamplesPerLevel; ++i)
                peak = std::max(peak, std::fabs(table->levelData(wave, 0)[i]));
        return peak;
    }
};

std::shared_ptr<const WaveTable> LFOFixture::table;

} // namespace

TEST_F(LFOFixture, RegistersItsFourParametersInOrderWithDefaults)
{
    ASSERT_EQ(effect.parameterCount(), 4);
    const char* names[] = {"LFO1Reset", "LFO1Speed", "LFO1Sync", "LFO1Wave"};
    const float defaults[] = {0.0f, 0.1f, 0.0f, 0.0f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(effect.parameter(i).name, names[i]);
        EXPECT_EQ(effect.parameter(i).defaultValue, defaults[i]);
    }
    for (float v : lfo.amplitudeInput)
        EXPECT_EQ(v, 0.0f);
}

TEST_F(LFOFixture, DefaultsPlayASineAtHalfAHertz)
{
    EXPECT_NEAR(measuredRate(), 0.5, 1e-4);
    EXPECT_EQ(text("Speed", 0.1f), "0.5hz");
    // Over two seconds (one cycle) the output follows a sine of the phase.
    double peak = 0.0;
    for (int block = 0; block < 2 * kRate / kSubBlock; ++block) {
        lfo.process(kRate, kSubBlock);
        const double phase = lfo.phase() / kCycle * 2.0 * M_PI;
        ASSERT_NEAR(lfo.output[kSubBlock - 1], std::sin(phase), 1e-4);
        peak = std::max(peak, static_cast<double>(lfo.output[kSubBlock - 1]));
    }
    EXPECT_GT(peak, 0.9999);
}

TEST_F(LFOFixture, FreeSpeedFollowsTheSquareOfTheKnobFromATenthOfAHertz)
{
    const struct {
        float speed;
        const char* shown;
        double hz;
    } cases[] = {
        {0.0f, "0.1hz", 0.1}, {0.04f, "0.1hz", 0.1}, {0.1f, "0.5hz", 0.5},
        {0.4f, "8.0hz", 8.0}, {0.6f, "18hz", 18.0},  {1.0f, "50hz", 50.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        param("Speed") = c.speed;
        EXPECT_EQ(text("Speed", c.speed), c.shown);
        EXPECT_NEAR(measuredRate(), c.hz, c.hz * 1e-3);
    }
}

TEST_F(LFOFixture, SyncedSpeedShowsTheDivisionNames)
{
    param("Sync") = 1.0f;
    EXPECT_EQ(text("Speed", 0.0f), "8/1");
    EXPECT_EQ(text("Speed", 0.4f), "1/1");
    EXPECT_EQ(text("Speed", 0.5f), "3/8");
    EXPECT_EQ(text("Speed", 0.6f), "1/4");
    EXPECT_EQ(text("Speed", 1.0f), "1/32");
    EXPECT_EQ(text("Speed", std::numeric_limits<float>::quiet_NaN()), "8/1");
    EXPECT_EQ(text("Speed", 2.0f), "1/32");
    EXPECT_EQ(text("Speed", -1.0f), "8/1");
}

TEST_F(LFOFixture, SwitchAndWaveTexts)
{
    EXPECT_EQ(text("Reset", 0.0f), "off");
    EXPECT_EQ(text("Reset", 0.5f), "on");
    EXPECT_EQ(text("Sync", 0.49f), "off");
    EXPECT_EQ(text("Sync", 1.0f), "on");
    EXPECT_EQ(text("Sync", std::numeric_limits<float>::quiet_NaN()), "off");
    EXPECT_EQ(text("Wave", 0.0f), "sin");
    EXPECT_EQ(text("Wave", 0.25f), "saw");
    EXPECT_EQ(text("Wave", 1.0f), "dig5");
    EXPECT_EQ(text("Wave", 7.0f), "dig5");
    EXPECT_EQ(text("Wave", std::numeric_limits<float>::quiet_NaN()), "sin");
    // A short buffer gets a terminated prefix.
    char small[3];
    lfo.format(&param("Wave"), 1.0f, small, sizeof small);
    EXPECT_STREQ(small, "di");
}

TEST_F(LFOFixture, QuarterNoteAt120BeatsPerMinuteRunsAtTwoHertz)
{
    param("Sync") = 1.0f;
    param("Speed") = 0.6f; // "1/4"
    effect.setTempo(120.0f);
    EXPECT_NEAR(measuredRate(), 2.0, 1e-4);
    effect.setTempo(0.0f);
    EXPECT_EQ(measuredRate(), 0.0);
}

TEST_F(LFOFixture, SongPositionLocksTheSyncedPhase)
{
    param("Sync") = 1.0f;
    param("Speed") = 0.6f; // one cycle per beat
    effect.setTempo(120.0f);
    effect.setSongPosition(2.5);
    lfo.prepare();
    EXPECT_EQ(lfo.phase(), 2147483647u); // trunc(0.5 * (2^32 - 1))

    effect.setSongPosition(7.25);
    lfo.prepare();
    EXPECT_EQ(lfo.phase(), static_cast<uint32_t>(0.25 * 4294967295.0));

    // "1/1" is four beats long: beat 6 is half way through the second bar.
    param("Speed") = 0.4f;
    effect.setSongPosition(6.0);
    lfo.prepare();
    EXPECT_EQ(lfo.phase(), 2147483647u);

    // No position (or a stopped transport at the start): the phase runs on.
    lfo.process(kRate, kSubBlock);
    const uint32_t running = lfo.phase();
    effect.setSongPosition(0.0);
    lfo.prepare();
    EXPECT_EQ(lfo.phase(), running);
    effect.setSongPosition(-3.0);
    lfo.prepare();
    EXPECT_EQ(lfo.phase(), running);

    // Free-running LFOs ignore the transport.
    param("Sync") = 0.0f;
    effect.setSongPosition(2.5);
    lfo.prepare();
    EXPECT_EQ(lfo.phase(), running);
}

TEST_F(LFOFixture, ResetOnNoteOnRestartsTheWave)
{
    param("Wave") = 0.25f; // saw, so the restart is audible
    LFO fresh(&effect, "LFO1", table.get());
    fresh.process(kRate, 1);
    const float firstFrame = fresh.output[0];

    for (int i = 0; i < 1000; ++i)
        lfo.process(kRate, kSubBlock);
    const uint32_t running = lfo.phase();
    lfo.noteOn(60, 100); // "Reset" off
    EXPECT_EQ(lfo.phase(), running);

    param("Reset") = 1.0f;
    lfo.noteOff(60);
    lfo.controlChange(123, 0);
    EXPECT_EQ(lfo.phase(), running);
    lfo.noteOn(60, 100);
    EXPECT_EQ(lfo.phase(), 0u);
    lfo.process(kRate, 1);
    EXPECT_EQ(lfo.output[0], firstFrame);
    EXPECT_NE(lfo.phase(), 0u);
}

TEST_F(LFOFixture, AmplitudeModulationLeavesTheOutputUnchanged)
{
    LFO reference(&effect, "LFO1", table.get());
    for (float& v : lfo.amplitudeInput)
        v = 0.75f;
    for (int block = 0; block < 100; ++block) {
        lfo.process(kRate, kSubBlock);
        reference.process(kRate, kSubBlock);
        for (int j = 0; j < kSubBlock; ++j)
            ASSERT_EQ(lfo.output[j], reference.output[j]);
    }
}

TEST_F(LFOFixture, WavesAreReadAtTheirRichestLevel)
{
    param("Speed") = 1.0f;
    const float expectedPeak[] = {1.0f, 1.233f, 1.59f, 0.80f};
    for (int wave = 0; wave < 4; ++wave) {
        SCOPED_TRACE(wave);
        param("Wave") = static_cast<float>(wave) / 8.0f;
        float peak = 0.0f;
        for (int block = 0; block < kRate / 50 / kSubBlock * 4; ++block) {
            lfo.process(kRate, kSubBlock);
            for (int j = 0; j < kSubBlock; ++j)
                peak = std::max(peak, std::fabs(lfo.output[j]));
        }
        EXPECT_NEAR(peak, expectedPeak[wave], 0.02f);
    }
}

TEST_F(LFOFixture, HostileValuesNeverLeaveTheTableOrTurnIntoNaN)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float hostile[] = {nan, inf, -inf, -1.0f, 2.0f, 1e30f};
    const char* names[] = {"Reset", "Speed", "Sync", "Wave"};
    const float bound = tablePeak();
    ASSERT_TRUE(bound > 1.0f && bound < 20.0f);
    const double positions[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                1e300, 1e9 + 0.3, 2.5};
    const float tempi[] = {nan, inf, -120.0f, 0.0f, 1e30f, 120.0f};
    for (float sync : {0.0f, 1.0f}) {
        for (const char* name : names) {
            for (float value : hostile) {
                SCOPED_TRACE(std::string(name) + " = " + std::to_string(value) + ", sync " + std::to_string(sync));
                param("Reset") = 1.0f;
                param("Speed") = 0.5f;
                param("Sync") = sync;
                param("Wave") = 0.5f;
                param(name) = value;
                for (double position : positions) {
                    for (float tempo : tempi) {
                        effect.setSongPosition(position);
                        effect.setTempo(tempo);
                        lfo.prepare();
                        lfo.noteOn(60, 100);
                        char buffer[32];
                        lfo.format(&param(name), value, buffer, sizeof buffer);
                        for (int block = 0; block < 4; ++block) {
                            lfo.process(kRate, kSubBlock);
                            for (int j = 0; j < kSubBlock; ++j)
                                ASSERT_TRUE(std::fabs(lfo.output[j]) <= bound) << lfo.output[j];
                        }
                    }
                }
            }
        }
    }
    // Without a sample rate the LFO stands still instead of dividing by zero.
    const uint32_t before = lfo.phase();
    lfo.process(0, kSubBlock);
    EXPECT_EQ(lfo.phase(), before);
}

TEST_F(LFOFixture, RatesBeyondTheKnobRangeFollowTheCurveUpToNyquist)
{
    param("Speed") = 2.0f;
    EXPECT_NEAR(measuredRate(), 200.0, 0.2);
    EXPECT_EQ(text("Speed", 2.0f), "200hz");
    param("Speed") = 1e30f;
    EXPECT_NEAR(measuredRate(), kRate / 2.0, 1.0);
    param("Speed") = -1.0f;
    EXPECT_NEAR(measuredRate(), 0.1, 1e-4);
    EXPECT_EQ(text("Speed", -1.0f), "0.1hz");
    EXPECT_EQ(text("Speed", std::numeric_limits<float>::quiet_NaN()), "0.1hz");

    // A synced rate never exceeds half the sample rate.
    param("Sync") = 1.0f;
    param("Speed") = 1.0f;
    effect.setTempo(1e30f);
    EXPECT_NEAR(measuredRate(), kRate / 2.0, 1.0);
    effect.setTempo(-120.0f);
    EXPECT_EQ(measuredRate(), 0.0);
}

TEST_F(LFOFixture, UnreadOutputOnlyAdvancesThePhaseExactly)
{
    // Two LFOs on one parameter set: one with a silent reader, one plain.
    Effect otherEffect;
    LFO plain{&otherEffect, "LFO1", table.get()};
    float depth = 0.0f;
    lfo.addOutputReader(&depth);
    param("Speed") = 0.37f;
    ::param(otherEffect, "LFO1Speed") = 0.37f;
    for (int block = 0; block < 500; ++block) {
        const int n = 1 + block % 16;
        if (block == 300)
            depth = 0.5f; // read again: the wave must be where it would be
        if (block == 400)
            depth = std::numeric_limits<float>::quiet_NaN();
        lfo.process(kRate, n);
        plain.process(kRate, n);
        ASSERT_EQ(lfo.phase(), plain.phase()) << block;
        if (block >= 300) {
            for (int j = 0; j < n; ++j)
                ASSERT_EQ(lfo.output[j], plain.output[j]) << block;
        }
    }
}
