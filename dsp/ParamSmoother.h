#pragma once
// One-pole smoothing of a parameter, stepped once per sub-block:
// value = parameter * inputWeight + feedbackWeight * value, in float.
// The smoothed value is never clamped; callers clamp copies.

#include <cmath>

namespace Vorn {

struct ParamSmoother {
    ParamSmoother(const float* parameter_, float weight)
        : value(*parameter_), inputWeight(weight), feedbackWeight(1.0f - weight), parameter(parameter_)
    {
    }

    float update()
    {
        value = *parameter * inputWeight + feedbackWeight * value;
        return value;
    }

    // The same step, but a NaN or infinite setting is passed over: a smoother
    // that took one in would never leave it again (it feeds back on itself),
    // so the smoothed value holds until a usable setting arrives.
    float updateIfFinite()
    {
        if (std::isfinite(*parameter))
            update();
        return value;
    }

    float value;
    float inputWeight;
    float feedbackWeight;
    const float* parameter;
};

} // namespace Vorn
