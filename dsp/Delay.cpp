#include "dsp/Delay.h"

#include "dsp/NonFinite.h"
#include "dsp/SyncDivisions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Vorn {

namespace {

// Lengths beyond the ring (and a NaN or infinite product) become the
// longest echo the ring holds rather than wrapping around it.
uint16_t clampLength(float samples)
{
    if (!(samples < static_cast<float>(Delay::kLongestEcho)))
        return static_cast<uint16_t>(Delay::kLongestEcho);
    if (!(samples > 0.0f))
        return 0;
    return static_cast<uint16_t>(static_cast<int32_t>(samples));
}

} // namespace

Delay::Delay(Effect* owner_, const char* name_, const Module* input)
    : Module(owner_, name_),
      feedback_(owner_->addParameter(this, "Feedback", 0.485f)),
      sync_(owner_->addParameter(this, "Sync", 0.0f)),
      time_(owner_->addParameter(this, "Time", 0.2f)),
      wet_(owner_->addParameter(this, "Wet", 0.0f)),
      ring_(kRingSize, 0.0f),
      input_(input)
{
}

uint16_t Delay::length(int sampleRate) const
{
    const float fs = static_cast<float>(sampleRate);
    if (*sync_ >= 0.5f) {
        const float tempo = owner->tempo();
        // No tempo from the host (0, or nothing sensible): the longest echo.
        if (!(tempo > 0.0f))
            return static_cast<uint16_t>(kLongestEcho);
        const float beat = 60.0f / tempo;
        const float seconds = beat * kSyncDivisions[choiceIndex(*time_, kSyncDivisionCount)].wholeNotes * 4.0f;
        return clampLength(seconds * fs);
    }
    const float t = atLeast(readLive(time_), 0.01f);
    return clampLength(fs * t);
}

void Delay::process(int sampleRate, int count)
{
    const float* in = input_->output;
    Run run = begin(sampleRate);
    for (int i = 0; i < count; ++i)
        output[i] = step(run, in[i]);
    end(run);
}

Delay::Run Delay::begin(int sampleRate)
{
    const float feedback = unitRange(*feedback_);
    const float wet = unitRange(*wet_);
    // A non-finite input sample would circulate in the ring for good: the
    // ring starts over from silence.
    if (ringTainted_)
        reset();
    // No bypass: the ring records even while the echo is silent.
    Run run{};
    run.feedback = feedback;
    run.ceiling = ceilingFor(feedback);
    run.wet = wet;
    run.dry = 1.0f - wet;
    run.length = length(sampleRate);
    run.writeIndex = writeIndex_;
    run.ring = ring_.data();
    return run;
}

void Delay::reset()
{
    std::fill(ring_.begin(), ring_.end(), 0.0f);
    ringTainted_ = false;
}

void Delay::end(const Run& run)
{
    writeIndex_ = run.writeIndex;
    if (run.written.any())
        ringTainted_ = true;
}

int Delay::format(const float* param, float value, char* text, std::size_t size)
{
    if (param == feedback_ || param == wet_)
        return std::snprintf(text, size, "%0.0f%%", static_cast<double>(value * 100.0f));
    if (param == time_) {
        if (readLive(sync_) >= 0.5f)
            return std::snprintf(text, size, "%s", kSyncDivisions[choiceIndex(value, kSyncDivisionCount)].name);
        // Free time shows the live value, as the echo currently plays it.
        const float t = atLeast(readLive(time_), 0.01f);
        return std::snprintf(text, size, "%0.2fs", static_cast<double>(t));
    }
    return Module::format(param, value, text, size);
}

} // namespace Vorn
