#include "dsp/ModMatrix.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Vorn {

namespace {

// destination[j] += amount * signal[j]; the buffers may not be assumed
// apart, so the compiler would go sample by sample.
inline void addScaled(float* destination, const float* signal, float amount, int count)
{
    int j = 0;
#if defined(__SSE2__)
    const __m128 a = _mm_set1_ps(amount);
    for (; j + 4 <= count; j += 4)
        _mm_storeu_ps(destination + j,
                      _mm_add_ps(_mm_loadu_ps(destination + j), _mm_mul_ps(a, _mm_loadu_ps(signal + j))));
#endif
    for (; j < count; ++j)
        destination[j] += amount * signal[j];
}

inline void clear(float* destination, int count)
{
#if defined(__SSE2__)
    // Spelled out: a loop here would be turned into a call to memset, which
    // costs more than the four stores of a whole sub-block.
    if (count == kSubBlock) {
        static_assert(kSubBlock == 16, "four vectors per sub-block");
        const __m128 zero = _mm_setzero_ps();
        _mm_storeu_ps(destination, zero);
        _mm_storeu_ps(destination + 4, zero);
        _mm_storeu_ps(destination + 8, zero);
        _mm_storeu_ps(destination + 12, zero);
        return;
    }
#endif
    for (int j = 0; j < count; ++j)
        destination[j] = 0.0f;
}

inline void addConstant(float* destination, float amount, int count)
{
    for (int j = 0; j < count; ++j)
        destination[j] += amount;
}

} // namespace

ModMatrix::ModMatrix(Effect* owner_, const char* name_)
    : Module(owner_, name_)
{
}

void ModMatrix::addRoute(const char* routeName, Module* source, Module* scaler, float scale,
                         float* destination, float* secondDestination)
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
    depths_.clear();
    for (ModRoute& route : routes_) {
        route.depth = owner->addParameter(this, route.name.c_str(), 0.0f);
        depths_.push_back(route.depth);
    }
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
    // Clear every destination before any route adds, so routes that share a
    // destination are summed. Only the first `count` samples are touched,
    // or only the middle one.
    const int from = middleOnly_ ? count / 2 : 0;
    const int length = middleOnly_ ? 1 : count;
    const std::size_t destinationCount = destinations_.size();
    for (std::size_t d = 0; d < destinationCount; ++d) {
        if (middleOnly_) {
            destinations_[d][from] = 0.0f;
        } else if (dirty_[d] > 0) {
            clear(destinations_[d], count);
            if (count >= dirty_[d])
                dirty_[d] = 0;
        }
    }

    // Routes whose depth is not registered yet have no entry here.
    const std::size_t routeCount = depths_.size();
    for (std::size_t r = 0; r < routeCount; ++r) {
        // 0 x anything is 0 or NaN, neither of which adds.
        if (*depths_[r] == 0.0f)
            continue;
        const ModRoute& route = routes_[r];
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
        const std::pair<int, int> targets = routeTargets_[r];
        for (const int target : {targets.first, targets.second})
            if (target >= 0)
                dirty_[static_cast<std::size_t>(target)] = std::max(dirty_[static_cast<std::size_t>(target)], count);
        if (route.source == nullptr) {
            addConstant(route.destination + from, amount, length);
            if (route.secondDestination != nullptr)
                addConstant(route.secondDestination + from, amount, length);
        } else {
            addScaled(route.destination + from, route.source->output + from, amount, length);
            if (route.secondDestination != nullptr)
                addScaled(route.secondDestination + from, route.source->output + from, amount, length);
        }
    }
}

} // namespace Vorn
