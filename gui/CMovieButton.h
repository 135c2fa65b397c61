#pragma once
// A two-state button from a two-frame film strip: frame 1 exactly when the
// value is 1. A press flips the value between 0 and 1 (from its value at
// the press: 1 becomes 0, anything else 1) and notifies the listener once;
// the press and release bracket the edit.

#include "gui/CControl.h"

class CMovieButton : public CControl {
public:
    CMovieButton(const CRect& size, CControlListener* listener, std::int32_t tag, int heightOfOneImage,
                 CBitmap* background, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext& context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;

    int getHeightOfOneImage() const { return frameHeight_; }

protected:
    CPoint offset_;
    int frameHeight_;
    bool pressed_ = false;
};
