#pragma once
// The arithmetic of the saturator's tanh: its constants and the plain form
// of one lane, which the vector forms in dsp/x86/TanhLanes.h mirror.

#include <cstdint>
#include <cstring>

namespace Vorn {

// tanh in float lanes, on a = |y| with the sign put back at the end (so the
// curve is exactly odd):
//
//  - a < 0.7: tanh(a) = a + a s P(s), s = a^2, P of degree 4 fitted to
//    (tanh(a) - a) / a^3. The correction is at most a seventh of a, so its
//    rounding barely shows.
//  - otherwise: tanh(a) = 1 - 2 / (E + 1) with E = exp(2a) = 2^w,
//    w = a * 2 log2(e) = k + f, k an integer, |f| <= 1/2, and 2^f a
//    polynomial of degree 6. The rounding of w makes E off by up to about
//    1e-7 relative, but 1 - 2 / (E + 1) shrinks that by 2E / (E + 1)^2 <= 0.32
//    here. a is limited to 9.5, where 2 / (E + 1) is below a quarter step of
//    1 and the result is exactly 1.
//
// Over every float the error is at most 1.58 float steps (largest near
// 0.75, just past the seam) and 9.4e-8 absolute. Both branches are computed
// and each lane picks one. The exponential's polynomial is evaluated by
// Estrin's scheme, whose chain of dependent operations is half as long as
// Horner's: a block is only 64 samples, so the latency of one lane shows.
//
// Every form, this plain one and the vector ones, performs the same float
// operations in the same order: no fused multiply-add, no approximate
// reciprocal, no library call. So a result does not depend on the processor,
// the compiler's library or where a block was split. NaN stays NaN (the clamp
// keeps its second operand when one is NaN), infinities give +-1.

namespace TanhMath {

constexpr float kLimit = 9.5f;
constexpr float kSplit = 0.7f;
constexpr float kTwoLog2e = 2.88539004f;
constexpr float kRoundingMagic = 12582912.0f; // 1.5 * 2^23
constexpr std::uint32_t kExponentOne = 127u << 23;
constexpr std::uint32_t kExponentTwo = 128u << 23;
constexpr std::uint32_t kSignBit = 0x80000000u;

// 2^f on |f| <= 1/2
constexpr float kE0 = 1.0f;
constexpr float kE1 = 0x1.62e43p-1f;
constexpr float kE2 = 0x1.ebfbdap-3f;
constexpr float kE3 = 0x1.c6aed6p-5f;
constexpr float kE4 = 0x1.3b2dfep-7f;
constexpr float kE5 = 0x1.5f44fp-10f;
constexpr float kE6 = 0x1.41a6fep-13f;

// P(s) ~ (tanh(a) - a) / a^3, s = a^2, a < 0.7
constexpr float kP0 = -0x1.5554fap-2f;
constexpr float kP1 = 0x1.10fbaap-3f;
constexpr float kP2 = -0x1.b6d14ap-5f;
constexpr float kP3 = 0x1.49788ep-6f;
constexpr float kP4 = -0x1.51a992p-8f;

inline float fromBits(std::uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

inline std::uint32_t toBits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// The reference form of the lane arithmetic; the vector forms mirror it
// operation by operation.
inline float tanhLane(float y)
{
    const std::uint32_t sign = toBits(y) & kSignBit;
    float a = fromBits(toBits(y) & ~kSignBit);
    a = kLimit < a ? kLimit : a; // what minps(limit, a) gives, NaN included

    const float w = a * kTwoLog2e;
    const float shifted = w + kRoundingMagic;
    const float k = shifted - kRoundingMagic;
    const float f = w - k;
    const float f2 = f * f;
    const float f4 = f2 * f2;
    const float e12 = kE1 + kE2 * f;
    const float e34 = kE3 + kE4 * f;
    const float e56 = kE5 + kE6 * f;
    const float q = (e12 + e34 * f2) + e56 * f4;
    const float e = kE0 + f * q;
    // The rounding left k in the low bits of `shifted`; moved into the
    // exponent field it gives 2^-k and 2^(1-k). 2 / (2^k e + 1) is then
    // 2^(1-k) / (e + 2^-k), the same number (scaling by 2^k is exact) with
    // one multiplication fewer on the chain to the division.
    const std::uint32_t kField = toBits(shifted) << 23;
    const float down = fromBits(kExponentOne - kField);
    const float twiceDown = fromBits(kExponentTwo - kField);
    const float large = 1.0f - twiceDown / (e + down);

    const float s = a * a;
    float p = kP4;
    p = p * s + kP3;
    p = p * s + kP2;
    p = p * s + kP1;
    p = p * s + kP0;
    const float small = a + (a * s) * p;

    const float t = a < kSplit ? small : large;
    return fromBits(toBits(t) | sign);
}

} // namespace TanhMath

} // namespace Vorn
