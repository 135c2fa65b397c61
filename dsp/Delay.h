#pragma once
// Feedback echo on a 65536-sample ring; its length is free in seconds or,
// when synced, a note division of the host tempo.

#include "dsp/Module.h"
#include "dsp/NonFiniteWatch.h"
#include "dsp/UnityCeiling.h"

#include <cstdint>
#include <vector>

namespace Vorn {

class Delay : public Module {
public:
    static constexpr int kRingSize = 65536;
    // The longest echo the ring holds: a length of 65536 would read the
    // slot that is being overwritten.
    static constexpr int kLongestEcho = kRingSize - 1;

    Delay(Effect* owner, const char* name, const Module* input);
    void process(int sampleRate, int count) override;
    int format(const float* param, float value, char* text, std::size_t size) override;

    // The echo length in samples for the current settings and tempo.
    uint16_t length(int sampleRate) const;

    // process() in three parts, for running in one sample loop with the
    // effects before it (see Phaser::Run): begin() does the per-block work,
    // step() renders one sample, end() keeps the state.
    struct Run {
        float feedback;
        float ceiling; // on what the ring takes back, at a feedback of 1
        float wet;
        float dry;
        uint16_t length;
        uint16_t writeIndex;
        float* ring;
        NonFiniteWatch written;
    };
    Run begin(int sampleRate);
    static float step(Run& run, float in)
    {
        const float d = run.ring[static_cast<uint16_t>(run.writeIndex - run.length)];
        const float out = in * run.dry + run.wet * d;
        const float sample = underCeiling(d * run.feedback + in, run.ceiling);
        run.ring[run.writeIndex] = sample;
        run.written.add(sample); // once anything non-finite went in
        run.writeIndex = static_cast<uint16_t>(run.writeIndex + 1);
        return out;
    }
    void end(const Run& run);

    const Module* input() const { return input_; }
    // Silence in the ring; the write position runs on.
    void reset();

private:
    const float* feedback_;
    const float* sync_;
    const float* time_;
    const float* wet_;
    std::vector<float> ring_;
    const Module* input_;
    uint16_t writeIndex_ = 0;
    // Set when a NaN or infinity was written into the ring.
    bool ringTainted_ = false;
};

} // namespace Vorn
