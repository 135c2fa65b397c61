#pragma once
// The saturator's tanh on N float lanes at once: tanhLane's operations
// (dsp/TanhMath.h), one for one, so every lane gets the plain form's bits.
// Shared by the shaper's block forms and the saturator's whole-sub-block
// kernel.

#include "dsp/TanhMath.h"

#include <cstdint>

namespace Vorn {

namespace TanhMath {

// Written once with the compiler's vector types and compiled for each
// instruction set. Lane vectors travel by reference only (those wider than
// the baseline have no place in its calling convention).

template <int N>
struct Lanes {
    typedef float Float __attribute__((vector_size(N * sizeof(float))));
    typedef std::uint32_t Bits __attribute__((vector_size(N * sizeof(float))));
};

template <int N>
[[gnu::always_inline]] inline void tanhLanes(typename Lanes<N>::Float& y)
{
    using Float = typename Lanes<N>::Float;
    using Bits = typename Lanes<N>::Bits;
    const Float zero = {};
    const Bits bits = __builtin_bit_cast(Bits, y);
    const Bits sign = bits & kSignBit;
    Float a = __builtin_bit_cast(Float, bits & ~kSignBit);
    const Float limit = zero + kLimit;
    a = limit < a ? limit : a;

    const Float w = a * kTwoLog2e;
    const Float shifted = w + kRoundingMagic;
    const Float k = shifted - kRoundingMagic;
    const Float f = w - k;
    const Float f2 = f * f;
    const Float f4 = f2 * f2;
    const Float e12 = kE1 + kE2 * f;
    const Float e34 = kE3 + kE4 * f;
    const Float e56 = kE5 + kE6 * f;
    const Float q = (e12 + e34 * f2) + e56 * f4;
    const Float e = kE0 + f * q;
    const Bits kField = __builtin_bit_cast(Bits, shifted) << 23;
    const Float down = __builtin_bit_cast(Float, kExponentOne - kField);
    const Float twiceDown = __builtin_bit_cast(Float, kExponentTwo - kField);
    const Float large = 1.0f - twiceDown / (e + down);

    const Float s = a * a;
    Float p = zero + kP4;
    p = p * s + kP3;
    p = p * s + kP2;
    p = p * s + kP1;
    p = p * s + kP0;
    const Float small = a + (a * s) * p;

    const Float split = zero + kSplit;
    const Float t = a < split ? small : large;
    y = __builtin_bit_cast(Float, __builtin_bit_cast(Bits, t) | sign);
}

} // namespace TanhMath

} // namespace Vorn
