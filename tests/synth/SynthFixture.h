#pragma once
// A Synth built directly, with a host callback that answers the version and
// supplies a steady transport.

#include "plugin/Synth.h"
#include "tests/support/SynthRender.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

inline VstIntPtr VST_CALLBACK fixtureHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

class SynthFixture : public ::testing::Test {
protected:
    void SetUp() override { synth = std::make_unique<Synth>(fixtureHost); }

    std::vector<float> render(int frames, int block = 512) { return renderSynth(*synth, frames, block); }

    int index(const char* name) { return synth->findParameter(name); }

    std::unique_ptr<Synth> synth;
};
