#include "dsp/SVFilter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace Vorn {

namespace {

const char* const kModeNames[SVFilter::kModeCount] = {"LP", "HP", "BP", "BR"};

const double kPi = 4.0 * std::atan(1.0);

// A smoother whose value went non-finite (a NaN parameter, or +inf followed
// by -inf) would stay that way for good, since it feeds back on itself; start
// it again from 0 so the knob works once it holds a number again.
void recover(ParamSmoother& smoother)
{
    if (!std::isfinite(smoother.value))
        smoother.value = 0.0f;
}

} // namespace

const char* SVFilter::modeName(int index)
{
    return kModeNames[std::clamp(index, 0, kModeCount - 1)];
}

int SVFilter::modeIndex(float value)
{
    float v = value;
    if (std::isnan(v))
        v = 0.0f;
    v = std::clamp(v, 0.0f, 1.0f);
    return static_cast<int>(std::floor(3.0f * v + 0.5f));
}

SVFilter::SVFilter(Effect* owner_, const char* name_, const Module* input)
    : Module(owner_, name_),
      cutoff(owner_->addParameter(this, "Cutoff", 1.0f)),
      mode(owner_->addParameter(this, "Mode", 0.0f)),
      resonance(owner_->addParameter(this, "Resonance", 0.1f)),
      cutoffInput{},
      input_(input),
      cutoffSmoother_(cutoff, 0.5f),
      resonanceSmoother_(resonance, 0.5f)
{
}

int SVFilter::format(const float* param, float value, char* text, std::size_t size)
{
    if (param == mode)
        return std::snprintf(text, size, "%s", kModeNames[modeIndex(value)]);
    return Module::format(param, value, text, size);
}

template <int Selected>
void SVFilter::run(const float* in, int count)
{
    const double f = f_;
    const double m = m_;
    double x = x_, notch = notch_, low = low_, high = high_, band = band_;
    auto selected = [&]() -> double {
        if constexpr (Selected == LowPass)
            return low;
        else if constexpr (Selected == HighPass)
            return high;
        else if constexpr (Selected == BandPass)
            return band;
        else
            return notch;
    };
    for (int j = 0; j < count; ++j) {
        x = in[j];
        notch = x - m * band;
        low = low + f * band;
        high = notch - low;
        band = band + f * high;
        const float y1 = static_cast<float>(selected());

        x = 0.0;
        notch = -m * band;
        low = low + f * band;
        high = notch - low;
        band = band + f * high;
        output[j] = static_cast<float>((y1 + selected()) * 0.5);
    }
    x_ = x;
    notch_ = notch;
    low_ = low;
    high_ = high;
    band_ = band;
}

void SVFilter::removeUndampedMode()
{
    // With m = 2 / f - f / 2 the pass matrix [[1, f], [-f, 1 - m f - f^2]]
    // has the eigenvalue -1 with right eigenvector (f, -2) and left
    // eigenvector (f, 2); subtract the state's component along it.
    const double f = f_;
    const double alpha = (f * low_ + 2.0 * band_) / (f * f - 4.0);
    low_ -= alpha * f;
    band_ += 2.0 * alpha;
}

void SVFilter::process(int, int count)
{
    const float a = cutoffInput[count / 2];

    const float cutoffSmoothed = cutoffSmoother_.update();
    double c = (0.5 * a + cutoffSmoothed) * 0.25;
    if (c > 0.25)
        c = 0.25;
    double f = std::sin(kPi * c);
    // A NaN cutoff or modulation, or a cutoff of -inf, has no frequency:
    // hold the filter still instead of filling the state with NaN.
    if (!std::isfinite(f))
        f = 0.0;
    recover(cutoffSmoother_);

    float r = resonanceSmoother_.update();
    recover(resonanceSmoother_);
    if (std::isnan(r))
        r = 0.01f;
    r = std::clamp(r, 0.01f, 0.99f);
    const float g = 2.0f * (1.0f - static_cast<float>(std::pow(static_cast<double>(r), 0.25)));

    // Above this damping the two-integrator loop is unstable at coefficient f.
    const double limit = f == 0.0 ? std::numeric_limits<double>::infinity() : 2.0 / f - 0.5 * f;
    f_ = f;
    m_ = std::min(static_cast<double>(g), std::min(limit, 2.0));
    activeMode_ = modeIndex(*mode);

    const float* in = input_->output;
    switch (activeMode_) {
    case LowPass: run<LowPass>(in, count); break;
    case HighPass: run<HighPass>(in, count); break;
    case BandPass: run<BandPass>(in, count); break;
    default: run<BandReject>(in, count); break;
    }

    // A negative coefficient always takes the limit as damping, which puts
    // one pole of each pass exactly at -1. Averaging the two passes cancels
    // that mode in the output, but with any DC in the input it keeps growing
    // in the state (without bound), and as soon as the cutoff moves the
    // stored energy bursts out as a loud spike. Dropping it every block
    // leaves the output as it is and keeps the state bounded.
    if (m_ == limit)
        removeUndampedMode();

    // A non-finite input sample would otherwise stay in the loop forever and
    // silence the voice for good; start from rest instead.
    if (!std::isfinite(low_) || !std::isfinite(band_) || !std::isfinite(high_) || !std::isfinite(notch_)
        || !std::isfinite(x_))
        x_ = notch_ = low_ = high_ = band_ = 0.0;
}

} // namespace Vorn
