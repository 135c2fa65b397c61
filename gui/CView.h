#pragma once
// Base of everything the frame shows: a rectangle in frame coordinates,
// an optional background image, a dirty flag and the mouse hooks.

#include "gui/CButtonState.h"
#include "gui/CRect.h"

class CBitmap;
class CDrawContext;
class CFrame;

enum CMouseEventResult {
    kMouseEventNotHandled = 0,
    // The view takes the mouse: moves and the release go to it until then.
    kMouseEventHandled,
};

class CView {
public:
    explicit CView(const CRect& size);
    virtual ~CView();
    CView(const CView&) = delete;
    CView& operator=(const CView&) = delete;

    const CRect& getViewSize() const { return size_; }
    virtual void setViewSize(const CRect& size);

    // Draws the background image at the view's top-left corner.
    virtual void draw(CDrawContext& context);

    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons);
    // distance: wheel steps, positive away from the user.
    virtual bool onWheel(const CPoint& where, float distance, const CButtonState& buttons);

    void setMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
    bool getMouseEnabled() const { return mouseEnabled_; }

    // Replaces the background; the view keeps its own reference.
    virtual void setBackground(CBitmap* background);
    CBitmap* getBackground() const { return background_; }

    // Marks the view for redraw at the frame's next idle step.
    void invalid();
    void setDirty(bool dirty = true);
    bool isDirty() const { return dirty_; }

    CFrame* getFrame() const { return frame_; }
    // Called by the frame when the view is added to it or taken out.
    virtual void attached(CFrame* frame);
    virtual void removed();

protected:
    CRect size_;
    CBitmap* background_ = nullptr;
    CFrame* frame_ = nullptr;
    bool dirty_ = false;
    bool mouseEnabled_ = true;
};
