#pragma once
// A momentary button: frame 1 while it is held down with the pointer
// inside. On release it notifies the listener with value 1 when released
// inside, then resets the value to 0 and notifies once more (so a release
// outside gives the second notification only).

#include "gui/CControl.h"

class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, std::int32_t tag, int heightOfOneImage,
                CBitmap* background, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext& context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;

    int getHeightOfOneImage() const { return frameHeight_; }

protected:
    CPoint offset_;
    int frameHeight_;
    bool pressed_ = false;
};
