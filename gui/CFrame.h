#pragma once
// The top-level view: owns its views, draws the background and then the
// views in the order they were added, routes mouse events to the view
// under the pointer (the view that takes a press gets the moves and the
// release) and tracks which view the pointer is over for enter and leave.
//
// With a parent window it opens a child window of it through the platform
// layer; idle() then pumps that window's events, fires the timers and
// repaints what became dirty. Without one it still draws offscreen.

#include "gui/CButtonState.h"
#include "gui/CView.h"

#include <cstdint>
#include <memory>
#include <vector>

class AEffGUIEditor;
class COffscreenContext;
class PlatformWindow;

class CFrame : public CView {
public:
    // parentWindow: the host's window handle (may be null for no window).
    CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor = nullptr);
    ~CFrame() override;

    // Takes ownership; the view is deleted with the frame.
    bool addView(CView* view);
    // Takes the view out; deletes it unless `keep` is set.
    bool removeView(CView* view, bool keep = false);
    void removeAll();
    int getNbViews() const { return static_cast<int>(views_.size()); }
    CView* getView(int index) const;
    // The topmost view under the point that takes the mouse, or null.
    CView* getViewAt(const CPoint& where) const;

    AEffGUIEditor* getEditor() const { return editor_; }
    bool isOpen() const { return window_ != nullptr; }
    // The platform window's handle (an X11 Window id), 0 without a window.
    std::uintptr_t getNativeWindow() const;

    // Pumps the window's events, fires due timers, repaints dirty parts.
    void idle();
    // Repaints the dirty parts in the window now.
    void paintDirty();

    void draw(CDrawContext& context) override;
    // Paints `area` of the frame (background and overlapping views).
    void drawRect(CDrawContext& context, const CRect& area);
    void invalidRect(const CRect& rect);
    // The area waiting to be repainted at the next idle step.
    const CRect& dirtyArea() const { return dirtyArea_; }

    // A control's gesture begins or ends: passed on to the host through
    // the editor. Controls without a parameter (tag < 0) are not passed on.
    void beginEdit(std::int32_t tag);
    void endEdit(std::int32_t tag);

    // Mouse input in frame coordinates; the window feeds these, tests may too.
    // A press carries the time it happened (milliseconds, any clock that
    // its window uses for all its presses); without one it is the tick count.
    void mouseDown(CPoint where, CButtonState buttons);
    void mouseDown(CPoint where, CButtonState buttons, std::uint32_t time);
    // The time of the press being delivered, or of the latest one.
    std::uint32_t getMouseDownTime() const { return mouseDownTime_; }
    void mouseUp(CPoint where, CButtonState buttons);
    void mouseMoved(CPoint where, CButtonState buttons);
    void mouseExited();
    void mouseWheel(CPoint where, float distance, CButtonState buttons);
    CView* getMouseOverView() const { return mouseOver_; }

    // Draws the whole frame into a new offscreen image.
    std::unique_ptr<COffscreenContext> renderOffscreen();
    bool writePNG(const char* path);

private:
    class WindowListener;
    void setMouseOver(CView* view, CPoint where, CButtonState buttons);

    AEffGUIEditor* editor_;
    std::vector<CView*> views_;
    CView* mouseCapture_ = nullptr;
    CView* mouseOver_ = nullptr;
    std::uint32_t mouseDownTime_ = 0;
    CRect dirtyArea_;
    std::unique_ptr<WindowListener> listener_;
    std::unique_ptr<PlatformWindow> window_;
};
