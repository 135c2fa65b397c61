#include "dsp/Phaser.h"
#include "dsp/WaveTable.h"

#include "EffectRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace Vorn;
using namespace EffectsTest;

namespace {

struct PhaserRig {
    std::shared_ptr<const WaveTable> table = keptTable();
    Effect effect;
    Feed feed{&effect};
    Phaser phaser{&effect, "Phaser", &feed, table.get()};
};

float coefficientFor(float x)
{
    const float t = std::tan(x * 3.14159265f);
    return (t - 1.0f) / (t + 1.0f);
}

std::vector<float> sine(std::size_t length, double cyclesPerSample)
{
    std::vector<float> v(length);
    for (std::size_t i = 0; i < length; ++i)
        v[i] = static_cast<float>(std::sin(2.0 * 3.141592653589793 * cyclesPerSample * static_cast<double>(i)));
    return v;
}

double rms(const std::vector<float>& v, std::size_t from)
{
    double sum = 0.0;
    for (std::size_t i = from; i < v.size(); ++i)
        sum += static_cast<double>(v[i]) * static_cast<double>(v[i]);
    return std::sqrt(sum / static_cast<double>(v.size() - from));
}

} // namespace

TEST(Phaser, RegistersItsFiveParametersInOrderWithDefaults)
{
    PhaserRig rig;
    const char* names[] = {"PhaserCenter", "PhaserFeedback", "PhaserModDepth", "PhaserModRate", "PhaserWet"};
    const float defaults[] = {0.15f, 0.5f, 0.25f, 0.25f, 0.0f};
    ASSERT_EQ(rig.effect.parameterCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rig.effect.parameter(i).name, names[i]);
        EXPECT_EQ(rig.effect.parameter(i).defaultValue, defaults[i]);
    }
}

TEST(Phaser, DryIsIdenticalToInputAndFreezesEverything)
{
    // One phaser idles at Wet 0 through a long stretch of noise, the other
    // never sees it; once both turn wet they must agree sample for sample.
    PhaserRig idle, fresh;
    const std::vector<float> in = noise(44100, 2);
    EXPECT_EQ(run(idle.feed, idle.phaser, in), in);
    for (PhaserRig* rig : {&idle, &fresh}) {
        param(rig->effect, "PhaserWet") = 0.6f;
        param(rig->effect, "PhaserModRate") = 1.0f;
    }
    const std::vector<float> later = noise(4000, 9);
    const std::vector<float> a = run(idle.feed, idle.phaser, later);
    EXPECT_EQ(a, run(fresh.feed, fresh.phaser, later));
    EXPECT_NE(a, later);
}

TEST(Phaser, FullyWetWithoutFeedbackPassesEveryFrequencyAtUnitGain)
{
    for (double frequency : {0.002, 0.01, 0.03, 0.08, 0.15, 0.25, 0.4, 0.48}) {
        PhaserRig rig;
        param(rig.effect, "PhaserWet") = 1.0f;
        param(rig.effect, "PhaserFeedback") = 0.0f;
        param(rig.effect, "PhaserModDepth") = 0.0f;
        const std::vector<float> in = sine(20000, frequency);
        const std::vector<float> out = run(rig.feed, rig.phaser, in);
        EXPECT_NEAR(rms(out, 10000) / rms(in, 10000), 1.0, 2e-3) << frequency;
    }
}

TEST(Phaser, HalfWetCutsNotchesThatFullyWetDoesNot)
{
    // The same check as above must be able to fail: mixed with the dry
    // signal, the chain's phase shift cancels some frequencies.
    double deepest = 1.0;
    for (int k = 1; k < 100; ++k) {
        PhaserRig rig;
        param(rig.effect, "PhaserWet") = 0.5f;
        param(rig.effect, "PhaserFeedback") = 0.0f;
        param(rig.effect, "PhaserModDepth") = 0.0f;
        const std::vector<float> in = sine(8000, 0.005 * k);
        deepest = std::min(deepest, rms(run(rig.feed, rig.phaser, in), 4000) / rms(in, 4000));
    }
    EXPECT_LT(deepest, 0.05);
}

TEST(Phaser, BreakFrequencyClampsToItsRange)
{
    PhaserRig rig;
    param(rig.effect, "PhaserWet") = 1.0f;
    param(rig.effect, "PhaserCenter") = 0.0f;
    param(rig.effect, "PhaserModDepth") = 0.0f;
    rig.feed.output[0] = 0.0f;
    rig.phaser.process(44100, 1);
    EXPECT_EQ(rig.phaser.coefficient(), coefficientFor(0.001f));

    param(rig.effect, "PhaserCenter") = 3.0f;
    rig.phaser.process(44100, 1);
    EXPECT_EQ(rig.phaser.coefficient(), coefficientFor(0.3f));

    // Centre and depth at full: the sweep touches 0.3 at the LFO's crest
    // and goes no further; the LFO trough gives 0.1.
    param(rig.effect, "PhaserCenter") = 1.0f;
    param(rig.effect, "PhaserModDepth") = 1.0f;
    param(rig.effect, "PhaserModRate") = 1.0f;
    float lowest = 1.0f, highest = -1.0f;
    for (int i = 0; i < 11025 / 16 + 2; ++i) {
        rig.phaser.process(44100, 16);
        lowest = std::min(lowest, rig.phaser.coefficient());
        highest = std::max(highest, rig.phaser.coefficient());
    }
    EXPECT_LE(highest, coefficientFor(0.3f));
    EXPECT_NEAR(highest, coefficientFor(0.3f), 1e-3f);
    EXPECT_NEAR(lowest, coefficientFor(0.1f), 1e-3f);

    // Not a number falls to the bottom of the range.
    param(rig.effect, "PhaserCenter") = std::nanf("");
    rig.phaser.process(44100, 1);
    EXPECT_EQ(rig.phaser.coefficient(), coefficientFor(0.001f));
}

TEST(Phaser, CoefficientDependsOnlyOnSettingsNotOnSampleRate)
{
    PhaserRig a, b;
    for (PhaserRig* rig : {&a, &b}) {
        param(rig->effect, "PhaserWet") = 1.0f;
        param(rig->effect, "PhaserModRate") = 0.0f;
    }
    a.phaser.process(44100, 16);
    b.phaser.process(96000, 16);
    // LFO at phase 0 reads 0: x = 0.15 * 0.2.
    EXPECT_EQ(a.phaser.coefficient(), coefficientFor(0.15f * 0.2f));
    EXPECT_EQ(b.phaser.coefficient(), a.phaser.coefficient());
}

TEST(Phaser, AtFullFeedbackEverySweepDiesAwayAtEverySampleRate)
{
    // The swept sections feed the loop a little on every change of their
    // coefficient: at feedback 1 the sound grew without end, fastest with
    // quick, deep sweeps and at the lowest sample rates. Among them the
    // two sweeps that grew at 8 kHz even at a feedback of 0.999.
    const std::pair<float, float> sweeps[] = {{0.0f, 1.0f}, {0.07f, 0.9f}, {0.42f, 1.0f}, {1.0f, 1.0f}};
    for (const int rate : {8000, 11025, 44100}) {
        for (const auto& [center, depth] : sweeps) {
            for (const float sweep : {0.6f, 1.0f}) {
                PhaserRig r;
                param(r.effect, "PhaserCenter") = center;
                param(r.effect, "PhaserFeedback") = 1.0f;
                param(r.effect, "PhaserModDepth") = depth;
                param(r.effect, "PhaserModRate") = sweep;
                param(r.effect, "PhaserWet") = 1.0f;
                const auto seconds = [rate](int s) { return static_cast<std::size_t>(s * rate); };
                std::vector<float> input = noise(seconds(3));
                input.resize(seconds(23), 0.0f);
                const std::vector<float> out = run(r.feed, r.phaser, input, rate);
                const auto peak = [&](int from, int to) {
                    float p = 0.0f;
                    for (std::size_t i = seconds(from); i < seconds(to); ++i)
                        p = std::max(p, std::fabs(out[i]));
                    return p;
                };
                // Falling, by at least 5 dB in five seconds of silence and 10 dB in ten.
                const float early = peak(3, 8), middle = peak(8, 13), late = peak(18, 23);
                EXPECT_LT(middle, early * 0.56f) << rate << " Hz, centre " << center << ", rate " << sweep;
                EXPECT_LT(late, middle * 0.316f + 1e-30f) << rate << " Hz, centre " << center << ", rate " << sweep;
            }
        }
    }
}
