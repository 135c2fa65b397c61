#pragma once
// A low-frequency oscillator playing one of the shared waves, either at a
// free rate (0.1 Hz to 50 Hz) or at a division of the host tempo, locked to
// the host's song position once per host block.

#include "dsp/Module.h"
#include "dsp/PhaseAccumulator.h"

#include <cstdint>

namespace Vorn {

class WaveTable;

class LFO : public Module, public MIDIListener {
public:
    LFO(Effect* owner, const char* name, const WaveTable* table);

    int format(const float* param, float value, char* text, std::size_t size) override;
    void prepare() override;
    void process(int sampleRate, int count) override;

    void controlChange(int controller, int value) override;
    void noteOff(int note) override;
    void noteOn(int note, int velocity) override;

    uint32_t phase() const { return phase_.phase; }

    // Tells the LFO that its output is read only through modulation routes
    // with these depths. While every one of them is exactly 0 no route adds
    // anything, so the LFO only advances its phase and leaves its output
    // buffer as it was. An LFO told of no reader always renders.
    void addOutputReader(const float* depth);
    // For a reader that takes only the middle sample of each sub-block
    // (count / 2): the LFO then computes that sample alone, as the frame
    // loop would have, and advances its phase over the whole sub-block.
    void setMiddleOnly(bool middleOnly) { middleOnly_ = middleOnly; }

    // Written by the modulation matrix; the LFO's amplitude is not
    // modulated, so nothing here reads it.
    float amplitudeInput[kSubBlock];

private:
    // The per-frame phase step for the current settings and transport.
    uint32_t increment(int sampleRate) const;
    uint32_t computeIncrement(int sampleRate) const;

    static constexpr int kMaxReaders = 4;
    const float* readers_[kMaxReaders] = {};
    int readerCount_ = 0;
    bool outputUnread() const;
    bool middleOnly_ = false;

    const float* reset_;
    const float* speed_;
    const float* sync_;
    const float* wave_;
    PhaseAccumulator phase_;
    // The last step and what it was computed from (NaN never matches, so a
    // NaN setting is worked out afresh each time).
    mutable int lastRate_ = -1;
    mutable float lastSync_ = 0.0f;
    mutable float lastSpeed_ = 0.0f;
    mutable float lastTempo_ = 0.0f;
    mutable uint32_t lastIncrement_ = 0;
    const WaveTable* table_;
};

} // namespace Vorn
