#pragma once
// What the sound code does with a value that may be NaN, infinite or out of
// range. Settings reach the modules as the host stored them (a program round
// trip keeps them exactly), so every module meets such values; each rule
// below is written once and named, and a call site says by its name which
// rule applies. The order of the comparisons is part of each rule: it decides
// where NaN goes and whether a zero keeps its sign, and so the exact bits
// that follow.
//
// Not here: recursive state (filter integrators, delay lines, resampler
// histories) watched with NonFiniteWatch and started over from silence once
// a non-finite value got in, and the instrument's output guard, which sends
// no NaN or infinity to the host (Synth::silenceNonFinite).

#include "dsp/NonNegativeFloor.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace Vorn {

// A setting held to [lo, hi]: NaN counts as lo, +-inf as the nearer end, and
// a zero inside the range keeps its sign.
inline float clampSetting(float v, float lo, float hi)
{
    if (!(v >= lo))
        return lo;
    return v > hi ? hi : v;
}

// The same rule with no upper end: at least lo, NaN as lo, +inf kept.
inline float atLeast(float v, float lo)
{
    return v >= lo ? v : lo;
}

// A knob that picks one of `choices` entries (a wave, a mode, a tempo
// division): its 0..1 range in even steps, each entry from half a step
// below it to half a step above; NaN picks the first entry.
inline int choiceIndex(float v, int choices)
{
    return nonNegativeFloor(static_cast<float>(choices - 1) * clampSetting(v, 0.0f, 1.0f) + 0.5f);
}

// A level or mix amount inside 0..1 (wet, feedback, crush): NaN and both
// zeros become +0, so a bypass test (== 0) and every product that follows
// see one zero.
inline float unitRange(float v)
{
    if (!(v > 0.0f))
        return 0.0f;
    return v < 1.0f ? v : 1.0f;
}

// A factor that multiplies the signal, a coefficient, or the seed of a
// smoother: a non-finite one would turn silence into NaN or never leave the
// smoother, so it is replaced by `fallback`. Finite values pass, however
// large.
template <typename T>
inline T finiteOr(T v, T fallback)
{
    return std::isfinite(v) ? v : fallback;
}

// A frequency or phase step: usable only as a plain number >= 0 (NaN, a
// negative value and +inf are not; -0 is).
template <typename T>
inline bool finiteNonNegative(T v)
{
    return v >= T(0) && !std::isinf(v);
}

// A modulation amount: it adds anything only when a plain number > 0. Zero
// adds nothing (not even 0 x a NaN source), and +inf would turn a silent
// source into NaN.
inline bool finitePositive(float v)
{
    return v > 0.0f && !std::isinf(v);
}

// Whether a float converts to the integer type Int without leaving its
// range (which is undefined): false for NaN and +-inf. The lower bound is
// inclusive, the upper one (2^(bits-1), a power of two a float holds
// exactly) is not.
template <typename Int>
inline bool fitsInteger(float v)
{
    constexpr float lowest = static_cast<float>(std::numeric_limits<Int>::min());
    constexpr float beyond = -lowest;
    return v >= lowest && v < beyond;
}

// A sustain level: finite values pass (however far outside 0..1); NaN
// would never end a decay and infinity would blow the voice up, so +inf
// becomes 1 and -inf and NaN become 0.
inline float finiteSustain(float v)
{
    if (std::isfinite(v))
        return v;
    return v > 0.0f ? 1.0f : 0.0f;
}

} // namespace Vorn
