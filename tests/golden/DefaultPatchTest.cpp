// The default patch through the whole chain (oscillators, mixer, saturator,
// filter, amplifier, the bypassed effects): a held note comes out at its
// equal-tempered pitch as a saw, at the level the gain stages give.

#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 44100;
const double kPi = 4.0 * std::atan(1.0);

// Amplitude of the component at `hz`, from a Hann-windowed DFT.
double amplitude(const std::vector<float>& x, double hz)
{
    double re = 0.0, im = 0.0, weight = 0.0;
    const double n = double(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * double(i) / n);
        const double phase = 2.0 * kPi * hz * double(i) / kRate;
        re += w * double(x[i]) * std::cos(phase);
        im -= w * double(x[i]) * std::sin(phase);
        weight += w;
    }
    return 2.0 * std::hypot(re, im) / weight;
}

// The strongest component between lo and hi: a 1 Hz scan refined to 0.01 Hz.
double strongest(const std::vector<float>& x, double lo, double hi)
{
    double best = lo, bestAmplitude = 0.0;
    auto consider = [&](double f) {
        const double a = amplitude(x, f);
        if (a > bestAmplitude) {
            best = f;
            bestAmplitude = a;
        }
    };
    for (double f = lo; f <= hi; f += 1.0)
        consider(f);
    const double centre = best;
    for (double f = centre - 1.0; f <= centre + 1.0; f += 0.01)
        consider(f);
    return best;
}

std::vector<float> holdNote(int note)
{
    TestHost host;
    EXPECT_TRUE(host.start(float(kRate), 512));
    host.noteOn(note, 100);
    host.render(4410); // past the attack
    std::vector<float> steady = host.render(32768);
    host.close();
    return steady;
}

} // namespace

TEST(DefaultPatch, NotesSoundAtTheirPitchAsASawAtTheExpectedLevel)
{
    const struct {
        int note;
        double hz;
    } cases[] = {{57, 220.0}, {69, 440.0}, {81, 880.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE("note " + std::to_string(c.note));
        const std::vector<float> x = holdNote(c.note);
        const double f = strongest(x, c.hz * 0.8, c.hz * 1.25);
        EXPECT_NEAR(f, c.hz, 0.05);

        // Half of Osc1 in the mixer, half in the filter's pass band, unity
        // gain in the amplifier: the saw's fundamental (amplitude 1) comes
        // out at a quarter; its harmonics fall as 1/k.
        const double h1 = amplitude(x, c.hz);
        EXPECT_NEAR(h1, 0.25, 0.01);
        EXPECT_NEAR(amplitude(x, 2 * c.hz) / h1, 1.0 / 2.0, 0.03);
        EXPECT_NEAR(amplitude(x, 3 * c.hz) / h1, 1.0 / 3.0, 0.03);
        EXPECT_LT(amplitude(x, c.hz / 2), 1e-3); // no octave error, no subharmonic

        float peak = 0.0f;
        for (float v : x)
            peak = std::max(peak, std::fabs(v));
        // A band-limited saw overshoots its ramp by about 18% (Gibbs).
        EXPECT_GT(peak, 0.35f);
        EXPECT_LT(peak, 0.6f);
    }
}

TEST(DefaultPatch, ReleasedNoteFallsSilent)
{
    TestHost host;
    ASSERT_TRUE(host.start(float(kRate), 512));
    host.noteOn(69, 100);
    host.render(4410);
    host.noteOff(69);
    host.render(2205); // the default release takes 16 ms
    for (float v : host.render(4410))
        ASSERT_EQ(v, 0.0f);
    host.close();
}
