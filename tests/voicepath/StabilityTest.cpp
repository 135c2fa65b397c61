// A minute of audio through the whole signal path while the parameters jump
// around, including values no knob produces (NaN, infinities, huge numbers,
// cutoff modulation far below zero): a finite input must never give a
// non-finite sample anywhere along the path.

#include "VoiceRoutes.h"
#include "dsp/Amplifier.h"
#include "dsp/Mixer.h"
#include "dsp/ModMatrix.h"
#include "dsp/SVFilter.h"
#include "dsp/Saturator.h"
#include "tests/support/Feed.h"
#include "tests/support/Param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace Vorn;

namespace {

struct VoicePath : StandInInputs {
    VoicePath()
        : ampEnv(&effect, "AmpEnv"),
          modEnv(&effect, "ModEnv"),
          lfo1(&effect, "LFO1"),
          lfo2(&effect, "LFO2"),
          mod(&effect, "Mod"),
          osc1(&effect, "Osc1"),
          osc2(&effect, "Osc2"),
          mixer(&effect, "Mixer", &osc1, &osc2),
          saturator(&effect, "Saturator", &mixer),
          filter(&effect, "Filter", &saturator),
          amplifier(&effect, "Amplifier", &filter, &ampEnv)
    {
        addVoiceRoutes(mod, modEnv, lfo1, lfo2, filter, mixer);
    }
    void process(int count)
    {
        for (Module* m : std::initializer_list<Module*>{&mod, &mixer, &saturator, &filter, &amplifier})
            m->process(44100, count);
    }

    Effect effect;
    Feed ampEnv, modEnv, lfo1, lfo2;
    ModMatrix mod;
    Feed osc1, osc2;
    Mixer mixer;
    Saturator saturator;
    SVFilter filter;
    Amplifier amplifier;
};

} // namespace

TEST(VoicePathStability, MinuteOfExtremeParametersStaysFinite)
{
    VoicePath voice;
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();

    // Parameters whose value only steers a clamp or a sine may also get huge
    // finite values; the ones that multiply the signal (ring, drive, gain)
    // get non-finite or moderate ones, since two huge gains in a row would
    // overflow any float path.
    const char* steering[] = {"FilterCutoff",  "FilterMode",   "FilterResonance", "MixerBalance", "ModL1Cutoff",
                              "ModMCutoff",    "ModL1Balance", "ModMBalance",     "ModL2Pitch",   "ModMPitch",
                              "ModL2Position", "ModMPosition", "ModMLFOAmp"};
    const char* gains[] = {"MixerRingMod", "SaturatorDrive", "AmplifierGain", "ModMRingMod"};
    const float steeringValues[] = {nan, inf, -inf, 1e30f, -1e30f, 1e6f, -50.0f, 0.0f, 1.0f, 0.99f, 0.01f};
    const float gainValues[] = {nan, inf, -inf, 0.0f, 0.5f, 1.0f, -1.0f, 2.0f};

    std::vector<float*> steer, gain;
    for (const char* name : steering)
        steer.push_back(&param(voice.effect, name));
    for (const char* name : gains)
        gain.push_back(&param(voice.effect, name));

    long samples = 0;
    long nonFinite = 0;
    double peakState = 0.0;
    while (samples < 60L * 44100L) {
        // Every few blocks, shake some parameters.
        if (rng() % 4 == 0) {
            float* p = steer[rng() % steer.size()];
            *p = rng() % 2 ? steeringValues[rng() % std::size(steeringValues)] : 3.0f * unit(rng);
            float* g = gain[rng() % gain.size()];
            *g = rng() % 2 ? gainValues[rng() % std::size(gainValues)] : 2.0f * unit(rng);
        }
        const int count = 1 + static_cast<int>(rng() % kSubBlock);
        for (int j = 0; j < count; ++j) {
            voice.osc1.output[j] = unit(rng);
            voice.osc2.output[j] = 0.5f + 0.5f * unit(rng); // with DC, as a ring product has
            voice.lfo1.output[j] = unit(rng);
            voice.lfo2.output[j] = unit(rng);
            voice.modEnv.output[j] = 0.5f + 0.5f * unit(rng);
            voice.ampEnv.output[j] = 0.5f + 0.5f * unit(rng);
        }
        voice.process(count);
        for (int j = 0; j < count; ++j) {
            if (!std::isfinite(voice.mixer.output[j]) || !std::isfinite(voice.saturator.output[j]) ||
                !std::isfinite(voice.filter.output[j]) || !std::isfinite(voice.amplifier.output[j]))
                ++nonFinite;
        }
        peakState = std::max(peakState, std::fabs(voice.filter.lowPass()) + std::fabs(voice.filter.bandPass()));
        samples += count;
    }
    EXPECT_EQ(nonFinite, 0);
    EXPECT_TRUE(std::isfinite(peakState));
    // With moderate gains the mix stays within a few units and the filter
    // peaks at about 1 / damping; nothing accumulates beyond that.
    EXPECT_LT(peakState, 1e6);
}
