#pragma once
// Where a line of text goes in its rectangle, the same on every platform.
// The installed stand-in for a font family (a missing "Helvetica") is often
// wider than the original, so text laid out for it would be cut off: it is
// squeezed horizontally, by at most a quarter, to fit.

#include "gui/CDrawContext.h"
#include "gui/CRect.h"

#include <algorithm>

struct TextPlacement {
    double x;       // left edge of the drawn text
    double squeeze; // horizontal scale, 0.75 .. 1
};

inline TextPlacement placeText(const CRect& rect, double advance, CHoriTxtAlign align)
{
    double squeeze = 1.0;
    if (advance > rect.width() && advance > 0) {
        squeeze = std::max(0.75, rect.width() / advance);
        advance *= squeeze;
    }
    double x = rect.left;
    if (align == kCenterText)
        x = rect.left + (rect.width() - advance) / 2.0;
    else if (align == kRightText)
        x = rect.right - advance;
    if (squeeze < 1.0)
        x = std::max<double>(x, rect.left);
    return {x, squeeze};
}
