#pragma once
// floor() of a value known to be at least 0 (and below 2^31), as an int.
// The conversion truncates toward zero, which for such values is the floor;
// it avoids a library call where the baseline instruction set has no
// rounding instruction, in code that runs every sub-block.

namespace Vorn {

inline int nonNegativeFloor(float value)
{
    return static_cast<int>(value);
}

} // namespace Vorn
