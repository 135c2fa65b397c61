#pragma once
// The one piece of the toolkit that talks to the window system: a child
// window inside the host's window, its input events and its presentation.
// Events are delivered only from pump(), on the caller's thread.

#include "gui/CButtonState.h"
#include "gui/CRect.h"

#include <cstdint>
#include <memory>

class CDrawContext;

// What the window reports to its owner (the frame).
class PlatformWindowListener {
public:
    virtual ~PlatformWindowListener() = default;
    // time: when the press happened, in milliseconds of the window system's
    // own event clock (only the difference between two presses counts).
    virtual void platformMouseDown(const CPoint& where, CButtonState buttons, std::uint32_t time) = 0;
    virtual void platformMouseUp(const CPoint& where, CButtonState buttons) = 0;
    virtual void platformMouseMoved(const CPoint& where, CButtonState buttons) = 0;
    virtual void platformMouseExited() = 0;
    virtual void platformMouseWheel(const CPoint& where, float distance, CButtonState buttons) = 0;
    // Part of the window needs painting again (it was uncovered).
    virtual void platformInvalid(const CRect& area) = 0;
    // Paint `area` into the context (already clipped to it).
    virtual void platformDraw(CDrawContext& context, const CRect& area) = 0;
    // The window system's own timer, on platforms whose hosts may stop
    // sending the editor's idle calls: run the idle step they would have.
    virtual void platformIdle() {}
};

class PlatformWindow {
public:
    virtual ~PlatformWindow() = default;

    // A child window of `parent` (the host's window handle) covering size;
    // nullptr when the window system cannot be reached.
    static std::unique_ptr<PlatformWindow> create(void* parent, const CRect& size, PlatformWindowListener* listener);

    // Delivers every pending event to the listener.
    virtual void pump() = 0;
    // Paints area through the listener off screen, then shows it at once.
    virtual void redraw(const CRect& area) = 0;
    virtual std::uintptr_t nativeHandle() const = 0;
};
