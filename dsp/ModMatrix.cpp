#include "dsp/ModMatrix.h"

#include <cmath>
#include <cstdio>

namespace Vorn {

ModMatrix::ModMatrix(Effect* owner_, const char* name_)
    : Module(owner_, name_)
{
}

void ModMatrix::addRoute(const char* routeName, Module* source, Module* scaler, float scale,
                         float* destination, float* secondDestination)
{
    routes_.push_back(ModRoute{routeName, source, destination, secondDestination, nullptr, scaler, scale});
}

void ModMatrix::registerDepths()
{
    for (ModRoute& route : routes_)
        route.depth = owner->addParameter(this, route.name.c_str(), 0.0f);
}

int ModMatrix::format(const float* param, float value, char* text, std::size_t size)
{
    for (const ModRoute& route : routes_) {
        if (route.depth == param)
            return std::snprintf(text, size, "%0.0f%%", static_cast<double>(value * 100.0f));
    }
    return Module::format(param, value, text, size);
}

void ModMatrix::process(int, int count)
{
    // Clear every destination before any route adds, so routes that share a
    // destination are summed.
    for (ModRoute& route : routes_) {
        for (int j = 0; j < count; ++j)
            route.destination[j] = 0.0f;
        if (route.secondDestination != nullptr) {
            for (int j = 0; j < count; ++j)
                route.secondDestination[j] = 0.0f;
        }
    }

    for (ModRoute& route : routes_) {
        if (route.depth == nullptr)
            continue;
        const float factor = route.scaler != nullptr ? route.scaler->output[count / 2] : 1.0f;
        const float depth = *route.depth;
        // The depth knob responds quadratically, which also makes its sign
        // irrelevant.
        const float amount = depth * depth * route.scale * factor;
        // Not positive (or NaN) adds nothing. An infinite amount would turn a
        // silent source sample into NaN (0 x inf) in the destination, so it
        // adds nothing either.
        if (!(amount > 0.0f) || std::isinf(amount))
            continue;
        float* first = route.destination;
        float* second = route.secondDestination;
        if (route.source == nullptr) {
            for (int j = 0; j < count; ++j)
                first[j] += amount;
            if (second != nullptr) {
                for (int j = 0; j < count; ++j)
                    second[j] += amount;
            }
        } else {
            const float* signal = route.source->output;
            for (int j = 0; j < count; ++j)
                first[j] += amount * signal[j];
            if (second != nullptr) {
                for (int j = 0; j < count; ++j)
                    second[j] += amount * signal[j];
            }
        }
    }
}

} // namespace Vorn
