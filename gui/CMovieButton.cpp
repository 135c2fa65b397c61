#include "gui/CMovieButton.h"

#include "gui/CBitmap.h"

CMovieButton::CMovieButton(const CRect& size, CControlListener* listener, std::int32_t tag, int heightOfOneImage,
                           CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), offset_(offset), frameHeight_(heightOfOneImage)
{
}

void CMovieButton::draw(CDrawContext& context)
{
    if (background_) {
        int frame = value_ == 1.0f ? 1 : 0;
        background_->draw(context, size_, CPoint(offset_.x, offset_.y + frame * frameHeight_));
    }
    dirty_ = false;
}

CMouseEventResult CMovieButton::onMouseDown(CPoint&, const CButtonState& buttons)
{
    if (!buttons.isLeftButton())
        return kMouseEventNotHandled;
    pressed_ = true;
    beginEdit();
    changeValueByUser(value_ == 1.0f ? 0.0f : 1.0f);
    return kMouseEventHandled;
}

CMouseEventResult CMovieButton::onMouseMoved(CPoint&, const CButtonState&)
{
    return pressed_ ? kMouseEventHandled : kMouseEventNotHandled;
}

CMouseEventResult CMovieButton::onMouseUp(CPoint&, const CButtonState&)
{
    if (!pressed_)
        return kMouseEventNotHandled;
    pressed_ = false;
    endEdit();
    return kMouseEventHandled;
}
