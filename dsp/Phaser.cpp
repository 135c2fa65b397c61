#include "dsp/Phaser.h"

#include "dsp/NonFinite.h"
#include "dsp/NonFiniteWatch.h"
#include "dsp/PhaseIncrement.h"
#include "dsp/WaveTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Vorn {

Phaser::Phaser(Effect* owner_, const char* name_, const Module* input, const WaveTable* waveTable)
    : Module(owner_, name_),
      center_(owner_->addParameter(this, "Center", 0.15f)),
      feedback_(owner_->addParameter(this, "Feedback", 0.5f)),
      modDepth_(owner_->addParameter(this, "ModDepth", 0.25f)),
      modRate_(owner_->addParameter(this, "ModRate", 0.25f)),
      wet_(owner_->addParameter(this, "Wet", 0.0f)),
      input_(input),
      waveTable_(waveTable)
{
}

bool Phaser::stateIsFinite() const
{
    bool finite = !NonFiniteWatch::nonFinite(feedbackSample_);
    for (const AllPass& s : stages_)
        finite = finite && !NonFiniteWatch::nonFinite(s.lastInput) && !NonFiniteWatch::nonFinite(s.lastOutput);
    return finite;
}

void Phaser::reset()
{
    for (AllPass& s : stages_) {
        s.lastInput = 0.0f;
        s.lastOutput = 0.0f;
    }
    feedbackSample_ = 0.0f;
}

void Phaser::process(int sampleRate, int count)
{
    const float* in = input_->output;
    // The sections' state lives in the run's locals for the block: kept in
    // the members, every sample would wait on their stores and reloads.
    Run run = begin(sampleRate, count);
    for (int i = 0; i < count; ++i)
        output[i] = step(run, in[i]);
    end(run);
}

Phaser::Run Phaser::begin(int sampleRate, int count)
{
    Run run{};
    const float wet = unitRange(*wet_);
    // Bypassed and frozen: neither the LFO nor the sections move.
    run.bypass = wet == 0.0f;
    if (run.bypass)
        return run;
    const float feedback = std::min(unitRange(*feedback_), kFeedbackLimit);
    const float center = *center_;
    const float modDepth = *modDepth_;
    const float modRate = *modRate_;

    // A non-finite input sample would stay in the recursive state for good:
    // start over from silence.
    if (!stateIsFinite())
        reset();

    const float frequency = 4.0f * modRate * modRate;
    lfoPhase_.phase +=
        static_cast<uint32_t>(count) * phaseIncrement(frequency * 4294967296.0f / static_cast<float>(sampleRate));

    const float* table = waveTable_->levelData(0, 0);
    const uint32_t index = lfoPhase_.index();
    const uint32_t next = (lfoPhase_.phase + lfoPhase_.indexStep) >> lfoPhase_.shift;
    const float frac = lfoPhase_.fraction();
    const float lfo = table[index] * (1.0f - frac) + frac * table[next];

    // The break frequency as a fraction of the sample rate.
    const float x = clampSetting(lfo * 0.1f * modDepth + center * 0.2f, 0.001f, 0.3f);
    const float pi = 4.0f * std::atan(1.0f);
    const float t = std::tan(x * pi);
    const float a = (t - 1.0f) / (t + 1.0f);
    for (AllPass& s : stages_)
        s.coefficient = a;

    run.a = a;
    run.feedback = feedback;
    run.dry = 1.0f - wet;
    run.wet = wet;
    run.feedbackSample = feedbackSample_;
    for (int k = 0; k < kStageCount; ++k) {
        run.lastInput[k] = stages_[k].lastInput;
        run.lastOutput[k] = stages_[k].lastOutput;
    }
    return run;
}

void Phaser::end(const Run& run)
{
    if (run.bypass)
        return;
    feedbackSample_ = run.feedbackSample;
    for (int k = 0; k < kStageCount; ++k) {
        stages_[k].lastInput = run.lastInput[k];
        stages_[k].lastOutput = run.lastOutput[k];
    }
}

int Phaser::format(const float* param, float value, char* text, std::size_t size)
{
    if (param == feedback_ || param == modDepth_ || param == wet_)
        return std::snprintf(text, size, "%0.0f%%", static_cast<double>(value * 100.0f));
    if (param == modRate_) {
        // The LFO frequency, in hertz like the chorus rate.
        return std::snprintf(text, size, "%0.2fhz", static_cast<double>(4.0f * value * value));
    }
    return Module::format(param, value, text, size);
}

} // namespace Vorn
