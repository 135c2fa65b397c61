#pragma once
// A setting as the sound code uses it: inside 0..1, whatever was stored.
// Values are kept as loaded (a program round trip loses nothing) and
// clamped only here, where they meet the signal; NaN counts as 0, so no
// non-finite or huge setting ever reaches a sample.

namespace Vorn {

inline float unitRange(float v)
{
    if (!(v > 0.0f))
        return 0.0f;
    return v < 1.0f ? v : 1.0f;
}

} // namespace Vorn
