// The Win32 platform layer in a real window (under Wine and a virtual X
// server in the tests): the GUI scene is drawn offscreen and into a child
// window of a host-like top-level window; the window must show exactly the
// offscreen pixels, and mouse input must reach the controls through the
// frame's idle step, with capture during a drag and leave tracking.
//
// usage: windows-gui-check OFFSCREEN.png WINDOW.png
// Exits 0 when every check passes.

#include "Capture.h"

#include "../GuiScene.h"
#include "gui/COffscreenContext.h"

#include <windowsx.h>

#include <cmath>
#include <cstdio>

namespace {

int failures = 0;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok)
        ++failures;
}

// Lets the window procedure run, then the frame's idle step, a few times.
void settle(CFrame& frame, int rounds = 3)
{
    for (int i = 0; i < rounds; ++i) {
        Capture::pumpThread();
        frame.idle();
        Sleep(10);
    }
}

// Pixels of the window that differ from the offscreen image inside area.
int differences(const std::vector<std::uint32_t>& shown, COffscreenContext& image, const CRect& area)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            CColor c = image.getPixel(x, y);
            std::uint32_t expected = (std::uint32_t(c.red) << 16) | (std::uint32_t(c.green) << 8) | c.blue;
            if (shown[static_cast<std::size_t>(y * GuiScene::kWidth + x)] != expected)
                ++count;
        }
    return count;
}

LPARAM at(int x, int y)
{
    return MAKELPARAM(x, y);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OFFSCREEN.png WINDOW.png\n", argv[0]);
        return 2;
    }
    const CRect all(0, 0, GuiScene::kWidth, GuiScene::kHeight);

    // Offscreen: the picture the Linux build's reference is compared with.
    {
        auto frame = GuiScene::build(nullptr);
        auto image = frame->renderOffscreen();
        check(image && image->writePNG(argv[1]), "the scene renders offscreen and is written as PNG");
        check(image && image->getPixel(0, 0).alpha == 255, "the background image is opaque");
    }

    HWND host = Capture::hostWindow(GuiScene::kWidth, GuiScene::kHeight, L"Tarvel GUI check");
    check(host != nullptr, "the host window opens");
    if (!host)
        return 1;
    GuiScene::Views views;
    auto frame = GuiScene::build(host, &views);
    HWND child = reinterpret_cast<HWND>(frame->getNativeWindow());
    check(frame->isOpen() && child && GetParent(child) == host, "the frame opens a child window of the host's");
    if (!child)
        return 1;
    RECT client{};
    GetClientRect(child, &client);
    check(client.right == GuiScene::kWidth && client.bottom == GuiScene::kHeight, "the child window is 740 x 520");

    settle(*frame);
    check(frame->dirtyArea().isEmpty(), "the idle step paints everything that was dirty");
    auto shown = Capture::grab(child, GuiScene::kWidth, GuiScene::kHeight);
    auto expected = frame->renderOffscreen();
    int wrong = differences(shown, *expected, all);
    std::printf("      %d of %d window pixels differ from the offscreen image\n", wrong,
                GuiScene::kWidth * GuiScene::kHeight);
    check(wrong == 0, "the window shows exactly the offscreen pixels");
    check(Capture::writePng(shown, GuiScene::kWidth, GuiScene::kHeight, argv[2]), "the window capture is written");

    // A drag on the first knob: press, move up 50 pixels, release. The
    // pointer is put there too, so the system's own leave tracking agrees.
    CAnimKnob* knob = views.firstKnob;
    const CRect k = knob->getViewSize();
    const int kx = (k.left + k.right) / 2;
    const int ky = (k.top + k.bottom) / 2;
    POINT screen{kx, ky};
    ClientToScreen(child, &screen);
    SetCursorPos(screen.x, screen.y);
    const float before = knob->getValue();
    PostMessageW(child, WM_MOUSEMOVE, 0, at(kx, ky));
    settle(*frame);
    check(frame->getMouseOverView() == knob, "moving over the knob makes it the view under the mouse");

    PostMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, at(kx, ky));
    settle(*frame);
    check(GetCapture() == child, "a press captures the mouse");
    PostMessageW(child, WM_MOUSEMOVE, MK_LBUTTON, at(kx, ky - 50));
    Capture::pumpThread();
    check(knob->getValue() == before, "input waits for the frame's idle step");
    frame->idle();
    const float dragged = knob->getValue();
    check(std::fabs(dragged - (before + 50.0f / CAnimKnob::kDragRange)) < 1e-6f,
          "the move reaches the knob: 50 pixels up turn it by a quarter");
    // Outside the window while the button is held: still the knob's drag.
    PostMessageW(child, WM_MOUSEMOVE, MK_LBUTTON, at(kx, -30));
    settle(*frame);
    check(knob->getValue() > dragged, "moves outside the window keep dragging while captured");
    PostMessageW(child, WM_LBUTTONUP, 0, at(kx, -30));
    settle(*frame);
    check(GetCapture() != child, "the release gives the capture back");
    const float released = knob->getValue();
    PostMessageW(child, WM_MOUSEMOVE, 0, at(kx, ky + 40));
    settle(*frame);
    check(knob->getValue() == released, "moves after the release do not turn the knob");

    // The knob's new frame is on screen after the idle step.
    settle(*frame);
    shown = Capture::grab(child, GuiScene::kWidth, GuiScene::kHeight);
    expected = frame->renderOffscreen();
    check(differences(shown, *expected, all) == 0, "the window shows the turned knob");

    // The wheel, reported in screen coordinates.
    PostMessageW(child, WM_MOUSEMOVE, 0, at(kx, ky));
    settle(*frame);
    const float beforeWheel = knob->getValue();
    PostMessageW(child, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(screen.x, screen.y));
    settle(*frame);
    check(std::fabs(knob->getValue() - (beforeWheel - CAnimKnob::kWheelStep)) < 1e-6f,
          "one wheel notch down turns the knob one step");

    // A host that runs its message loop but sends no idle calls: the
    // window's timer runs the idle step.
    const float beforeTimer = knob->getValue();
    PostMessageW(child, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
    const DWORD until = GetTickCount() + 400;
    while (static_cast<LONG>(GetTickCount() - until) < 0) {
        Capture::pumpThread();
        Sleep(10);
    }
    check(knob->getValue() > beforeTimer && frame->dirtyArea().isEmpty(),
          "without the host's idle calls the window's timer runs the idle step");

    // Leaving: the pointer goes elsewhere, the system reports the leave.
    SetCursorPos(screen.x + 2000, screen.y + 2000);
    PostMessageW(child, WM_MOUSELEAVE, 0, 0);
    settle(*frame, 5);
    check(frame->getMouseOverView() == nullptr, "leaving the window clears the view under the mouse");

    // Uncovering: a repaint request is served from the back buffer.
    InvalidateRect(child, nullptr, FALSE);
    UpdateWindow(child);
    settle(*frame);
    shown = Capture::grab(child, GuiScene::kWidth, GuiScene::kHeight);
    expected = frame->renderOffscreen();
    check(differences(shown, *expected, all) == 0, "a repaint shows the same pixels");

    // The host destroys its window before closing the editor.
    DestroyWindow(host);
    check(!IsWindow(child), "the child goes with the host's window");
    settle(*frame);
    frame.reset();
    check(true, "the frame closes after its window is gone");

    // And the usual order: the frame closes, then the host's window.
    HWND second = Capture::hostWindow(GuiScene::kWidth, GuiScene::kHeight, L"Tarvel GUI check 2");
    auto again = GuiScene::build(second);
    HWND secondChild = reinterpret_cast<HWND>(again->getNativeWindow());
    settle(*again);
    again.reset();
    check(secondChild && !IsWindow(secondChild), "closing the frame destroys its window");
    DestroyWindow(second);

    std::printf("%s: %d check(s) failed\n", failures ? "FAIL" : "PASS", failures);
    return failures ? 1 : 0;
}
