#pragma once
// A four-segment linear envelope (attack, decay, sustain, release) with an
// output between 0 and 1. Every note-on restarts it from zero; the voice
// engine treats a voice whose amplitude envelope is idle as free.

#include "dsp/Module.h"

namespace Vorn {

class ADSREnvelope : public MIDIListener, public Module {
public:
    // The numeric values are part of the contract with the voice engine,
    // which looks for kIdle.
    enum Stage { kAttack = 0, kDecay = 1, kSustain = 2, kRelease = 3, kIdle = 4 };

    ADSREnvelope(Effect* owner, const char* name);

    void controlChange(int controller, int value) override;
    void noteOff(int note) override;
    void noteOn(int note, int velocity) override;

    void process(int sampleRate, int count) override;

    // Ends at once, without a release: the voice falls idle.
    void stop()
    {
        stage_ = kIdle;
        level_ = 0.0f;
    }
    bool idle() const { return stage_ == kIdle; }
    int stage() const { return stage_; }
    float level() const { return level_; }

private:
    const float* attack_;
    const float* decay_;
    const float* sustain_;
    const float* release_;
    float level_ = 0.0f;
    int stage_ = kIdle;

    // The steps follow from the rate and three knobs alone, which mostly
    // hold still; they are worked out again only when one of those moved.
    void updateSteps(int sampleRate);
    int stepsRate_ = -1;
    float stepsAttack_ = 0.0f;
    float stepsDecay_ = 0.0f;
    float stepsRelease_ = 0.0f;
    float attackStep_ = 0.0f;
    float decayStep_ = 0.0f;
    float releaseStep_ = 0.0f;
};

} // namespace Vorn
