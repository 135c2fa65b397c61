#include "dsp/ModMatrix.h"

#include "dsp/NonFinite.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace Vorn {

namespace {

// destination[j] += amount * signal[j]. The buffers never overlap; said
// so, the compiler vectorises the loop.
inline void addScaled(float* __restrict destination, const float* __restrict signal, float amount, int count)
{
    for (int j = 0; j < count; ++j)
        destination[j] += amount * signal[j];
}

inline void clear(float* destination, int count)
{
    // A whole sub-block with a fixed length, which the compiler spells out
    // as a few stores; a loop of any length would become a call to memset,
    // which costs more than the stores.
    if (count == kSubBlock) {
        std::memset(destination, 0, sizeof(float) * kSubBlock);
        return;
    }
    for (int j = 0; j < count; ++j)
        destination[j] = 0.0f;
}

inline void addConstant(float* destination, float amount, int count)
{
    for (int j = 0; j < count; ++j)
        destination[j] += amount;
}

} // namespace

ModMatrix::ModMatrix(Effect* owner_, const char* name_) : Module(owner_, name_)
{
}

void ModMatrix::addRoute(const char* routeName, Module* source, Module* scaler, float scale, float* destination,
                         float* secondDestination)
{
    routes_.push_back(ModRoute{routeName, source, destination, secondDestination, nullptr, scaler, scale});
    routeTargets_.emplace_back(addDestination(destination), addDestination(secondDestination));
}

int ModMatrix::addDestination(float* destination)
{
    if (destination == nullptr)
        return -1;
    const auto found = std::find(destinations_.begin(), destinations_.end(), destination);
    if (found != destinations_.end())
        return static_cast<int>(found - destinations_.begin());
    destinations_.push_back(destination);
    // Nothing is known of the buffer before the first clearing.
    dirty_.push_back(kSubBlock);
    return static_cast<int>(destinations_.size()) - 1;
}

void ModMatrix::registerDepths()
{
    taps_.clear();
    for (std::size_t r = 0; r < routes_.size(); ++r) {
        ModRoute& route = routes_[r];
        route.depth = owner->addParameter(this, route.name.c_str(), 0.0f);
        taps_.push_back(Tap{route.depth, route.source != nullptr ? route.source->output : nullptr,
                            route.scaler != nullptr ? route.scaler->output : nullptr, route.scale, route.destination,
                            route.secondDestination, routeTargets_[r].first, routeTargets_[r].second});
    }
}

void ModMatrix::setMiddleOnly(bool middleOnly)
{
    // The middle-only pass keeps no account of what it wrote, so nothing is
    // known of the other samples after it.
    if (middleOnly_ && !middleOnly)
        std::fill(dirty_.begin(), dirty_.end(), kSubBlock);
    middleOnly_ = middleOnly;
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
    if (count < 1)
        return;
    if (middleOnly_) {
        processMiddle(count);
        return;
    }
    // Clear every destination before any route adds, so routes that share a
    // destination are summed. Only the first `count` samples are touched.
    const std::size_t destinationCount = destinations_.size();
    for (std::size_t d = 0; d < destinationCount; ++d) {
        if (dirty_[d] > 0) {
            clear(destinations_[d], count);
            if (count >= dirty_[d])
                dirty_[d] = 0;
        }
    }

    for (const Tap& tap : taps_) {
        // 0 x anything is 0 or NaN, neither of which adds.
        const float depth = *tap.depth;
        if (depth == 0.0f)
            continue;
        const float factor = tap.scaler != nullptr ? tap.scaler[count / 2] : 1.0f;
        // The depth knob responds quadratically, which also makes its sign
        // irrelevant.
        const float amount = depth * depth * tap.scale * factor;
        if (!finitePositive(amount))
            continue;
        for (const int target : {tap.firstTarget, tap.secondTarget})
            if (target >= 0)
                dirty_[static_cast<std::size_t>(target)] = std::max(dirty_[static_cast<std::size_t>(target)], count);
        if (tap.source == nullptr) {
            addConstant(tap.first, amount, count);
            if (tap.second != nullptr)
                addConstant(tap.second, amount, count);
        } else {
            addScaled(tap.first, tap.source, amount, count);
            if (tap.second != nullptr)
                addScaled(tap.second, tap.source, amount, count);
        }
    }
}

// The same sums as process() at the middle sample alone.
void ModMatrix::processMiddle(int count)
{
    const int m = count / 2;
    for (float* destination : destinations_)
        destination[m] = 0.0f;
    for (const Tap& tap : taps_) {
        const float depth = *tap.depth;
        if (depth == 0.0f)
            continue;
        const float factor = tap.scaler != nullptr ? tap.scaler[m] : 1.0f;
        const float amount = depth * depth * tap.scale * factor;
        if (!finitePositive(amount))
            continue;
        const float add = tap.source != nullptr ? amount * tap.source[m] : amount;
        tap.first[m] += add;
        if (tap.second != nullptr)
            tap.second[m] += add;
    }
}

} // namespace Vorn
