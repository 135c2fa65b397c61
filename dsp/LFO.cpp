#include "dsp/LFO.h"

#include "dsp/NonFinite.h"
#include "dsp/SyncDivisions.h"
#include "dsp/TableReader.h"
#include "dsp/WaveTable.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace Vorn {

namespace {

// Switch parameters are on from half way up; NaN counts as off.
bool isOn(float value)
{
    return value >= 0.5f;
}

float freeRate(float speed)
{
    // 50 Hz at a full knob; a host may send more, and the phase step keeps
    // such rates in range by capping them at the Nyquist rate.
    const float s = atLeast(speed, 0.01f);
    return atLeast(50.0f * s * s, 0.1f);
}

// Cycle length of a tempo division in beats.
float divisionBeats(int index)
{
    return kSyncDivisions[index].wholeNotes * 4.0f;
}

} // namespace

LFO::LFO(Effect* owner_, const char* name_, const WaveTable* table)
    : Module(owner_, name_),
      reset_(owner_->addParameter(this, "Reset", 0.0f)),
      speed_(owner_->addParameter(this, "Speed", 0.1f)),
      sync_(owner_->addParameter(this, "Sync", 0.0f)),
      wave_(owner_->addParameter(this, "Wave", 0.0f)),
      phase_(10),
      table_(table)
{
    std::memset(amplitudeInput, 0, sizeof amplitudeInput);
}

int LFO::format(const float* param, float value, char* text, std::size_t size)
{
    if (param == reset_ || param == sync_)
        return std::snprintf(text, size, "%s", isOn(value) ? "on" : "off");
    if (param == speed_) {
        if (isOn(readLive(sync_)))
            return std::snprintf(text, size, "%s", kSyncDivisions[choiceIndex(value, kSyncDivisionCount)].name);
        // Shows the rate the LFO runs at: a negative value runs at the floor,
        // so it must not show as the rate of its magnitude.
        const float v = atLeast(value, 0.0f);
        const float c = atLeast(50.0f * v * v, 0.1f);
        return std::snprintf(text, size, c < 10.0f ? "%0.1fhz" : "%0.0fhz", static_cast<double>(c));
    }
    if (param == wave_)
        return std::snprintf(text, size, "%s", waveName(choiceIndex(value, WaveTable::kWaveCount)));
    return Module::format(param, value, text, size);
}

void LFO::prepare()
{
    // Line every voice's synced LFO up with the host's bars. A stopped
    // transport at the start (or no transport at all) reports 0; then the
    // phase runs on. Positions a float cannot hold are ignored likewise.
    if (!isOn(*sync_))
        return;
    const double position = owner->songPosition();
    if (!(position > 0.0) || !(position <= static_cast<double>(std::numeric_limits<float>::max())))
        return;
    const float len = divisionBeats(choiceIndex(*speed_, kSyncDivisionCount));
    const float p = static_cast<float>(position);
    const float cycles = std::fmod(p, len) / len;
    const double scaled = static_cast<double>(cycles) * static_cast<double>(phase_.maximumPhase);
    phase_.phase = static_cast<uint32_t>(static_cast<int64_t>(scaled));
}

uint32_t LFO::increment(int sampleRate) const
{
    // The step changes only with these four, which rarely move.
    const float sync = *sync_;
    const float speed = *speed_;
    const float tempo = owner->tempo();
    if (sampleRate == lastRate_ && sync == lastSync_ && speed == lastSpeed_ && tempo == lastTempo_)
        return lastIncrement_;
    lastRate_ = sampleRate;
    lastSync_ = sync;
    lastSpeed_ = speed;
    lastTempo_ = tempo;
    lastIncrement_ = computeIncrement(sampleRate);
    return lastIncrement_;
}

uint32_t LFO::computeIncrement(int sampleRate) const
{
    float rate;
    if (isOn(*sync_)) {
        const float len = divisionBeats(choiceIndex(*speed_, kSyncDivisionCount));
        rate = owner->tempo() / (len * 60.0f);
    } else {
        rate = freeRate(*speed_);
    }
    if (sampleRate <= 0)
        return 0;
    // A tempo of 0 stops the LFO. A host tempo that is not a plain positive
    // number stops it too, and nothing runs faster than the Nyquist rate:
    // beyond it the wave only aliases, and the step must fit its integer.
    if (!(rate > 0.0f))
        return 0;
    const float nyquist = static_cast<float>(sampleRate) * 0.5f;
    if (rate > nyquist)
        rate = nyquist;
    // Formed in double, like the oscillators' increment.
    const double step = static_cast<double>(rate) * 4294967296.0 / static_cast<double>(sampleRate);
    return static_cast<uint32_t>(static_cast<int64_t>(step));
}

void LFO::addOutputReader(const float* depth)
{
    if (readerCount_ < kMaxReaders)
        readers_[readerCount_++] = depth;
    else
        readerCount_ = kMaxReaders + 1; // too many to track: always render
}

bool LFO::outputUnread() const
{
    if (readerCount_ == 0 || readerCount_ > kMaxReaders)
        return false;
    for (int i = 0; i < readerCount_; ++i)
        if (*readers_[i] != 0.0f) // NaN counts as read
            return false;
    return true;
}

void LFO::process(int sampleRate, int count)
{
    const uint32_t step = increment(sampleRate);
    if (outputUnread()) {
        // The same phase the frame loop below would reach.
        phase_.phase += static_cast<uint32_t>(count) * step;
        return;
    }
    // Always the richest level: the LFO keeps the full band-limited shape.
    const float* t = table_->levelData(choiceIndex(*wave_, WaveTable::kWaveCount), 0);
    if (middleOnly_ && count > 0) {
        const int middle = count / 2;
        // The phase after middle + 1 steps, as the frame loop reaches it.
        output[middle] = TableReader::readAt(t, phase_, phase_.phase + static_cast<uint32_t>(middle + 1) * step);
        phase_.phase += static_cast<uint32_t>(count) * step;
        return;
    }
    phase_.phase = TableReader::read(t, phase_, step, count, output);
}

void LFO::controlChange(int, int)
{
}

void LFO::noteOff(int)
{
}

void LFO::noteOn(int, int)
{
    if (isOn(*reset_))
        phase_.phase = 0;
}

} // namespace Vorn
