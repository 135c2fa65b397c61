#include "gui/CKickButton.h"

#include "gui/CBitmap.h"

CKickButton::CKickButton(const CRect& size, CControlListener* listener, std::int32_t tag, int heightOfOneImage,
                         CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), offset_(offset), frameHeight_(heightOfOneImage)
{
}

void CKickButton::draw(CDrawContext& context)
{
    if (background_) {
        int frame = value_ == 1.0f ? 1 : 0;
        background_->draw(context, size_, CPoint(offset_.x, offset_.y + frame * frameHeight_));
    }
    dirty_ = false;
}

CMouseEventResult CKickButton::onMouseDown(CPoint&, const CButtonState& buttons)
{
    if (!buttons.isLeftButton())
        return kMouseEventNotHandled;
    pressed_ = true;
    beginEdit();
    setValue(1.0f);
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseMoved(CPoint& where, const CButtonState&)
{
    if (!pressed_)
        return kMouseEventNotHandled;
    setValue(size_.pointInside(where) ? 1.0f : 0.0f);
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint& where, const CButtonState&)
{
    if (!pressed_)
        return kMouseEventNotHandled;
    pressed_ = false;
    setValue(size_.pointInside(where) ? 1.0f : 0.0f);
    if (value_ == 1.0f)
        valueChanged();
    setValue(0.0f);
    valueChanged();
    endEdit();
    return kMouseEventHandled;
}
