#include "dsp/WTOscillator.h"
#include "tests/support/Param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

using namespace Vorn;

namespace {

class OscillatorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { table = WaveTable::shared(); }
    static void TearDownTestSuite() { table.reset(); }

    float& param(const char* fullName) { return ::param(effect, fullName); }
    std::string text(WTOscillator& osc, const char* name, float value, std::size_t size = 32)
    {
        char buffer[32];
        std::memset(buffer, 'x', sizeof buffer);
        const float* p = &param((osc.name + name).c_str());
        osc.format(p, value, buffer, size);
        return std::string(buffer);
    }
    void run(WTOscillator& osc, int blocks, int rate = 44100, int count = kSubBlock)
    {
        for (int b = 0; b < blocks; ++b)
            osc.process(rate, count);
    }

    static std::shared_ptr<const WaveTable> table;
    Effect effect;
};
std::shared_ptr<const WaveTable> OscillatorTest::table;

} // namespace

TEST_F(OscillatorTest, RegistersItsParametersInOrder)
{
    WTOscillator osc(&effect, "Osc1", table.get());
    WTOscillator other(&effect, "Osc2", table.get());
    ASSERT_EQ(effect.parameterCount(), 8);
    const char* names[8] = {"Osc1Coarse", "Osc1Fine", "Osc1Position", "Osc1Wave",
                            "Osc2Coarse", "Osc2Fine", "Osc2Position", "Osc2Wave"};
    const float defaults[4] = {0.5f, 0.5f, 0.0f, 0.25f};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(effect.parameter(i).name, names[i]);
        EXPECT_EQ(effect.parameter(i).defaultValue, defaults[i % 4]);
    }
    EXPECT_EQ(osc.note, 60);
}

TEST_F(OscillatorTest, DefaultsAtA4)
{
    WTOscillator osc(&effect, "Osc1", table.get());
    osc.noteOn(69, 100);
    EXPECT_EQ(osc.frequency(0.0f), 440.0f);
    run(osc, 1);
    EXPECT_EQ(osc.harmonicLimit, 50);
    EXPECT_EQ(osc.level, 31);
    EXPECT_EQ(osc.waveChoice, 2);
    // trunc(440 * 2^32 / 44100): the quotient is 42852281.41.
    EXPECT_EQ(osc.increment, 42852281u);
    EXPECT_EQ(osc.phase.phase, 16u * 42852281u);
    // Notes never reset the phase.
    osc.noteOn(40, 100);
    EXPECT_EQ(osc.phase.phase, 16u * 42852281u);
    EXPECT_EQ(osc.note, 40);
    EXPECT_FLOAT_EQ(osc.frequency(0.0f), 440.0f * std::pow(2.0f, -29.0f / 12.0f));
}

TEST_F(OscillatorTest, LevelFollowsTheHarmonicLimit)
{
    WTOscillator osc(&effect, "Osc1", table.get());
    EXPECT_EQ(osc.levelFor(1024), 0);
    EXPECT_EQ(osc.levelFor(930), 1);
    EXPECT_EQ(osc.levelFor(929), 2);
    EXPECT_EQ(osc.levelFor(50), 31);
    EXPECT_EQ(osc.levelFor(1), 53);
    EXPECT_EQ(osc.levelFor(0), 54);
    EXPECT_EQ(osc.levelCache[50], 31);
    EXPECT_EQ(osc.levelCache[51], -1);
    // A higher limit never picks a level with fewer harmonics.
    int previous = 54;
    for (int limit = 0; limit <= 1024; ++limit) {
        const int level = osc.levelFor(limit);
        ASSERT_GE(level, 0);
        ASSERT_LE(level, previous) << "limit " << limit;
        previous = level;
    }
    // Out-of-range limits stay inside the cache.
    EXPECT_EQ(osc.levelFor(5000), 0);
    EXPECT_EQ(osc.levelFor(-3), 54);
}

TEST_F(OscillatorTest, TuningAndDisplayTexts)
{
    WTOscillator osc(&effect, "Osc1", table.get());
    osc.noteOn(69, 1);
    EXPECT_EQ(text(osc, "Coarse", 1.0f), "+24");
    EXPECT_EQ(text(osc, "Coarse", 0.0f), "-24");
    EXPECT_EQ(text(osc, "Coarse", 0.5f), "0");
    EXPECT_EQ(text(osc, "Fine", 1.0f), "+5.00");
    EXPECT_EQ(text(osc, "Fine", 0.5f), "0");
    EXPECT_EQ(text(osc, "Fine", 0.0f), "-5.00");
    EXPECT_EQ(text(osc, "Wave", 0.25f), "saw");
    EXPECT_EQ(text(osc, "Wave", 0.0625f), "tri");
    EXPECT_EQ(text(osc, "Wave", 1.0f), "dig5");
    EXPECT_EQ(text(osc, "Wave", std::nanf("")), "sin");
    EXPECT_EQ(text(osc, "Wave", 7.0f), "dig5");
    EXPECT_EQ(text(osc, "Wave", 0.25f, 3), "sa");
    EXPECT_EQ(text(osc, "Position", 0.5f), "0.50");

    // The smoother moves through the semitones and settles exactly.
    param("Osc1Coarse") = 1.0f;
    run(osc, 1);
    EXPECT_GT(osc.frequency(0.0f), 440.0f);
    EXPECT_LT(osc.frequency(0.0f), 1760.0f);
    run(osc, 30);
    EXPECT_EQ(osc.frequency(0.0f), 1760.0f);
    param("Osc1Coarse") = 0.0f;
    run(osc, 40);
    EXPECT_EQ(osc.frequency(0.0f), 110.0f);
    param("Osc1Coarse") = 0.5f;
    param("Osc1Fine") = 1.0f;
    run(osc, 40);
    EXPECT_FLOAT_EQ(osc.frequency(0.0f), 440.0f * std::pow(2.0f, 0.5f / 12.0f));
    // The modulation is a linear offset in kHz.
    EXPECT_FLOAT_EQ(osc.frequency(0.25f), 440.0f * std::pow(2.0f, 0.5f / 12.0f) + 250.0f);
}

TEST_F(OscillatorTest, WaveChoicePlaysThatWave)
{
    // At 45056 Hz, 440 Hz advances exactly ten samples per frame, so every
    // output is a table sample with no interpolation.
    for (float value : {0.0625f, 0.25f, 0.0f, 1.0f}) {
        Effect local;
        WTOscillator osc(&local, "Osc1", table.get());
        osc.noteOn(69, 1);
        ::param(local, "Osc1Wave") = value;
        osc.process(45056, 16);
        ASSERT_EQ(osc.increment, 10u << 22);
        const int expectedWave = value == 0.0625f ? 1 : value == 0.25f ? 2 : value == 0.0f ? 0 : 8;
        EXPECT_EQ(osc.waveChoice, expectedWave);
        const float* T = table->levelData(expectedWave, osc.level);
        for (int j = 0; j < 16; ++j)
            EXPECT_EQ(osc.output[j], T[(10 * (j + 1)) % 1024]) << "wave " << value << " frame " << j;
    }
}

TEST_F(OscillatorTest, PositionZeroIgnoresPositionModulation)
{
    WTOscillator plain(&effect, "Osc1", table.get());
    WTOscillator modulated(&effect, "Osc1", table.get());
    float first[64], second[64];
    for (int b = 0; b < 4; ++b) {
        for (int j = 0; j < kSubBlock; ++j)
            modulated.positionInput[j] = 0.7f;
        plain.process(44100, 16);
        modulated.process(44100, 16);
        std::memcpy(first + 16 * b, plain.output, sizeof plain.output);
        std::memcpy(second + 16 * b, modulated.output, sizeof modulated.output);
    }
    EXPECT_EQ(std::memcmp(first, second, sizeof first), 0);

    // Any position above 0 switches to the comb, and the modulation counts.
    param("Osc1Position") = 1e-6f;
    plain.process(44100, 16);
    modulated.process(44100, 16);
    EXPECT_NE(std::memcmp(plain.output, modulated.output, sizeof plain.output), 0);
}

TEST_F(OscillatorTest, PositionOneSettlesToSilence)
{
    WTOscillator osc(&effect, "Osc1", table.get());
    param("Osc1Position") = 1.0f;
    run(osc, 5);
    float energy = 0.0f;
    for (float y : osc.output)
        energy += std::fabs(y);
    EXPECT_GT(energy, 0.0f);
    run(osc, 25);
    EXPECT_EQ(osc.smoothedPosition, 1.0f);
    EXPECT_EQ(osc.offset, 0u);
    run(osc, 1);
    for (float y : osc.output)
        EXPECT_EQ(y, 0.0f);
}

TEST_F(OscillatorTest, PositionCombDoublesOddWaves)
{
    // Half a cycle apart, the odd harmonics of "sin" add: twice the wave.
    WTOscillator plain(&effect, "Osc1", table.get());
    Effect other;
    WTOscillator comb(&other, "Osc1", table.get());
    param("Osc1Wave") = 0.0f;
    ::param(other, "Osc1Wave") = 0.0f;
    ::param(other, "Osc1Position") = 1e-9f;
    plain.process(44100, 16);
    comb.process(44100, 16);
    for (int j = 0; j < 16; ++j)
        EXPECT_NEAR(comb.output[j], 2.0f * plain.output[j], 1e-5f);
}

TEST_F(OscillatorTest, NegativeFrequencyHoldsTheOutput)
{
    WTOscillator osc(&effect, "Osc1", table.get());
    osc.noteOn(20, 1);
    run(osc, 3);
    for (float& m : osc.pitchInput)
        m = -1.0f;
    osc.process(44100, 16);
    EXPECT_EQ(osc.frequency(-1.0f), 0.0f);
    EXPECT_EQ(osc.increment, 0u);
    EXPECT_EQ(osc.harmonicLimit, 0);
    EXPECT_EQ(osc.level, 54);
    EXPECT_NE(osc.output[0], 0.0f);
    for (int j = 1; j < 16; ++j)
        EXPECT_EQ(osc.output[j], osc.output[0]);
}

TEST_F(OscillatorTest, ModulationIsReadAtTheMiddleOfTheBlock)
{
    WTOscillator osc(&effect, "Osc1", table.get());
    for (float& m : osc.pitchInput)
        m = -1.0f;
    osc.pitchInput[8] = 0.0f;
    osc.process(44100, 16);
    EXPECT_NE(osc.increment, 0u);
    osc.process(44100, 1);
    EXPECT_EQ(osc.increment, 0u);
    osc.pitchInput[0] = 0.0f;
    osc.process(44100, 1);
    EXPECT_NE(osc.increment, 0u);
}

TEST_F(OscillatorTest, HostileValuesNeverBreakTheOutput)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {nan, inf, -inf, -1.0f, 2.0f, 1e30f, -1e30f, 3.4e38f};
    const char* names[] = {"Osc1Coarse", "Osc1Fine", "Osc1Position", "Osc1Wave"};
    for (const char* name : names) {
        for (float value : values) {
            Effect local;
            WTOscillator osc(&local, "Osc1", table.get());
            osc.noteOn(127, 1);
            ::param(local, name) = value;
            for (int count = 1; count <= kSubBlock; ++count) {
                for (float& m : osc.pitchInput)
                    m = values[count % 8];
                for (float& m : osc.positionInput)
                    m = values[(count + 3) % 8];
                for (int rate : {44100, 8000, 0, -1, 192000}) {
                    osc.process(rate, count);
                    for (int j = 0; j < count; ++j)
                        ASSERT_TRUE(std::isfinite(osc.output[j])) << name << "=" << value << " count " << count;
                    ASSERT_GE(osc.waveChoice, 0);
                    ASSERT_LE(osc.waveChoice, 8);
                    ASSERT_GE(osc.harmonicLimit, 0);
                    ASSERT_LE(osc.harmonicLimit, 1024);
                    ASSERT_GE(osc.level, 0);
                    ASSERT_LT(osc.level, WaveTable::kLevelCount);
                    ASSERT_GE(osc.smoothedPosition, 0.0f);
                    ASSERT_LE(osc.smoothedPosition, 1.0f);
                }
            }
        }
    }
}

TEST_F(OscillatorTest, NonFiniteTuningDoesNotStickInTheSmoothers)
{
    WTOscillator osc(&effect, "Osc1", table.get());
    osc.noteOn(69, 1);
    param("Osc1Coarse") = std::nanf("");
    param("Osc1Fine") = std::numeric_limits<float>::infinity();
    run(osc, 3);
    EXPECT_EQ(osc.frequency(0.0f), 440.0f);
    param("Osc1Coarse") = 1.0f;
    param("Osc1Fine") = 0.5f;
    run(osc, 40);
    EXPECT_EQ(osc.frequency(0.0f), 1760.0f);
    // Finite nonsense goes through the rule and ends at 0 Hz, not NaN.
    param("Osc1Coarse") = 1e30f;
    run(osc, 1);
    EXPECT_EQ(osc.frequency(0.0f), 0.0f);
    EXPECT_EQ(osc.frequency(std::nanf("")), 0.0f);
}
