#include "dsp/Chorus.h"

#include "dsp/NonFiniteWatch.h"
#include "dsp/PhaseIncrement.h"
#include "dsp/WaveTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Vorn {

Chorus::Chorus(Effect* owner_, const char* name_, const Module* input, const WaveTable* waveTable)
    : Module(owner_, name_),
      depth_(owner_->addParameter(this, "Depth", 0.2f)),
      feedback_(owner_->addParameter(this, "Feedback", 0.0f)),
      rate_(owner_->addParameter(this, "Rate", 0.25f)),
      wet_(owner_->addParameter(this, "Wet", 0.0f)),
      input_(input),
      waveTable_(waveTable)
{
    std::fill(line_, line_ + kLineLength, 0.0f);
}

int32_t Chorus::readOffset(float seconds, float sampleRate)
{
    const float offset = -(seconds * sampleRate * 2097152.0f);
    // Anything the 32-bit offset cannot hold (a delay beyond 1024 slots, a
    // negative delay beyond it, or NaN) reads half the line back: the
    // longest delay the line offers.
    if (!(offset >= -2147483648.0f && offset < 2147483648.0f))
        return INT32_MIN;
    return static_cast<int32_t>(offset);
}

void Chorus::process(int sampleRate, int count)
{
    const float* in = input_->output;
    const float wet = *wet_;
    if (wet == 0.0f) {
        // Bypassed and frozen: the line, the LFO and the write position stay.
        for (int i = 0; i < count; ++i)
            output[i] = in[i];
        return;
    }
    const float depth = *depth_;
    const float feedback = *feedback_;
    const float rate = *rate_;

    // A NaN feedback (or NaN input, or runaway feedback) would circulate in
    // the line for good; once the settings are finite again, the line
    // starts over from silence.
    if (lineTainted_ && std::isfinite(depth) && std::isfinite(feedback) && std::isfinite(rate)
        && std::isfinite(wet)) {
        std::fill(line_, line_ + kLineLength, 0.0f);
        lineTainted_ = false;
    }

    const float fsr = static_cast<float>(sampleRate);
    const float hertz = rate * 10.0f;
    const uint32_t increment = phaseIncrement(hertz * 4294967296.0f / fsr);
    const float* table = waveTable_->levelData(1, 0);
    const uint32_t slot = writePhase_.indexStep;
    const int shift = writePhase_.shift;

    NonFiniteWatch written;
    for (int i = 0; i < count; ++i) {
        const uint32_t lfoIndex = lfoPhase_.index();
        const uint32_t lfoNext = (lfoPhase_.phase + lfoPhase_.indexStep) >> lfoPhase_.shift;
        const float lfoFrac = lfoPhase_.fraction();
        const float lfo = table[lfoIndex] * (1.0f - lfoFrac) + lfoFrac * table[lfoNext];

        const float seconds = lfo * 0.003f * depth + 0.02f;
        const uint32_t pos = writePhase_.phase + static_cast<uint32_t>(readOffset(seconds, fsr));
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

        output[i] = wet * d + in[i];
        const float sample = d * feedback + in[i];
        line_[writePhase_.index()] = sample;
        written.add(sample); // once anything non-finite went in
        writePhase_.phase += slot;
        lfoPhase_.phase += increment;
    }
    if (written.any())
        lineTainted_ = true;
}

int Chorus::format(const float* param, float value, char* text, std::size_t size)
{
    if (param == depth_ || param == feedback_ || param == wet_)
        return std::snprintf(text, size, "%0.0f%%", static_cast<double>(value * 100.0f));
    if (param == rate_)
        return std::snprintf(text, size, "%0.1fhz", static_cast<double>(value * 10.0f));
    return Module::format(param, value, text, size);
}

} // namespace Vorn
