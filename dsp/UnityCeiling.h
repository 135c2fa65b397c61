#pragma once
// What a feedback line may hold while its feedback is exactly 1. The line
// then loses nothing on a pass: its repeats go on without decay, as they
// should, but whatever the input keeps adding in step with the line (a
// constant offset, above all) piles up pass after pass without end. What
// is written back is clamped to +-kUnityCeiling (+48 dBFS, far above any
// level that is meant to be heard); everything below it stays exactly as
// it was. Below 1 a line loses a little on every pass and has no ceiling.

#include <algorithm>
#include <limits>

namespace Vorn {

constexpr float kUnityCeiling = 256.0f;
constexpr float kNoCeiling = std::numeric_limits<float>::infinity();

inline float ceilingFor(float feedback)
{
    return feedback < 1.0f ? kNoCeiling : kUnityCeiling;
}

// x within +-ceiling; a NaN stays NaN, so that the line's watch sees it.
inline float underCeiling(float x, float ceiling)
{
    return std::min(std::max(x, -ceiling), ceiling);
}

} // namespace Vorn
