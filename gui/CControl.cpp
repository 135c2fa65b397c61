#include "gui/CControl.h"

#include "gui/CControlListener.h"
#include "gui/CFrame.h"

#include <cmath>

CControl::CControl(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* background)
    : CView(size), tag_(tag), listener_(listener)
{
    if (background)
        setBackground(background);
}

float CControl::clampValue(float value)
{
    if (std::isnan(value) || value < 0.0f)
        return 0.0f;
    return value > 1.0f ? 1.0f : value;
}

void CControl::setValue(float value)
{
    value = clampValue(value);
    if (value == value_)
        return;
    value_ = value;
    invalid();
    onChange(kValueChange);
}

void CControl::changeValueByUser(float value)
{
    value = clampValue(value);
    if (value == value_)
        return;
    value_ = value;
    invalid();
    valueChanged();
    onChange(kValueChange);
}

void CControl::valueChanged()
{
    if (listener_)
        listener_->valueChanged(this);
}

void CControl::beginEdit()
{
    ++editing_;
    if (frame_)
        frame_->beginEdit(tag_);
    if (listener_)
        listener_->controlBeginEdit(this);
    onChange(kBeginEdit);
}

void CControl::endEdit()
{
    if (editing_ > 0)
        --editing_;
    if (frame_)
        frame_->endEdit(tag_);
    if (listener_)
        listener_->controlEndEdit(this);
    onChange(kEndEdit);
}

void CControl::onChange(ChangeReason)
{
}
