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
    // The highest feedback the loop runs at. With the break frequency
    // swept, every change of the sections' coefficient can feed the loop a
    // little more than it had; at a feedback close to 1 that is more than a
    // pass round the loop loses, and the sound grows without end: from
    // about 0.99997 up at 44.1 kHz, and at low sample rates, where the
    // coefficient takes bigger steps, from 0.9996 (11 kHz) and 0.999 (8 kHz)
    // for some fast, deep sweeps. Even a still coefficient at 1 never lets
    // go of what the loop holds. At this limit every setting dies away at
    // every sample rate from 8 kHz up; settings below it play as they
    // always did.
    static constexpr float kFeedbackLimit = 0.998f;

    Phaser(Effect* owner, const char* name, const Module* input, const WaveTable* waveTable);
    void process(int sampleRate, int count) override;
    int format(const float* param, float value, char* text, std::size_t size) override;

    // The all-pass coefficient of the last processed block.
    float coefficient() const { return stages_[0].coefficient; }
    // Silence in the sections and the feedback path; the LFO runs on.
    void reset();

    // process() in three parts, so that the effects after this one can run
    // in the same sample loop: the chain of sections is one long dependent
    // sequence per sample, and their independent work fits in its shadow.
    // begin() does the per-block work and hands out the block's settings
    // and state, step() renders one sample, end() keeps the state.
    struct Run {
        bool bypass;
        float a;
        float feedback;
        float dry;
        float wet;
        float feedbackSample;
        float lastInput[kStageCount];
        float lastOutput[kStageCount];
    };
    Run begin(int sampleRate, int count);
    static float step(Run& run, float in)
    {
        if (run.bypass)
            return in;
        const float a = run.a;
        float y = run.feedback * run.feedbackSample + in;
        // Unrolled, the sections' state stays in registers; as arrays in
        // memory every section would wait on a store and its reload.
#pragma GCC unroll 6
        for (int k = 0; k < kStageCount; ++k) {
            const float out = a * y + run.lastInput[k] - a * run.lastOutput[k];
            run.lastInput[k] = y;
            run.lastOutput[k] = out;
            y = out;
        }
        run.feedbackSample = y;
        return in * run.dry + y * run.wet;
    }
    void end(const Run& run);

    const Module* input() const
    {
        return input_;
    }

private:
    struct AllPass {
        float coefficient = 0.5f;
        float lastInput = 0.0f;
        float lastOutput = 0.0f;
    };

    bool stateIsFinite() const;

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
