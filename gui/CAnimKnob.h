#pragma once
// A knob drawn from a film strip: equal frames of the control's height,
// top to bottom, frame floor(value x (frames - 1)) for the value. Dragging
// up raises the value, down lowers it (Shift for fine steps); the wheel
// nudges it. A drag is one edit: begin-edit at the press, end-edit at the
// release, a value-changed for every change in between; each wheel step is
// an edit of its own.

#include "gui/CControl.h"

class CAnimKnob : public CControl {
public:
    // Pixels of vertical travel for the whole range, and with Shift held.
    static constexpr float kDragRange = 200.0f;
    static constexpr float kFineDragRange = 2000.0f;
    static constexpr float kWheelStep = 0.02f;

    CAnimKnob(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* background,
              const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext& context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;

    void setHeightOfOneImage(int height) { frameHeight_ = height; }
    int getHeightOfOneImage() const { return frameHeight_; }
    // Frames in the current background (at least 1 when it has any).
    int getNumSubPixmaps() const;
    // The frame drawn for the current value.
    int currentFrame() const;

protected:
    CPoint offset_;
    int frameHeight_;
    bool dragging_ = false;
    int dragStartY_ = 0;
    float dragStartValue_ = 0.0f;
    bool dragFine_ = false;
};
