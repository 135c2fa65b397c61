#pragma once
// Where views draw. The platform layer implements it (on a window's back
// buffer or an offscreen image); views only see these operations.

#include "gui/CColor.h"
#include "gui/CRect.h"

class CBitmap;
class CFontDesc;

enum CHoriTxtAlign { kLeftText, kCenterText, kRightText };

class CDrawContext {
public:
    virtual ~CDrawContext() = default;

    // Drawing outside the clip rectangle has no effect.
    virtual void setClipRect(const CRect& clip) = 0;
    virtual CRect getClipRect() const = 0;

    virtual void fillRect(const CRect& rect, const CColor& color) = 0;
    // A one-pixel outline just inside rect.
    virtual void frameRect(const CRect& rect, const CColor& color) = 0;
    // Copies the part of the bitmap that starts at `offset` into dest, at
    // the given opacity (0..1). An empty bitmap draws nothing.
    virtual void drawBitmap(const CBitmap& bitmap, const CRect& dest, const CPoint& offset, float alpha) = 0;
    // One line of text, vertically centred in rect.
    virtual void drawString(const char* text, const CRect& rect, const CFontDesc& font, const CColor& color,
                            CHoriTxtAlign align) = 0;
};
