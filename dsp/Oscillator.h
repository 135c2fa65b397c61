#pragma once
// The common base of the oscillators: coarse and fine tuning, the note that
// is playing and the rule that turns them (plus a linear pitch offset from
// the modulation matrix) into a frequency in Hz.

#include "dsp/Module.h"
#include "dsp/ParamSmoother.h"

#include <cstdint>
#include <limits>

namespace Vorn {

class Oscillator : public Module, public MIDIListener {
public:
    Oscillator(Effect* owner, const char* name);

    int format(const float* param, float value, char* text, std::size_t size) override;
    // Steps the coarse and fine smoothers; every subclass calls this first.
    void process(int sampleRate, int count) override;

    void controlChange(int, int) override {}
    void noteOff(int) override {}
    // The phase runs freely: a note only changes the pitch.
    void noteOn(int note, int velocity) override;

    // The current frequency in Hz for a pitch modulation value (kHz offset);
    // never NaN, infinite or negative.
    float frequency(float modulation) const;

    float* coarse;
    float* fine;
    float pitchInput[kSubBlock];
    uint8_t note = 60;
    ParamSmoother coarseSmoother;
    ParamSmoother fineSmoother;

protected:
    // process() and frequency() in one step, for the subclasses' process():
    // steps the smoothers and returns the frequency they then give.
    float advance(float modulation);

private:
    float frequencyFrom(float coarseValue, float fineValue, float modulation) const;

    // The power of two is the costly step and the pitch rarely changes once
    // the smoothers have settled, so its last result is kept.
    mutable float lastCoarse_ = std::numeric_limits<float>::quiet_NaN();
    mutable float lastFine_ = std::numeric_limits<float>::quiet_NaN();
    mutable uint8_t lastNote_ = 0;
    mutable float lastPitchSum_ = 0.0f;
    mutable float lastPitch_ = std::numeric_limits<float>::quiet_NaN();
    mutable float lastFrequency_ = 0.0f;
};

} // namespace Vorn
