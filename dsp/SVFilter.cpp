#include "dsp/SVFilter.h"

#include "dsp/InstructionSet.h"
#include "dsp/NonFinite.h"
#include "dsp/NonFiniteWatch.h"
#include "dsp/SVFilterLoop.h"

#if defined(VORN_X86_KERNELS)
#include "dsp/x86/SVFilterLanes.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <typeinfo>

namespace Vorn {

namespace {

const char* const kModeNames[SVFilter::kModeCount] = {"LP", "HP", "BP", "BR"};

const double kPi = 4.0 * std::atan(1.0);

// A smoother whose value went non-finite (a NaN parameter, or +inf followed
// by -inf) would stay that way for good, since it feeds back on itself; start
// it again from 0 so the knob works once it holds a number again.
void recover(ParamSmoother& smoother)
{
    smoother.value = finiteOr(smoother.value, 0.0f);
}

} // namespace

const char* SVFilter::modeName(int index)
{
    return kModeNames[std::clamp(index, 0, kModeCount - 1)];
}

int SVFilter::modeIndex(float value)
{
    return choiceIndex(value, kModeCount);
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

// The loop itself is shared with the filter lanes (see SVFilterLoop.h).
template <int Selected>
void SVFilter::run(const float* in, int count)
{
    const double f = f_;
    const double m = m_;
    double low = low_, band = band_;
    svFilterLoop<Selected>(
        f, m, low, band, count, [in](int j, double& x) { x = in[j]; },
        [this](int j, const double& y1, const double& y2) {
            output[j] = static_cast<float>((static_cast<double>(static_cast<float>(y1)) + y2) * 0.5);
        });
    low_ = low;
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

void SVFilter::beginBlock(int count)
{
    const float a = cutoffInput[count / 2];
    const float cutoffSmoothed = cutoffSmoother_.update();
    double c = (0.5 * static_cast<double>(a) + static_cast<double>(cutoffSmoothed)) * 0.25;
    if (c > 0.25)
        c = 0.25;
    // The sine (and the stability limit, a division) are costly and the
    // cutoff often holds still.
    if (!(c == lastCutoff_)) {
        // A NaN cutoff or modulation, or a cutoff of -inf, has no frequency:
        // hold the filter still instead of filling the state with NaN.
        const double f = finiteOr(std::sin(kPi * c), 0.0);
        lastFrequency_ = f;
        // Above this damping the two-integrator loop is unstable at
        // coefficient f.
        lastLimit_ = f == 0.0 ? std::numeric_limits<double>::infinity() : 2.0 / f - 0.5 * f;
        lastCutoff_ = c;
    }
    const double f = lastFrequency_;
    const double limit = lastLimit_;
    recover(cutoffSmoother_);

    const float r = clampSetting(resonanceSmoother_.update(), 0.01f, 0.99f);
    recover(resonanceSmoother_);
    // The fourth root is costly and the smoothed resonance settles.
    if (!(r == lastResonance_)) {
        lastDamping_ = 2.0f * (1.0f - static_cast<float>(std::pow(static_cast<double>(r), 0.25)));
        lastResonance_ = r;
    }
    const float g = lastDamping_;

    f_ = f;
    limit_ = limit;
    m_ = std::min(static_cast<double>(g), std::min(limit, 2.0));
    activeMode_ = modeIndex(*mode);
}

void SVFilter::endBlock()
{
    // A negative coefficient always takes the limit as damping, which puts
    // one pole of each pass exactly at -1. Averaging the two passes cancels
    // that mode in the output, but with any DC in the input it keeps growing
    // in the state (without bound), and as soon as the cutoff moves the
    // stored energy bursts out as a loud spike. Dropping it every block
    // leaves the output as it is and keeps the state bounded.
    if (m_ == limit_)
        removeUndampedMode();

    // A non-finite input sample would otherwise stay in the loop forever and
    // silence the voice for good; start from rest instead.
    if (NonFiniteWatch::nonFinite(low_) || NonFiniteWatch::nonFinite(band_))
        low_ = band_ = 0.0;
}

void SVFilter::runActiveMode(int count)
{
    const float* in = input_->output;
    switch (activeMode_) {
    case LowPass:
        run<LowPass>(in, count);
        break;
    case HighPass:
        run<HighPass>(in, count);
        break;
    case BandPass:
        run<BandPass>(in, count);
        break;
    default:
        run<BandReject>(in, count);
        break;
    }
}

void SVFilter::process(int, int count)
{
    beginBlock(count);
    runActiveMode(count);
    endBlock();
}

void SVFilter::processGroup(Module* const* group, int size, int sampleRate, int count)
{
#if defined(VORN_X86_KERNELS)
    const InstructionSet level = instructionSet();
    if (level != InstructionSet::Scalar && processLanes(group, size, count, level))
        return;
#endif
    Module::processGroup(group, size, sampleRate, count);
}

#if defined(VORN_X86_KERNELS)
// The filters of a group side by side, one per vector lane; false, having
// done nothing, for a group the lanes do not take.
bool SVFilter::processLanes(Module* const* group, int size, int count, InstructionSet level)
{
    if (size < 2 || count < 1 || count > kSubBlock || size > SVFilterLanes::kLanes)
        return false;
    SVFilter* filters[SVFilterLanes::kLanes];
    for (int v = 0; v < size; ++v) {
        if (typeid(*group[v]) != typeid(SVFilter))
            return false;
        filters[v] = static_cast<SVFilter*>(group[v]);
    }
    for (int v = 0; v < size; ++v)
        filters[v]->beginBlock(count);
    // The voices share their "Mode", so they practically always agree.
    for (int v = 1; v < size; ++v) {
        if (filters[v]->activeMode_ != filters[0]->activeMode_) {
            for (int w = 0; w < size; ++w) {
                filters[w]->runActiveMode(count);
                filters[w]->endBlock();
            }
            return true;
        }
    }

    // Unused lanes run a silent filter at rest. Only they are cleared: the
    // whole record is over a kilobyte.
    SVFilterLanes lanes;
    const float* inputs[SVFilterLanes::kLanes];
    float* outputs[SVFilterLanes::kLanes];
    for (int v = size; v < SVFilterLanes::kLanes; ++v)
        lanes.f[v] = lanes.m[v] = lanes.low[v] = lanes.band[v] = 0.0;
    for (int v = 0; v < size; ++v) {
        const SVFilter& one = *filters[v];
        lanes.f[v] = one.f_;
        lanes.m[v] = one.m_;
        lanes.low[v] = one.low_;
        lanes.band[v] = one.band_;
        inputs[v] = one.input_->output;
        outputs[v] = filters[v]->output;
    }
    lanes.loadInputs(inputs, size, count, level);
    lanes.run(filters[0]->activeMode_, count, level);
    lanes.storeOutputs(outputs, size, count, level);
    for (int v = 0; v < size; ++v) {
        SVFilter& one = *filters[v];
        one.low_ = lanes.low[v];
        one.band_ = lanes.band[v];
        one.endBlock();
    }
    return true;
}
#endif

} // namespace Vorn
