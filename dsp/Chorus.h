#pragma once
// One modulated delay line of 2048 slots, read with four-point Hermite
// interpolation at about 20 ms swept by a triangle LFO, with feedback into
// the line; the delayed signal is added on top of the unchanged dry signal.

#include "dsp/Module.h"
#include "dsp/NonFiniteWatch.h"
#include "dsp/PhaseAccumulator.h"
#include "dsp/UnityCeiling.h"

#include <cstdint>

namespace Vorn {

class WaveTable;

class Chorus : public Module {
public:
    static constexpr int kLineLength = 2048;

    Chorus(Effect* owner, const char* name, const Module* input, const WaveTable* waveTable);
    void process(int sampleRate, int count) override;
    int format(const float* param, float value, char* text, std::size_t size) override;

    // The read offset, in phase units (one slot is 2^21), for a delay of
    // `seconds` at `sampleRate`: never longer than 1024 slots.
    static int32_t readOffset(float seconds, float sampleRate);

    // process() in three parts, for running in one sample loop with the
    // effects around it (see Phaser::Run): begin() does the per-block work,
    // step() renders one sample, end() keeps the state.
    struct Run {
        bool bypass;
        float wet;
        float depth;
        float feedback;
        float ceiling; // on what the line takes back, at a feedback of 1
        float sampleRate;
        uint32_t increment;
        const float* table;
        NonFiniteWatch written;
    };
    Run begin(int sampleRate);
    float step(Run& run, float in)
    {
        if (run.bypass)
            return in;
        const uint32_t lfoIndex = lfoPhase_.index();
        const uint32_t lfoNext = (lfoPhase_.phase + lfoPhase_.indexStep) >> lfoPhase_.shift;
        const float lfoFrac = lfoPhase_.fraction();
        const float lfo = run.table[lfoIndex] * (1.0f - lfoFrac) + lfoFrac * run.table[lfoNext];

        const float seconds = lfo * 0.003f * run.depth + 0.02f;
        const uint32_t slot = writePhase_.indexStep;
        const int shift = writePhase_.shift;
        const uint32_t pos = writePhase_.phase + static_cast<uint32_t>(readOffset(seconds, run.sampleRate));
        const float f = static_cast<float>(pos & writePhase_.fractionMask) * writePhase_.fractionScale;

        // Hermite interpolation between the second and third of four slots.
        const float xm1 = line_[pos >> shift];
        const float x0 = line_[(pos + slot) >> shift];
        const float x1 = line_[(pos + 2u * slot) >> shift];
        const float x2 = line_[(pos + 3u * slot) >> shift];
        const float c = (x1 - xm1) * 0.5f;
        const float v = x0 - x1;
        const float w = c + v;
        const float a = w + v + (x2 - x0) * 0.5f;
        const float b = w + a;
        const float d = ((a * f - b) * f + c) * f + x0;

        const float sample = underCeiling(d * run.feedback + in, run.ceiling);
        line_[writePhase_.index()] = sample;
        run.written.add(sample); // once anything non-finite went in
        writePhase_.phase += slot;
        lfoPhase_.phase += run.increment;
        return run.wet * d + in;
    }
    void end(const Run& run);

    const Module* input() const { return input_; }
    // Silence in the line; the LFO and the write position run on.
    void reset();

private:
    const float* depth_;
    const float* feedback_;
    const float* rate_;
    const float* wet_;
    float line_[kLineLength];
    PhaseAccumulator lfoPhase_{10};
    const Module* input_;
    PhaseAccumulator writePhase_{11};
    const WaveTable* waveTable_;
    // Set when a NaN or infinity was written into the line.
    bool lineTainted_ = false;
};

} // namespace Vorn
