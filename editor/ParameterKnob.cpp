#include "editor/ParameterKnob.h"

#include "editor/SynthEditor.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/TickCount.h"

ParameterKnob::ParameterKnob(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* normalImage,
                             CBitmap* bendImage)
    : CAnimKnob(size, listener, tag, normalImage, CPoint(0, 0)), bendImage_(bendImage), normalImage_(normalImage)
{
    // Either strip may become the background at any refresh: keep both alive
    // for as long as the knob lives, whoever else lets go of them.
    if (bendImage_)
        bendImage_->remember();
    if (normalImage_)
        normalImage_->remember();
}

ParameterKnob::~ParameterKnob()
{
    if (bendImage_)
        bendImage_->forget();
    if (normalImage_)
        normalImage_->forget();
}

void ParameterKnob::setBendLook(bool showBend)
{
    showsBend_ = showBend;
    // Both strips have the same geometry, so the frame height stays.
    setBackground(showBend ? bendImage_ : normalImage_);
}

CMouseEventResult ParameterKnob::onMouseDown(CPoint& where, const CButtonState& buttons)
{
    // Measured from the most recent press, whether or not that one reset;
    // unsigned arithmetic keeps the distance right across the clock wrapping.
    // The press's own time, not the time it is handled: two presses that
    // reach the editor in one late batch are as far apart as they were made.
    const std::uint32_t now = frame_ ? frame_->getMouseDownTime() : getTickCount();
    const std::uint32_t elapsed = now - lastMouseDown_;
    lastMouseDown_ = now;
    if (elapsed < kDoubleClickMs) {
        // The knob itself never sees this press: no drag, no edit brackets.
        if (auto* editor = dynamic_cast<SynthEditor*>(listener_))
            editor->resetToDefault(this);
        return kMouseEventHandled;
    }
    return CAnimKnob::onMouseDown(where, buttons);
}

bool ParameterKnob::onWheel(const CPoint& where, float distance, const CButtonState& buttons)
{
    // While recording is armed the next drag records a bend; a wheel step
    // would add a point to the old bend with no audition note.
    if (auto* editor = dynamic_cast<SynthEditor*>(listener_))
        if (editor->isRecordingArmed())
            return true;
    return CAnimKnob::onWheel(where, distance, buttons);
}

CMouseEventResult ParameterKnob::onMouseEntered(CPoint&, const CButtonState&)
{
    if (auto* editor = dynamic_cast<SynthEditor*>(listener_))
        editor->updateReadout(this);
    return kMouseEventNotHandled;
}

CMouseEventResult ParameterKnob::onMouseExited(CPoint&, const CButtonState&)
{
    if (auto* editor = dynamic_cast<SynthEditor*>(listener_))
        editor->updateReadout(nullptr);
    return kMouseEventNotHandled;
}
