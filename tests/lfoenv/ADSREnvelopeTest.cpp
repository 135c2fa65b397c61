#include "dsp/ADSREnvelope.h"
#include "tests/support/Param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace Vorn;

namespace {

constexpr int kRate = 44100;

struct EnvelopeFixture : ::testing::Test {
    Effect effect;
    ADSREnvelope env{&effect, "AmpEnv"};

    float& param(const char* name) { return ::param(effect, (std::string("AmpEnv") + name).c_str()); }

    // Renders single frames until `done` holds; returns the number of frames
    // rendered, or -1 if it never happened within `limit` frames.
    template <typename Done>
    int framesUntil(Done done, int limit)
    {
        for (int n = 1; n <= limit; ++n) {
            env.process(kRate, 1);
            if (done())
                return n;
        }
        return -1;
    }

    std::vector<float> render(int frames)
    {
        std::vector<float> out;
        while (frames > 0) {
            const int n = frames < kSubBlock ? frames : kSubBlock;
            env.process(kRate, n);
            out.insert(out.end(), env.output, env.output + n);
            frames -= n;
        }
        return out;
    }
};

} // namespace

TEST_F(EnvelopeFixture, RegistersItsFourParametersInOrderWithDefaults)
{
    ASSERT_EQ(effect.parameterCount(), 4);
    const char* names[] = {"AmpEnvAttack", "AmpEnvDecay", "AmpEnvSustain", "AmpEnvRelease"};
    const float defaults[] = {0.0f, 0.0f, 1.0f, 0.0f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(effect.parameter(i).name, names[i]);
        EXPECT_EQ(effect.parameter(i).defaultValue, defaults[i]);
        EXPECT_EQ(effect.parameter(i).owner, static_cast<Module*>(&env));
    }
    char text[16];
    EXPECT_EQ(env.format(&param("Sustain"), 0.5f, text, sizeof text), 4);
    EXPECT_STREQ(text, "0.50");
}

TEST_F(EnvelopeFixture, StartsIdleAndSilentAndIgnoresNoteOffWhileIdle)
{
    EXPECT_TRUE(env.idle());
    EXPECT_EQ(env.stage(), 4);
    for (float& s : env.output)
        s = 7.0f;
    env.noteOff(60);
    EXPECT_TRUE(env.idle());
    env.process(kRate, 3);
    EXPECT_EQ(env.output[0], 0.0f);
    EXPECT_EQ(env.output[2], 0.0f);
    EXPECT_EQ(env.output[3], 7.0f); // beyond count: untouched
    EXPECT_TRUE(env.idle());
}

TEST_F(EnvelopeFixture, DefaultsRunTheShortestAttackAndRelease)
{
    env.noteOn(60, 100);
    EXPECT_FALSE(env.idle());
    EXPECT_EQ(env.stage(), ADSREnvelope::kAttack);
    // The attack step is (1 / 176400) / 0.001: 177 frames reach full scale.
    float previous = 0.0f;
    int attackFrames = framesUntil(
        [&] {
            EXPECT_GT(env.output[0], previous);
            previous = env.output[0];
            return env.stage() != ADSREnvelope::kAttack;
        },
        1000);
    EXPECT_EQ(attackFrames, 177);
    EXPECT_EQ(env.output[0], 1.0f);
    EXPECT_EQ(env.stage(), ADSREnvelope::kDecay);
    // The first decay frame lands on a sustain of 1.
    env.process(kRate, 1);
    EXPECT_EQ(env.output[0], 1.0f);
    EXPECT_EQ(env.stage(), ADSREnvelope::kSustain);
    std::vector<float> held = render(1000);
    for (float v : held)
        ASSERT_EQ(v, 1.0f);

    env.noteOff(60);
    EXPECT_EQ(env.stage(), ADSREnvelope::kRelease);
    EXPECT_FALSE(env.idle());
    previous = 1.0f;
    int releaseFrames = framesUntil(
        [&] {
            EXPECT_LE(env.output[0], previous);
            EXPECT_GE(env.output[0], 0.0f);
            previous = env.output[0];
            return env.idle();
        },
        5000);
    // 16 ms at 44.1 kHz.
    EXPECT_GE(releaseFrames, 705);
    EXPECT_LE(releaseFrames, 707);
    EXPECT_EQ(env.output[0], 0.0f);
    env.process(kRate, 1);
    EXPECT_TRUE(env.idle());
    EXPECT_EQ(env.output[0], 0.0f);
}

TEST_F(EnvelopeFixture, LongestSegmentsScaleWithTheSquareOfTheKnob)
{
    // Tiny steps summed in single precision drift by a fraction of a percent.
    param("Attack") = 1.0f;
    env.noteOn(60, 100);
    int attackFrames = framesUntil([&] { return env.stage() != ADSREnvelope::kAttack; }, 200000);
    EXPECT_NEAR(attackFrames, 4 * kRate, 4 * kRate / 100); // 4 s

    param("Attack") = 0.5f; // 0.25 s of the 4 s
    env.noteOn(60, 100);
    attackFrames = framesUntil([&] { return env.stage() != ADSREnvelope::kAttack; }, 200000);
    EXPECT_NEAR(attackFrames, kRate, kRate / 100);

    param("Release") = 1.0f; // full-scale fall in 16 s
    env.noteOff(60);
    int releaseFrames = framesUntil([&] { return env.idle(); }, 20 * kRate);
    EXPECT_NEAR(releaseFrames, 16 * kRate, 16 * kRate / 100);
}

TEST_F(EnvelopeFixture, DecayHoldsExactlyAtTheSustainLevel)
{
    param("Sustain") = 0.5f;
    param("Decay") = 1.0f;
    env.noteOn(60, 100);
    // Two seconds of decay, give or take the rounding of the summed steps.
    std::vector<float> out = render(177 + 2 * kRate + kRate / 50);
    // Still falling shortly before the two seconds of decay are over...
    const float early = out[177 + 2 * kRate - 500];
    EXPECT_GT(early, 0.5f);
    EXPECT_LT(early, 0.51f);
    // ... and exactly at the sustain level afterwards.
    EXPECT_EQ(out.back(), 0.5f);
    EXPECT_EQ(env.stage(), ADSREnvelope::kSustain);
    for (std::size_t i = 177; i < out.size(); ++i)
        ASSERT_GE(out[i], 0.5f) << i;

    // A later change of the knob does not move a level already held.
    param("Sustain") = 0.8f;
    out = render(kRate);
    EXPECT_EQ(out.back(), 0.5f);
}

TEST_F(EnvelopeFixture, SustainOfZeroStaysSoundingUntilNoteOff)
{
    param("Sustain") = 0.0f;
    env.noteOn(60, 100);
    render(177 + 177);
    EXPECT_EQ(env.stage(), ADSREnvelope::kSustain);
    EXPECT_EQ(env.level(), 0.0f);
    EXPECT_FALSE(env.idle());
    render(kRate);
    EXPECT_FALSE(env.idle());
    env.noteOff(60);
    env.process(kRate, 1);
    EXPECT_TRUE(env.idle());
}

TEST_F(EnvelopeFixture, NoteOffDuringAttackReleasesFromTheLevelReached)
{
    env.noteOn(60, 100);
    render(53); // about 0.3
    const float reached = env.level();
    EXPECT_NEAR(reached, 0.3f, 0.01f);
    env.noteOff(60);
    env.process(kRate, 1);
    EXPECT_LT(env.output[0], reached);
    EXPECT_GT(env.output[0], reached - 0.01f);
    EXPECT_EQ(env.stage(), ADSREnvelope::kRelease);
}

TEST_F(EnvelopeFixture, NoteOnRetriggersFromZeroEvenDuringRelease)
{
    env.noteOn(60, 100);
    env.process(kRate, 1);
    const float firstStep = env.output[0];
    render(400);
    env.noteOff(60);
    render(100);
    ASSERT_GT(env.level(), 0.5f);
    env.noteOn(62, 1);
    EXPECT_EQ(env.stage(), ADSREnvelope::kAttack);
    env.process(kRate, 1);
    EXPECT_EQ(env.output[0], firstStep);

    // The same from Idle and from Sustain.
    render(200);
    ASSERT_EQ(env.stage(), ADSREnvelope::kSustain);
    env.noteOn(64, 127);
    env.process(kRate, 1);
    EXPECT_EQ(env.output[0], firstStep);
}

TEST_F(EnvelopeFixture, HostileParameterValuesKeepTheOutputALevel)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(), inf, -inf, -1.0f, 2.0f};
    const char* names[] = {"Attack", "Decay", "Sustain", "Release"};
    for (const char* name : names) {
        for (float value : hostile) {
            SCOPED_TRACE(std::string(name) + " = " + std::to_string(value));
            param("Attack") = 0.0f;
            param("Decay") = 0.0f;
            param("Sustain") = 1.0f;
            param("Release") = 0.0f;
            // A finite sustain outside 0..1 is a level of its own (tested above).
            if (std::string(name) == "Sustain" && std::isfinite(value))
                continue;
            param(name) = value;
            env.noteOn(60, 100);
            // Attack, decay, then a while of sustain: at most 4 s + 4 s.
            std::vector<float> out = render(9 * kRate);
            for (float v : out)
                ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << v;
            EXPECT_EQ(env.stage(), ADSREnvelope::kSustain);
            env.noteOff(60);
            // The slowest release takes 16 s.
            int frames = framesUntil([&] { return !(env.output[0] >= 0.0f && env.output[0] <= 1.0f) || env.idle(); },
                                     17 * kRate);
            EXPECT_GT(frames, 0);
            EXPECT_TRUE(env.idle());
        }
    }
}

TEST_F(EnvelopeFixture, FiniteSustainIsUnclampedAndNonFiniteIsHeldToFullScale)
{
    param("Sustain") = 2.0f;
    env.noteOn(60, 100);
    render(400);
    EXPECT_EQ(env.level(), 2.0f);
    param("Sustain") = -1.0f;
    env.noteOn(60, 100);
    render(4000);
    EXPECT_EQ(env.level(), -1.0f);
    EXPECT_EQ(env.stage(), ADSREnvelope::kSustain);
    param("Sustain") = std::nanf("");
    env.noteOn(60, 100);
    render(4000);
    EXPECT_EQ(env.level(), 0.0f);
    param("Sustain") = INFINITY;
    env.noteOn(60, 100);
    render(400);
    EXPECT_EQ(env.level(), 1.0f);
}

TEST_F(EnvelopeFixture, KnobChangesActFromTheNextBlock)
{
    param("Attack") = 1.0f;
    env.noteOn(60, 100);
    env.process(kRate, 16);
    const float slow = env.output[15];
    param("Attack") = 0.0f;
    env.process(kRate, 1);
    EXPECT_GT(env.output[0] - slow, 0.005f);
}
