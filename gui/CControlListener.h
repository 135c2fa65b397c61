#pragma once
// Receives what the user does with a control. Only valueChanged must be
// implemented; an edit (a drag, a click) is bracketed by begin and end.

class CControl;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    virtual void controlBeginEdit(CControl*) {}
    virtual void controlEndEdit(CControl*) {}
};
