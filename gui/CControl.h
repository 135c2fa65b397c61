#pragma once
// A view with a value in 0..1, an integer tag and a listener.
//
// setValue() is for the program (it never notifies the listener); user
// actions change the value through changeValueByUser(), which notifies the
// listener. Either way the control itself hears of every real change of
// value through onChange(), and also of the begin and end of an edit.

#include "gui/CView.h"

#include <cstdint>

class CControlListener;

class CControl : public CView {
public:
    enum ChangeReason { kValueChange, kBeginEdit, kEndEdit };

    CControl(const CRect& size, CControlListener* listener = nullptr, std::int32_t tag = -1,
             CBitmap* background = nullptr);

    // Clamps to 0..1 (NaN becomes 0); redraws and calls onChange only when
    // the value really changes.
    virtual void setValue(float value);
    float getValue() const { return value_; }

    void setTag(std::int32_t tag) { tag_ = tag; }
    std::int32_t getTag() const { return tag_; }

    void setListener(CControlListener* listener) { listener_ = listener; }
    CControlListener* getListener() const { return listener_; }

    // Tells the listener the value changed.
    virtual void valueChanged();
    // Start and end of a user gesture: the frame passes them to the host
    // (for tags >= 0), then the listener hears of them.
    virtual void beginEdit();
    virtual void endEdit();
    bool isEditing() const { return editing_ > 0; }

    static float clampValue(float value);

protected:
    // The control's own hook for changes; the default does nothing.
    virtual void onChange(ChangeReason reason);
    // A user action sets the value: clamp, and when it differs store it,
    // redraw, notify the listener, then onChange.
    void changeValueByUser(float value);

    float value_ = 0.0f;
    std::int32_t tag_;
    CControlListener* listener_;
    int editing_ = 0;
};
