#include "dsp/WTOscillator.h"

#include "dsp/NonFinite.h"
#include "dsp/TableReader.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace Vorn {

namespace {

constexpr double kTwoToThe32Double = 4294967296.0;

// The low 32 bits of trunc(x) for x >= 0. Below 2^63 this is the plain
// conversion through a 64-bit integer, which truncates by itself; larger
// finite values (absurd frequencies) are whole numbers already and are
// reduced exactly with fmod instead of overflowing the conversion. Anything
// non-finite or negative gives 0.
uint32_t low32(double x)
{
    if (!finiteNonNegative(x))
        return 0u;
    if (x < 9223372036854775808.0)
        return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(x)));
    return static_cast<uint32_t>(std::fmod(x, kTwoToThe32Double));
}

} // namespace

WTOscillator::WTOscillator(Effect* owner_, const char* name_, const WaveTable* table_)
    : Oscillator(owner_, name_),
      position(owner_->addParameter(this, "Position", 0.0f)),
      wave(owner_->addParameter(this, "Wave", 0.25f)),
      table(table_)
{
    std::memset(positionInput, 0, sizeof positionInput);
    for (int& entry : levelCache)
        entry = -1;
}

int WTOscillator::waveIndex(float value)
{
    return choiceIndex(value, WaveTable::kWaveCount);
}

int WTOscillator::levelFor(int limit)
{
    if (limit < 0)
        limit = 0;
    if (limit > kLevelCacheSize - 1)
        limit = kLevelCacheSize - 1;
    int& cached = levelCache[limit];
    if (cached == -1) {
        // Each level down holds about 1/1.1 as many harmonics; the product
        // is truncated in double, not rounded to float first.
        const double q = static_cast<double>(static_cast<float>(1.0 / 1.1));
        const int top = WaveTable::kLevelCount - 1;
        int found = 0;
        int h = 1024;
        while (found < top && limit < h) {
            h = static_cast<int>(static_cast<double>(h) * q);
            ++found;
        }
        cached = found;
    }
    return cached;
}

void WTOscillator::process(int sampleRate, int count)
{
    if (count < 1) {
        Oscillator::process(sampleRate, count);
        return;
    }
    if (count > kSubBlock)
        count = kSubBlock;
    const int middle = count / 2;

    const float f = advance(pitchInput[middle]);
    waveChoice = waveIndex(*wave);
    const float rate = static_cast<float>(sampleRate);

    // Limit, increment and level follow from the frequency and the rate
    // alone; without pitch modulation they hold from block to block.
    if (!(f == lastFrequency_ && rate == lastRate_)) {
        if (f == 0.0f) {
            harmonicLimit = 0;
        } else {
            const float ratio = (rate * 0.5f) / f;
            if (!(ratio > 0.0f))
                harmonicLimit = 0;
            else if (ratio >= 1024.0f)
                harmonicLimit = 1024;
            else
                harmonicLimit = static_cast<int>(ratio);
        }
        // The quotient is formed in double: f widened, times 2^32, over the rate.
        increment = rate > 0.0f ? low32(static_cast<double>(f) * kTwoToThe32Double / static_cast<double>(rate)) : 0u;
        level = levelFor(harmonicLimit);
        lastFrequency_ = f;
        lastRate_ = rate;
    }

    const float pos = clampSetting(*position + positionInput[middle], 0.0f, 1.0f);
    smoothedPosition = 0.5f * smoothedPosition + 0.5f * pos;
    if (!(smoothedPosition == lastSmoothedPosition_)) {
        offset = low32(static_cast<double>(0.5f + 0.5f * smoothedPosition) * kTwoToThe32Double);
        lastSmoothedPosition_ = smoothedPosition;
    }

    const float* T = table->levelData(waveChoice, level);

    if (*position > 0.0f)
        phase.phase = TableReader::readDifference(T, phase, increment, offset, count, output);
    else
        phase.phase = TableReader::read(T, phase, increment, count, output);
}

int WTOscillator::format(const float* param, float value, char* text, std::size_t size)
{
    if (param == wave)
        return std::snprintf(text, size, "%s", waveName(waveIndex(value)));
    return Oscillator::format(param, value, text, size);
}

} // namespace Vorn
