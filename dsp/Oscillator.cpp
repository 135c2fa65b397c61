#include "dsp/Oscillator.h"

#include "dsp/NonFinite.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace Vorn {

namespace {

constexpr double kHundredth = 0.009999999776482582; // the float nearest 0.01, widened

} // namespace

Oscillator::Oscillator(Effect* owner_, const char* name_)
    : Module(owner_, name_),
      coarse(owner_->addParameter(this, "Coarse", 0.5f)),
      fine(owner_->addParameter(this, "Fine", 0.5f)),
      coarseSmoother(coarse, 0.5f),
      fineSmoother(fine, 0.5f)
{
    std::memset(pitchInput, 0, sizeof pitchInput);
    // A non-finite value already present at construction must not seed them.
    coarseSmoother.value = finiteOr(coarseSmoother.value, 0.5f);
    fineSmoother.value = finiteOr(fineSmoother.value, 0.5f);
}

void Oscillator::process(int, int)
{
    coarseSmoother.updateIfFinite();
    fineSmoother.updateIfFinite();
}

void Oscillator::noteOn(int note_, int)
{
    note = static_cast<uint8_t>(note_);
}

float Oscillator::advance(float modulation)
{
    // The smoothed values go straight on in registers rather than through
    // the members just written.
    const float coarseValue = coarseSmoother.updateIfFinite();
    const float fineValue = fineSmoother.updateIfFinite();
    return frequencyFrom(coarseValue, fineValue, modulation);
}

float Oscillator::frequency(float modulation) const
{
    return frequencyFrom(coarseSmoother.value, fineSmoother.value, modulation);
}

float Oscillator::frequencyFrom(float coarseValue, float fineValue, float modulation) const
{
    // The pitch follows from the two smoothed values and the note alone, and
    // those hold still once the smoothers have settled.
    if (!(coarseValue == lastCoarse_ && fineValue == lastFine_ && note == lastNote_)) {
        const float c = std::floor(coarseValue * 48.0f) - 24.0f;
        const float d = static_cast<float>(static_cast<double>((fineValue - 0.5f) * 100.0f) * kHundredth);
        lastPitchSum_ = c + static_cast<float>(note) + d;
        lastCoarse_ = coarseValue;
        lastFine_ = fineValue;
        lastNote_ = note;
    }
    const float p = lastPitchSum_;
    if (!(p == lastPitch_)) {
        const float exponent = (p - 69.0f) / 12.0f;
        lastFrequency_ = 440.0f * static_cast<float>(std::pow(2.0, static_cast<double>(exponent)));
        lastPitch_ = p;
    }
    float f = lastFrequency_;
    f = f + modulation * 1000.0f;
    // NaN, negative and infinite frequencies all stop the oscillator.
    return finiteNonNegative(f) ? f : 0.0f;
}

int Oscillator::format(const float* param, float value, char* text, std::size_t size)
{
    if (param == coarse) {
        const float c = std::floor(value * 48.0f) - 24.0f;
        if (c > 0.0f)
            return std::snprintf(text, size, "+%0.0f", static_cast<double>(c));
        if (c == 0.0f)
            return std::snprintf(text, size, "0");
        return std::snprintf(text, size, "%0.0f", static_cast<double>(c));
    }
    if (param == fine) {
        const double e = static_cast<double>((value - 0.5f) * 100.0f) * 0.1;
        if (e > 0.0)
            return std::snprintf(text, size, "+%0.2f", e);
        if (e == 0.0)
            return std::snprintf(text, size, "0");
        return std::snprintf(text, size, "%0.2f", e);
    }
    return Module::format(param, value, text, size);
}

} // namespace Vorn
