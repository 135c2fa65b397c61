#include "gui/CAnimKnob.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* background,
                     const CPoint& offset)
    : CControl(size, listener, tag, background), offset_(offset), frameHeight_(size.height())
{
}

int CAnimKnob::getNumSubPixmaps() const
{
    if (!background_ || frameHeight_ <= 0)
        return 0;
    return background_->getHeight() / frameHeight_;
}

int CAnimKnob::currentFrame() const
{
    int frames = getNumSubPixmaps();
    if (frames <= 1)
        return 0;
    // The pixel offset first, then whole frames: the same frame as
    // floor(value x (frames - 1)) without a float rounding up into the next.
    int pixels = static_cast<int>(value_ * static_cast<float>(frames - 1) * static_cast<float>(frameHeight_));
    int frame = pixels / frameHeight_;
    return frame < frames ? frame : frames - 1;
}

void CAnimKnob::draw(CDrawContext& context)
{
    if (background_)
        background_->draw(context, size_, CPoint(offset_.x, offset_.y + currentFrame() * frameHeight_));
    dirty_ = false;
}

CMouseEventResult CAnimKnob::onMouseDown(CPoint& where, const CButtonState& buttons)
{
    if (!buttons.isLeftButton())
        return kMouseEventNotHandled;
    beginEdit();
    dragging_ = true;
    dragStartY_ = where.y;
    dragStartValue_ = value_;
    dragFine_ = buttons & kShift;
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseMoved(CPoint& where, const CButtonState& buttons)
{
    if (!dragging_)
        return kMouseEventNotHandled;
    bool fine = buttons & kShift;
    if (fine != dragFine_) {
        // Switching precision mid-drag continues from where the knob is.
        dragFine_ = fine;
        dragStartY_ = where.y;
        dragStartValue_ = value_;
    }
    float range = dragFine_ ? kFineDragRange : kDragRange;
    // The value follows the pointer relative to the press, not the knob's
    // current value, which a listener may reset while the drag goes on.
    changeValueByUser(dragStartValue_ + static_cast<float>(dragStartY_ - where.y) / range);
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseUp(CPoint&, const CButtonState&)
{
    if (!dragging_)
        return kMouseEventNotHandled;
    dragging_ = false;
    endEdit();
    return kMouseEventHandled;
}

bool CAnimKnob::onWheel(const CPoint&, float distance, const CButtonState& buttons)
{
    // During a drag the pointer owns the value.
    if (dragging_)
        return true;
    float step = (buttons & kShift) ? kWheelStep * 0.1f : kWheelStep;
    // Each step is an edit of its own, as a drag is, so that a host records
    // it as a gesture.
    beginEdit();
    changeValueByUser(value_ + distance * step);
    endEdit();
    return true;
}
