#pragma once
// A Synth built directly, with a host callback that answers the version and
// supplies a steady transport.

#include "plugin/Synth.h"

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

    std::vector<float> render(int frames, int block = 512)
    {
        std::vector<float> out;
        std::vector<float> left(static_cast<std::size_t>(block)), right(static_cast<std::size_t>(block));
        for (int done = 0; done < frames; done += block) {
            const int n = std::min(block, frames - done);
            float* outputs[2] = {left.data(), right.data()};
            synth->processReplacing(nullptr, outputs, n);
            out.insert(out.end(), left.begin(), left.begin() + n);
        }
        return out;
    }

    int index(const char* name) { return synth->findParameter(name); }

    std::unique_ptr<Synth> synth;
};
