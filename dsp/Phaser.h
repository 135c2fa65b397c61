#pragma once
// Six first-order all-pass sections in series whose shared break frequency
// a sine LFO sweeps, with feedback around the chain and a dry/wet crossfade.

#include "dsp/Module.h"
#include "dsp/PhaseAccumulator.h"

namespace Vorn {

class WaveTable;

class Phaser : public Module {
public:
    static constexpr int kStageCount = 6;

    Phaser(Effect* owner, const char* name, const Module* input, const WaveTable* waveTable);
    void process(int sampleRate, int count) override;
    int format(const float* param, float value, char* text, std::size_t size) override;

    // The all-pass coefficient of the last processed block.
    float coefficient() const { return stages_[0].coefficient; }

private:
    struct AllPass {
        float coefficient = 0.5f;
        float lastInput = 0.0f;
        float lastOutput = 0.0f;
    };

    bool stateIsFinite() const;
    void clearState();

    const float* center_;
    const float* feedback_;
    const float* modDepth_;
    const float* modRate_;
    const float* wet_;
    AllPass stages_[kStageCount];
    const Module* input_;
    PhaseAccumulator lfoPhase_{10};
    const WaveTable* waveTable_;
    float feedbackSample_ = 0.0f;
};

} // namespace Vorn
