#include "dsp/Chorus.h"

#include "dsp/NonFinite.h"
#include "dsp/PhaseIncrement.h"
#include "dsp/WaveTable.h"

#include <algorithm>
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
    if (!fitsInteger<int32_t>(offset))
        return INT32_MIN;
    return static_cast<int32_t>(offset);
}

void Chorus::process(int sampleRate, int count)
{
    const float* in = input_->output;
    Run run = begin(sampleRate);
    for (int i = 0; i < count; ++i)
        output[i] = step(run, in[i]);
    end(run);
}

Chorus::Run Chorus::begin(int sampleRate)
{
    Run run{};
    const float wet = unitRange(*wet_);
    // Bypassed and frozen: the line, the LFO and the write position stay.
    run.bypass = wet == 0.0f;
    if (run.bypass)
        return run;
    const float depth = *depth_;
    const float feedback = unitRange(*feedback_);
    const float rate = *rate_;

    // A non-finite input sample would circulate in the line for good: the
    // line starts over from silence.
    if (lineTainted_)
        reset();

    const float fsr = static_cast<float>(sampleRate);
    const float hertz = rate * 10.0f;
    run.wet = wet;
    run.depth = depth;
    run.feedback = feedback;
    run.ceiling = ceilingFor(feedback);
    run.sampleRate = fsr;
    run.increment = phaseIncrement(hertz * 4294967296.0f / fsr);
    run.table = waveTable_->levelData(1, 0);
    return run;
}

void Chorus::reset()
{
    std::fill(line_, line_ + kLineLength, 0.0f);
    lineTainted_ = false;
}

void Chorus::end(const Run& run)
{
    if (run.written.any())
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
