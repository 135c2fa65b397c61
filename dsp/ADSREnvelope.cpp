#include "dsp/ADSREnvelope.h"

#include "dsp/NonFinite.h"

#include <cmath>

namespace Vorn {

namespace {

// A knob value maps to a time proportional to its square; the floor keeps
// the shortest segment at a few milliseconds so the increments below stay
// finite.
float squaredTime(float value)
{
    return clampSetting(value * value, 0.001f, 1.0f);
}

} // namespace

ADSREnvelope::ADSREnvelope(Effect* owner_, const char* name_)
    : Module(owner_, name_),
      attack_(owner_->addParameter(this, "Attack", 0.0f)),
      decay_(owner_->addParameter(this, "Decay", 0.0f)),
      sustain_(owner_->addParameter(this, "Sustain", 1.0f)),
      release_(owner_->addParameter(this, "Release", 0.0f))
{
}

void ADSREnvelope::controlChange(int, int)
{
}

void ADSREnvelope::noteOff(int)
{
    // Release starts from wherever the envelope is, even mid-attack.
    if (stage_ != kIdle)
        stage_ = kRelease;
}

void ADSREnvelope::noteOn(int, int)
{
    // Hard retrigger: always from zero, whatever the previous stage.
    stage_ = kAttack;
    level_ = 0.0f;
}

void ADSREnvelope::updateSteps(int sampleRate)
{
    const float attack = *attack_;
    const float decay = *decay_;
    const float release = *release_;
    // NaN never equals itself, so a NaN knob is worked out every time.
    if (sampleRate == stepsRate_ && attack == stepsAttack_ && decay == stepsDecay_ && release == stepsRelease_)
        return;
    // A host that reports no usable rate must not turn the steps negative or
    // divide by zero: every segment then simply completes in one frame.
    const double rate = sampleRate > 0 ? static_cast<double>(sampleRate) : 1.0;
    const float h = static_cast<float>(1.0 / (rate * 4.0));
    const float a = squaredTime(attack);
    const float d = squaredTime(decay);
    const float q = squaredTime(release);
    attackStep_ = h / a;
    decayStep_ = h / d;
    releaseStep_ = static_cast<float>(static_cast<double>(h) * 0.25 / static_cast<double>(q));
    stepsRate_ = sampleRate;
    stepsAttack_ = attack;
    stepsDecay_ = decay;
    stepsRelease_ = release;
}

void ADSREnvelope::process(int sampleRate, int count)
{
    // The divisions happen once per block at most; knob changes act from the
    // next one.
    updateSteps(sampleRate);
    const float attackStep = attackStep_;
    const float decayStep = decayStep_;
    const float releaseStep = releaseStep_;
    // Where the decay stops and what the amplifier gets as gain. The live
    // value cannot change inside a sub-block, so reading it once is the same
    // as reading it on every decay frame.
    const float sustain = finiteSustain(*sustain_);

    // Frame by frame as the stages dictate, but each stage runs in a loop of
    // its own until it ends or the block does: the held stages (sustain,
    // idle) then only fill the block.
    float level = level_;
    int stage = stage_;
    int frame = 0;
    while (frame < count) {
        switch (stage) {
        case kAttack:
            while (frame < count) {
                level += attackStep;
                if (level >= 1.0f) {
                    level = 1.0f;
                    stage = kDecay;
                    output[frame++] = level;
                    break;
                }
                output[frame++] = level;
            }
            break;
        case kDecay:
            while (frame < count) {
                level -= decayStep;
                if (sustain >= level) {
                    level = sustain;
                    stage = kSustain;
                    output[frame++] = level;
                    break;
                }
                output[frame++] = level;
            }
            break;
        case kSustain:
            for (; frame < count; ++frame)
                output[frame] = level;
            break;
        case kRelease:
            while (frame < count) {
                level -= releaseStep;
                if (level < 0.0f) {
                    level = 0.0f;
                    stage = kIdle;
                    output[frame++] = level;
                    break;
                }
                output[frame++] = level;
            }
            break;
        default:
            level = 0.0f;
            for (; frame < count; ++frame)
                output[frame] = level;
            break;
        }
    }
    level_ = level;
    stage_ = stage;
}

} // namespace Vorn
