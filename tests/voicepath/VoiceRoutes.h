#pragma once
// The voice's ten modulation routes as the instrument wires them, into a real
// filter and mixer and into plain buffers that stand in for the modulation
// inputs of the oscillators (pitch, position) and of the LFOs (amplitude).

#include "dsp/Mixer.h"
#include "dsp/ModMatrix.h"
#include "dsp/SVFilter.h"

struct StandInInputs {
    float pitch1[Vorn::kSubBlock] = {}, pitch2[Vorn::kSubBlock] = {};
    float position1[Vorn::kSubBlock] = {}, position2[Vorn::kSubBlock] = {};
    float amp1[Vorn::kSubBlock] = {}, amp2[Vorn::kSubBlock] = {};

    void addVoiceRoutes(Vorn::ModMatrix& mod, Vorn::Module& modEnv, Vorn::Module& lfo1, Vorn::Module& lfo2,
                        Vorn::SVFilter& filter, Vorn::Mixer& mixer)
    {
        mod.addRoute("L1Cutoff", &lfo1, nullptr, 1, filter.cutoffInput, nullptr);
        mod.addRoute("L1Balance", &lfo1, nullptr, 1, mixer.balanceInput, nullptr);
        mod.addRoute("L2Pitch", &lfo2, nullptr, 1, pitch1, pitch2);
        mod.addRoute("L2Position", &lfo2, nullptr, 1, position1, position2);
        mod.addRoute("MCutoff", &modEnv, nullptr, 2, filter.cutoffInput, nullptr);
        mod.addRoute("MLFOAmp", &modEnv, nullptr, 1, amp1, amp2);
        mod.addRoute("MBalance", &modEnv, nullptr, 1, mixer.balanceInput, nullptr);
        mod.addRoute("MPitch", &modEnv, nullptr, 2, pitch1, pitch2);
        mod.addRoute("MPosition", &modEnv, nullptr, 1, position1, position2);
        mod.addRoute("MRingMod", &modEnv, nullptr, 1, mixer.ringModInput, nullptr);
        mod.registerDepths();
    }
};
