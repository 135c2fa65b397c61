// Platform layer for Win32: a child window of the host's window, painted
// with GDI+ into a back buffer (a DIB section, so a repaint never shows
// half-drawn views) and shown with BitBlt.
//
// The window procedure runs whenever the host's message loop dispatches to
// us; it only records what happened. pump() hands the records to the
// listener, so that, as on every platform, events reach the frame from its
// idle step alone. pump() also dispatches the window's own queued messages,
// for hosts that call the editor's idle without running a message loop of
// their own for it. Hosts that run a loop but stop calling the editor's idle
// (some do while the window is in the background, some never do) are
// covered by a timer: when no idle step came for a while, the window asks
// its listener for one.

#include "gui/PlatformWindow.h"
#include "gui/win32/GdiPlusImage.h"

#include <windowsx.h>

#include <vector>

namespace {

const wchar_t kClassName[] = L"TarvelPluginWindow";
int windowCount = 0;

// The module this code is in (the plug-in DLL), which owns the class.
HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

CButtonState modifiers(WPARAM state)
{
    int flags = 0;
    if (state & MK_LBUTTON)
        flags |= kLButton;
    if (state & MK_MBUTTON)
        flags |= kMButton;
    if (state & MK_RBUTTON)
        flags |= kRButton;
    if (state & MK_SHIFT)
        flags |= kShift;
    if (state & MK_CONTROL)
        flags |= kControl;
    if (GetKeyState(VK_MENU) < 0)
        flags |= kAlt;
    return CButtonState(flags);
}

struct Event {
    enum Kind { Down, Up, Moved, Exited, Wheel, Invalid } kind;
    CPoint where;
    CButtonState buttons;
    float distance;
    CRect area;
    DWORD time; // presses: when the message was posted
};

class Win32Window : public PlatformWindow {
public:
    Win32Window(const CRect& size, PlatformWindowListener* listener)
        : origin_(size.left, size.top), width_(size.width()), height_(size.height()), listener_(listener)
    {
    }

    ~Win32Window() override
    {
        if (window_) {
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            DestroyWindow(window_);
        }
        if (memoryDC_) {
            SelectObject(memoryDC_, previousBitmap_);
            DeleteDC(memoryDC_);
        }
        back_.reset();
        if (dib_)
            DeleteObject(dib_);
        if (registered_ && --windowCount == 0)
            UnregisterClassW(kClassName, thisModule());
    }

    bool open(HWND parent)
    {
        if (!IsWindow(parent) || !registerClass())
            return false;
        registered_ = true;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_; // top row first, like every other buffer of ours
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        dib_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!dib_ || !bits)
            return false;
        memoryDC_ = CreateCompatibleDC(nullptr);
        if (!memoryDC_)
            return false;
        previousBitmap_ = SelectObject(memoryDC_, dib_);
        back_ = std::make_unique<PixelBuffer>(width_, height_, bits);
        if (!back_->ok())
            return false;
        window_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, origin_.x, origin_.y,
                                  width_, height_, parent, nullptr, thisModule(), this);
        if (!window_)
            return false;
        lastPump_ = GetTickCount();
        SetTimer(window_, kIdleTimer, kIdleTimerPeriodMs, nullptr);
        return true;
    }

    void pump() override
    {
        lastPump_ = GetTickCount();
        if (window_) {
            MSG message;
            while (window_ && PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        // The listener may close the window from an event: take the list
        // first, and stop when this window's pump is re-entered.
        std::vector<Event> events;
        events.swap(events_);
        for (const Event& e : events) {
            switch (e.kind) {
            case Event::Down:
                listener_->platformMouseDown(e.where, e.buttons, static_cast<std::uint32_t>(e.time));
                break;
            case Event::Up:
                listener_->platformMouseUp(e.where, e.buttons);
                break;
            case Event::Moved:
                listener_->platformMouseMoved(e.where, e.buttons);
                break;
            case Event::Exited:
                listener_->platformMouseExited();
                break;
            case Event::Wheel:
                listener_->platformMouseWheel(e.where, e.distance, e.buttons);
                break;
            case Event::Invalid:
                listener_->platformInvalid(e.area);
                break;
            }
        }
    }

    void redraw(const CRect& area) override
    {
        if (area.isEmpty() || !window_)
            return;
        {
            GdiPlusDrawContext context(*back_, origin_);
            context.setClipRect(area);
            listener_->platformDraw(context, area);
            context.flush();
        }
        if (!window_)
            return;
        if (HDC dc = GetDC(window_)) {
            const int x = area.left - origin_.x;
            const int y = area.top - origin_.y;
            BitBlt(dc, x, y, area.width(), area.height(), memoryDC_, x, y, SRCCOPY);
            ReleaseDC(window_, dc);
        }
    }

    std::uintptr_t nativeHandle() const override { return reinterpret_cast<std::uintptr_t>(window_); }

private:
    static bool registerClass()
    {
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof existing;
        if (windowCount > 0 || GetClassInfoExW(thisModule(), kClassName, &existing)) {
            ++windowCount;
            return true;
        }
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &Win32Window::procedure;
        wc.hInstance = thisModule();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = kClassName;
        if (!RegisterClassExW(&wc))
            return false;
        ++windowCount;
        return true;
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self)
            return self->handle(window, message, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    CPoint toFrame(LPARAM lParam) const
    {
        return CPoint(GET_X_LPARAM(lParam) + origin_.x, GET_Y_LPARAM(lParam) + origin_.y);
    }

    void push(Event::Kind kind, CPoint where = CPoint(0, 0), CButtonState buttons = CButtonState(),
              float distance = 0.0f, CRect area = CRect())
    {
        events_.push_back(Event{kind, where, buttons, distance, area, 0});
    }

    void pressed(HWND window, LPARAM lParam, WPARAM wParam, int button)
    {
        // Keep the moves and the release while the button is held, even
        // outside the window.
        if (GetCapture() != window)
            SetCapture(window);
        push(Event::Down, toFrame(lParam), CButtonState(modifiers(wParam).flags | button));
        // The message's own time: a press handled late still counts from
        // when it was made.
        events_.back().time = static_cast<DWORD>(GetMessageTime());
    }

    void released(LPARAM lParam, WPARAM wParam, int button)
    {
        CButtonState held = modifiers(wParam);
        if (!(held.flags & (kLButton | kMButton | kRButton)) && GetCapture() == window_)
            ReleaseCapture();
        push(Event::Up, toFrame(lParam), CButtonState((held.flags & ~(kLButton | kMButton | kRButton)) | button));
    }

    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            pressed(window, lParam, wParam, kLButton);
            return 0;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            pressed(window, lParam, wParam, kMButton);
            return 0;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            pressed(window, lParam, wParam, kRButton);
            return 0;
        case WM_LBUTTONUP:
            released(lParam, wParam, kLButton);
            return 0;
        case WM_MBUTTONUP:
            released(lParam, wParam, kMButton);
            return 0;
        case WM_RBUTTONUP:
            released(lParam, wParam, kRButton);
            return 0;
        case WM_MOUSEMOVE: {
            if (!tracking_) {
                // Ask for WM_MOUSELEAVE: the pointer entered.
                TRACKMOUSEEVENT track{};
                track.cbSize = sizeof track;
                track.dwFlags = TME_LEAVE;
                track.hwndTrack = window;
                tracking_ = TrackMouseEvent(&track) != FALSE;
            }
            // Only the latest position matters; replace a queued move.
            CPoint where = toFrame(lParam);
            if (!events_.empty() && events_.back().kind == Event::Moved)
                events_.back() = Event{Event::Moved, where, modifiers(wParam), 0.0f, CRect(), 0};
            else
                push(Event::Moved, where, modifiers(wParam));
            return 0;
        }
        case WM_MOUSELEAVE:
            tracking_ = false;
            push(Event::Exited);
            return 0;
        case WM_MOUSEWHEEL: {
            // Wheel positions are in screen coordinates.
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(window, &p);
            float notches = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
            push(Event::Wheel, CPoint(p.x + origin_.x, p.y + origin_.y), modifiers(GET_KEYSTATE_WPARAM(wParam)),
                 notches);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kIdleTimer && !inIdle_ && GetTickCount() - lastPump_ >= kIdleMissingMs) {
                inIdle_ = true;
                listener_->platformIdle();
                inIdle_ = false;
            }
            return 0;
        case WM_ERASEBKGND:
            return 1; // the back buffer covers every pixel
        case WM_PAINT: {
            // Show what the back buffer holds now, and have the frame paint
            // the area again at its next idle step in case it is stale.
            PAINTSTRUCT paint;
            if (HDC dc = BeginPaint(window, &paint)) {
                const RECT& r = paint.rcPaint;
                BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memoryDC_, r.left, r.top, SRCCOPY);
                EndPaint(window, &paint);
                if (r.right > r.left && r.bottom > r.top)
                    push(Event::Invalid, CPoint(), CButtonState(), 0.0f,
                         CRect(r.left + origin_.x, r.top + origin_.y, r.right + origin_.x, r.bottom + origin_.y));
            }
            return 0;
        }
        case WM_DESTROY:
            // Destroyed with the host's window: nothing left to draw on.
            window_ = nullptr;
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    CPoint origin_;
    int width_;
    int height_;
    PlatformWindowListener* listener_;
    HWND window_ = nullptr;
    HBITMAP dib_ = nullptr;
    HDC memoryDC_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    std::unique_ptr<PixelBuffer> back_;
    std::vector<Event> events_;
    bool tracking_ = false;
    bool registered_ = false;
    bool inIdle_ = false;
    DWORD lastPump_ = 0;

    static constexpr UINT_PTR kIdleTimer = 1;
    static constexpr UINT kIdleTimerPeriodMs = 30;
    // Hosts idle the editor 10 to 50 times a second; after this long
    // without, the timer takes over.
    static constexpr DWORD kIdleMissingMs = 100;
};

} // namespace

std::unique_ptr<PlatformWindow> PlatformWindow::create(void* parent, const CRect& size,
                                                       PlatformWindowListener* listener)
{
    if (!parent || size.isEmpty() || !listener)
        return nullptr;
    auto window = std::make_unique<Win32Window>(size, listener);
    if (!window->open(static_cast<HWND>(parent)))
        return nullptr;
    return window;
}
