// Platform layer for X11: a child window of the host's window on a display
// connection of its own, painted with cairo through a back-buffer pixmap
// (so a repaint never shows half-drawn views) and fed by pump().

#include "gui/CairoImage.h"
#include "gui/PlatformWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>

#include <utility>
#include <vector>

namespace {

// X errors are reported through one process-wide handler, and Xlib's
// default one ends the process. The host may destroy its window before it
// closes the editor, which makes our next request on the child fail; that
// must not take the host down. While any of our windows exists, a handler
// records errors on our own connections and passes all others on to the
// handler it replaced. It is taken out again with the last window, so
// nothing points into this library once the host may unload it.
struct ErrorTrap {
    std::vector<std::pair<Display*, bool>> displays; // connection, error seen
    XErrorHandler previous = nullptr;
};

ErrorTrap& errorTrap()
{
    static ErrorTrap trap;
    return trap;
}

int trapError(Display* display, XErrorEvent* error)
{
    ErrorTrap& trap = errorTrap();
    for (auto& entry : trap.displays)
        if (entry.first == display) {
            entry.second = true;
            return 0;
        }
    return trap.previous ? trap.previous(display, error) : 0;
}

void attachErrorTrap(Display* display)
{
    ErrorTrap& trap = errorTrap();
    if (trap.displays.empty())
        trap.previous = XSetErrorHandler(trapError);
    trap.displays.emplace_back(display, false);
}

void detachErrorTrap(Display* display)
{
    ErrorTrap& trap = errorTrap();
    for (auto it = trap.displays.begin(); it != trap.displays.end(); ++it)
        if (it->first == display) {
            trap.displays.erase(it);
            break;
        }
    if (trap.displays.empty()) {
        XErrorHandler current = XSetErrorHandler(trap.previous);
        if (current != trapError)
            XSetErrorHandler(current); // someone replaced ours since: keep theirs
        trap.previous = nullptr;
    }
}

// True when an error arrived on the connection since the last call.
bool takeError(Display* display)
{
    for (auto& entry : errorTrap().displays)
        if (entry.first == display) {
            bool seen = entry.second;
            entry.second = false;
            return seen;
        }
    return false;
}

CButtonState modifiers(unsigned int state)
{
    int flags = 0;
    if (state & Button1Mask)
        flags |= kLButton;
    if (state & Button2Mask)
        flags |= kMButton;
    if (state & Button3Mask)
        flags |= kRButton;
    if (state & ShiftMask)
        flags |= kShift;
    if (state & ControlMask)
        flags |= kControl;
    if (state & Mod1Mask)
        flags |= kAlt;
    return CButtonState(flags);
}

int buttonFlag(unsigned int button)
{
    switch (button) {
    case Button1:
        return kLButton;
    case Button2:
        return kMButton;
    case Button3:
        return kRButton;
    default:
        return 0;
    }
}

class X11Window : public PlatformWindow {
public:
    X11Window(Display* display, const CRect& size, PlatformWindowListener* listener)
        : display_(display),
          origin_(size.left, size.top),
          width_(size.width()),
          height_(size.height()),
          listener_(listener)
    {
        attachErrorTrap(display_);
    }

    ~X11Window() override
    {
        if (backSurface_)
            cairo_surface_destroy(backSurface_);
        if (backBuffer_)
            XFreePixmap(display_, backBuffer_);
        if (gc_)
            XFreeGC(display_, gc_);
        if (window_)
            XDestroyWindow(display_, window_);
        // Collect any error (the host's window, and with it ours, may be gone
        // already) while our handler is still in place.
        XSync(display_, False);
        detachErrorTrap(display_);
        XCloseDisplay(display_);
    }

    bool open(Window parent)
    {
        XSync(display_, False);
        takeError(display_);

        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None; // the back buffer paints every pixel
        attributes.bit_gravity = NorthWestGravity;
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                EnterWindowMask | LeaveWindowMask | StructureNotifyMask;
        window_ = XCreateWindow(display_, parent, origin_.x, origin_.y, static_cast<unsigned>(width_),
                                static_cast<unsigned>(height_), 0, CopyFromParent, InputOutput, CopyFromParent,
                                CWBackPixmap | CWBitGravity | CWEventMask, &attributes);
        XSync(display_, False);
        XWindowAttributes info{};
        bool ok = !takeError(display_) && window_ && XGetWindowAttributes(display_, window_, &info);
        if (ok) {
            backBuffer_ = XCreatePixmap(display_, window_, static_cast<unsigned>(width_),
                                        static_cast<unsigned>(height_), static_cast<unsigned>(info.depth));
            gc_ = XCreateGC(display_, window_, 0, nullptr);
            // The server fills what becomes visible from the back buffer by
            // itself, so the window shows the editor as soon as it is mapped,
            // however long the host takes to call idle. (Drawing into the
            // buffer afterwards may or may not reach that fill; every redraw
            // copies to the window anyway.)
            XSetWindowBackgroundPixmap(display_, window_, backBuffer_);
            XSync(display_, False);
            ok = !takeError(display_);
        }
        if (!ok) {
            // The ids may be invalid: let closing the connection free them.
            window_ = 0;
            backBuffer_ = 0;
            gc_ = nullptr;
            return false;
        }
        backSurface_ = cairo_xlib_surface_create(display_, backBuffer_, info.visual, width_, height_);
        XMapWindow(display_, window_);
        XFlush(display_);
        return true;
    }

    void pump() override
    {
        // In the order they happened. Of a run of moves only the last
        // position matters, but a move is never merged across any other
        // event: a press, its drag and its release that arrive in one batch
        // must reach the controls as they were made.
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.xany.window != window_)
                continue;
            if (event.type == MotionNotify) {
                XEvent next;
                while (XEventsQueued(display_, QueuedAfterReading) > 0) {
                    XPeekEvent(display_, &next);
                    if (next.type != MotionNotify || next.xany.window != window_)
                        break;
                    XNextEvent(display_, &event);
                }
            }
            handle(event);
        }
    }

    void redraw(const CRect& area) override
    {
        if (area.isEmpty() || !window_)
            return;
        {
            CairoDrawContext context(backSurface_, origin_);
            context.setClipRect(area);
            listener_->platformDraw(context, area);
        }
        cairo_surface_flush(backSurface_);
        int x = area.left - origin_.x;
        int y = area.top - origin_.y;
        XCopyArea(display_, backBuffer_, window_, gc_, x, y, static_cast<unsigned>(area.width()),
                  static_cast<unsigned>(area.height()), x, y);
        XFlush(display_);
    }

    std::uintptr_t nativeHandle() const override { return static_cast<std::uintptr_t>(window_); }

private:
    CPoint toFrame(int x, int y) const { return CPoint(x + origin_.x, y + origin_.y); }

    void handle(XEvent& event)
    {
        switch (event.type) {
        case ButtonPress: {
            const XButtonEvent& b = event.xbutton;
            CPoint where = toFrame(b.x, b.y);
            if (b.button == Button4 || b.button == Button5) {
                listener_->platformMouseWheel(where, b.button == Button4 ? 1.0f : -1.0f, modifiers(b.state));
            } else if (int flag = buttonFlag(b.button)) {
                // The server's timestamp: a press handled late still counts
                // from when it was made.
                listener_->platformMouseDown(where, CButtonState(modifiers(b.state).flags | flag),
                                             static_cast<std::uint32_t>(b.time));
            }
            break;
        }
        case ButtonRelease: {
            const XButtonEvent& b = event.xbutton;
            if (int flag = buttonFlag(b.button))
                listener_->platformMouseUp(toFrame(b.x, b.y), CButtonState((modifiers(b.state).flags & ~0x7) | flag));
            break;
        }
        case MotionNotify: {
            const XMotionEvent& m = event.xmotion;
            listener_->platformMouseMoved(toFrame(m.x, m.y), modifiers(m.state));
            break;
        }
        case EnterNotify: {
            const XCrossingEvent& c = event.xcrossing;
            listener_->platformMouseMoved(toFrame(c.x, c.y), modifiers(c.state));
            break;
        }
        case DestroyNotify:
            // Destroyed with the host's window: nothing left to draw on.
            window_ = 0;
            break;
        case LeaveNotify:
            listener_->platformMouseExited();
            break;
        case Expose: {
            const XExposeEvent& e = event.xexpose;
            CPoint topLeft = toFrame(e.x, e.y);
            listener_->platformInvalid(CRect(topLeft.x, topLeft.y, topLeft.x + e.width, topLeft.y + e.height));
            break;
        }
        default:
            break;
        }
    }

    Display* display_;
    CPoint origin_;
    int width_;
    int height_;
    PlatformWindowListener* listener_;
    Window window_ = 0;
    Pixmap backBuffer_ = 0;
    GC gc_ = nullptr;
    cairo_surface_t* backSurface_ = nullptr;
};

} // namespace

std::unique_ptr<PlatformWindow> PlatformWindow::create(void* parent, const CRect& size,
                                                       PlatformWindowListener* listener)
{
    if (!parent || size.isEmpty() || !listener)
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    auto window = std::make_unique<X11Window>(display, size, listener);
    if (!window->open(static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent))))
        return nullptr;
    return window;
}
