#pragma once
// One-pole smoothing of a parameter, stepped once per sub-block:
// value = parameter * inputWeight + feedbackWeight * value, in float.
// The smoothed value is never clamped; callers clamp copies.

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

    float value;
    float inputWeight;
    float feedbackWeight;
    const float* parameter;
};

} // namespace Vorn
