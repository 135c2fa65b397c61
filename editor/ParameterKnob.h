#pragma once
// The editor's knob for one host parameter: a film-strip knob that switches
// to a second strip while its parameter holds a recorded bend, feeds the
// editor's readout while the pointer is over it, and returns its parameter
// to the default when pressed again within 250 ms of the previous press.

#include "gui/CAnimKnob.h"

#include <cstdint>

class CBitmap;

class ParameterKnob : public CAnimKnob {
public:
    // Two presses closer than this (in milliseconds) make a reset.
    static constexpr std::uint32_t kDoubleClickMs = 250;

    // The listener is the editor; the tag is the host parameter index.
    ParameterKnob(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* normalImage,
                  CBitmap* bendImage);
    ~ParameterKnob() override;

    // Shows the bend strip when set, the plain strip otherwise.
    void setBendLook(bool showBend);
    bool showsBendLook() const { return showsBend_; }

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;
    CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;

private:
    CBitmap* bendImage_;
    bool showsBend_ = false;
    std::uint32_t lastMouseDown_ = 0;
    CBitmap* normalImage_;
};
