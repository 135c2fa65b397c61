// The whole instrument at each level of the fast paths against its plain
// form: a patch that takes every one of them (the oscillators' table loops,
// the saturator's whole-block kernel, its vector resamplers and shaper, the
// filters side by side, the reducer's rounding), played in chords that
// steal voices, with blocks of odd lengths and a drive that comes and goes.

#include "plugin/Synth.h"

#include "Levels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

using namespace Vorn;

namespace {

VstIntPtr VST_CALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Setting {
    const char* name;
    float value;
};

const Setting kPatch[] = {
    {"Osc1Position", 0.3f},    {"Osc2Position", 0.6f},  {"Osc2Coarse", 0.75f},    {"Osc1Wave", 0.375f},
    {"MixerRingMod", 0.4f},    {"MixerBalance", 0.3f},  {"SaturatorDrive", 0.5f}, {"FilterCutoff", 0.5f},
    {"FilterResonance", 0.5f}, {"AmpEnvAttack", 0.05f}, {"AmpEnvRelease", 0.3f},  {"ModEnvAttack", 0.2f},
    {"ModEnvDecay", 0.3f},     {"ModEnvSustain", 0.4f}, {"LFO1Speed", 0.3f},      {"LFO2Speed", 0.2f},
    {"ModL1Cutoff", 0.5f},     {"ModL2Pitch", 0.1f},    {"ModL2Position", 0.4f},  {"ModMCutoff", 0.5f},
    {"DigiCrush", 0.3f},       {"DigiRate", 0.05f},     {"PhaserWet", 0.5f},      {"ChorusWet", 0.5f},
    {"DelayWet", 0.3f},
};

std::vector<float> render()
{
    auto synth = std::make_unique<Synth>(quietHost);
    for (const Setting& s : kPatch) {
        const int index = synth->findParameter(s.name);
        EXPECT_GE(index, 0) << s.name;
        synth->setParameter(index, s.value);
    }
    const int drive = synth->findParameter("SaturatorDrive");
    const int mode = synth->findParameter("FilterMode");
    const int blocks[] = {512, 100, 37, 1, 16, 250};
    std::vector<float> left(512), right(512), out;
    for (int b = 0; b < 240; ++b) {
        if (b % 20 == 0) {
            // A chord of eight notes: six voices sound, two are stolen.
            for (int i = 0; i < 8; ++i)
                synth->noteOn(40 + 5 * i + b / 20, 90);
        }
        if (b % 20 == 12)
            for (int i = 0; i < 8; ++i)
                synth->noteOff(40 + 5 * i + b / 20);
        if (b % 30 == 10)
            synth->setParameter(drive, b % 60 == 10 ? 0.0f : 0.8f);
        if (b % 50 == 25)
            synth->setParameter(mode, static_cast<float>(b % 4) / 3.0f);
        const int n = blocks[b % 6];
        float* outputs[2] = {left.data(), right.data()};
        synth->processReplacing(nullptr, outputs, n);
        out.insert(out.end(), left.begin(), left.begin() + n);
    }
    return out;
}

} // namespace

using WholeInstrument = AtLevel;

TEST_P(WholeInstrument, RendersThePlainFormsBits)
{
    std::vector<float> plain;
    plainly([&] { plain = render(); });
    const std::vector<float> fast = render();
    ASSERT_EQ(fast.size(), plain.size());
    EXPECT_GT(*std::max_element(plain.begin(), plain.end()), 0.01f); // it does sound
    EXPECT_EQ(std::memcmp(fast.data(), plain.data(), sizeof(float) * plain.size()), 0);
}

AT_LEVELS(WholeInstrument, InstructionSet::Sse2, InstructionSet::Sse41, InstructionSet::Avx2, InstructionSet::Avx512);
