#pragma once
// Watching a stream of floats (or a recursive state) for NaN or infinity:
// what holds one starts over from silence, since a non-finite value that
// got into a feedback loop, a delay line or a resampler history would stay
// there for good. A float is non-finite exactly when its exponent bits are
// all set, so the check is an integer test per value rather than a chain of
// dependent float additions (x - x summed), which would set the pace of the
// loops it sits in.

#include <cstdint>
#include <cstring>

namespace Vorn {

struct NonFiniteWatch {
    static bool nonFinite(float value)
    {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return (bits & 0x7f800000u) == 0x7f800000u;
    }

    static bool nonFinite(double value)
    {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return (bits & 0x7ff0000000000000u) == 0x7ff0000000000000u;
    }

    void add(float value) { seen |= nonFinite(value) ? 1u : 0u; }
    bool any() const { return seen != 0; }

    static bool allFinite(const float* values, int count)
    {
        NonFiniteWatch watch;
        for (int i = 0; i < count; ++i)
            watch.add(values[i]);
        return !watch.any();
    }

    uint32_t seen = 0;
};

} // namespace Vorn
