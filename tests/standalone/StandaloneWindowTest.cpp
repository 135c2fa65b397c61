// The application's window on a private X server: a top-level window of
// the application's class and process holds the editor, which shows the
// editor's own pixels, and a knob dragged with XTest, as a user drags it,
// changes the sound's parameter (the one the application keeps when it
// quits). Started from a desktop's menu without a JACK server, it says so
// in a window.

#include "StandaloneFixture.h"

#include "support/JackProbe.h"
#include "support/JackServer.h"
#include "support/VirtualDisplay.h"

// GoogleTest before Xlib, whose macros (None) its names would meet.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct AppWindow {
    Window frame = 0;  // the application's top-level window
    Window editor = 0; // the editor inside it
};

long windowPid(Display* display, Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type,
                           &format, &count, &left, &data) == Success &&
        data != nullptr && count == 1)
        std::memcpy(&pid, data, sizeof pid);
    if (data != nullptr)
        XFree(data);
    return pid;
}

bool hasClass(Display* display, Window window, const char* instance, const char* className)
{
    XClassHint hint{};
    if (XGetClassHint(display, window, &hint) == 0)
        return false;
    const bool match = std::strcmp(hint.res_name, instance) == 0 && std::strcmp(hint.res_class, className) == 0;
    XFree(hint.res_name);
    XFree(hint.res_class);
    return match;
}

// The application's top-level windows, by process and class.
std::vector<Window> appWindows(Display* display, long pid)
{
    std::vector<Window> found;
    Window root = 0, parent = 0, *tops = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &tops, &count);
    for (unsigned t = 0; t < count; ++t)
        if (windowPid(display, tops[t]) == pid && hasClass(display, tops[t], "tarvel", "Tarvel"))
            found.push_back(tops[t]);
    if (tops != nullptr)
        XFree(tops);
    return found;
}

// A viewable child of `window` of the editor's size, or 0.
Window editorIn(Display* display, Window window)
{
    Window root = 0, parent = 0, *children = nullptr, editor = 0;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    for (unsigned c = 0; c < count && editor == 0; ++c) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, children[c], &attributes);
        if (attributes.width == 740 && attributes.height == 520 && attributes.map_state == IsViewable)
            editor = children[c];
    }
    if (children != nullptr)
        XFree(children);
    return editor;
}

// The application's window, once it shows the editor.
AppWindow findAppWindow(Display* display, long pid, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        for (Window frame : appWindows(display, pid))
            if (const Window editor = editorIn(display, frame))
                return {frame, editor};
        std::this_thread::sleep_for(50ms);
    }
    return {};
}

// The share of the window's pixels that are the editor's background image's
// own (each colour channel within 2 of it).
double shareOfLayoutPixels(Display* display, Window window)
{
    cairo_surface_t* layout = cairo_image_surface_create_from_png(EDITOR_LAYOUT_PNG);
    if (cairo_surface_status(layout) != CAIRO_STATUS_SUCCESS)
        return -1.0;
    const int width = cairo_image_surface_get_width(layout), height = cairo_image_surface_get_height(layout);
    const int stride = cairo_image_surface_get_stride(layout);
    const unsigned char* pixels = cairo_image_surface_get_data(layout);
    XImage* shot = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                             AllPlanes, ZPixmap);
    if (shot == nullptr) {
        cairo_surface_destroy(layout);
        return -1.0;
    }
    long same = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t want = 0;
            std::memcpy(&want, pixels + y * stride + 4 * x, sizeof want);
            const unsigned long got = XGetPixel(shot, x, y);
            bool close = true;
            for (int shift : {16, 8, 0}) {
                const int a = static_cast<int>((want >> shift) & 0xff), b = static_cast<int>((got >> shift) & 0xff);
                close = close && std::abs(a - b) <= 2;
            }
            same += close ? 1 : 0;
        }
    XDestroyImage(shot);
    cairo_surface_destroy(layout);
    return static_cast<double>(same) / (static_cast<double>(width) * static_cast<double>(height));
}

void moveTo(Display* display, Window editor, int x, int y)
{
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, editor, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, -1, rootX, rootY, 0);
    XSync(display, False);
    std::this_thread::sleep_for(40ms);
}

void press(Display* display, bool down)
{
    XTestFakeButtonEvent(display, 1, down ? True : False, 0);
    XSync(display, False);
    std::this_thread::sleep_for(60ms);
}

} // namespace

class StandaloneWindow : public StandaloneFixture {};

TEST_F(StandaloneWindow, ShowsTheEditorAndAKnobDragChangesTheSound)
{
    VirtualDisplay screen(folder);
    ASSERT_TRUE(screen.ready());
    JackServer server(folder);
    ASSERT_TRUE(server.ready()) << server.log();
    auto app = startApp({}, server.name(), screen.name());
    Display* display = XOpenDisplay(screen.name().c_str());
    ASSERT_NE(display, nullptr);
    const AppWindow window = findAppWindow(display, app->pid(), 15s);
    ASSERT_NE(window.editor, 0u) << app->errorOutput();

    // The editor has drawn itself: the background where no knob stands.
    double share = 0.0;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while ((share = shareOfLayoutPixels(display, window.editor)) < 0.6 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    EXPECT_GE(share, 0.6);
    RecordProperty("layoutShare", std::to_string(share));

    // The filter's cutoff knob, dragged 60 pixels up.
    moveTo(display, window.editor, 575, 265);
    press(display, true);
    for (int y = 260; y >= 205; y -= 5)
        moveTo(display, window.editor, 575, y);
    press(display, false);
    std::this_thread::sleep_for(200ms);
    XCloseDisplay(display);
    EXPECT_EQ(quit(*app, SIGTERM), 0) << app->errorOutput();

    const TarvelHost::FxBank saved = savedState();
    ASSERT_EQ(saved.currentProgram, 0);
    const float before = parameterOf(factoryBank(), 0, 27), after = parameterOf(saved.chunk, 0, 27);
    EXPECT_GT(after, before + 0.1f) << "the cutoff went from " << before << " to " << after;
    RecordProperty("cutoff", std::to_string(before) + " -> " + std::to_string(after));
    for (int index = 0; index < 56; ++index) {
        if (index != 27) {
            EXPECT_EQ(parameterOf(saved.chunk, 0, index), parameterOf(factoryBank(), 0, index)) << index;
        }
    }
}

TEST_F(StandaloneWindow, WithoutAServerItSaysSoInAWindowWhenStartedFromTheMenu)
{
    // Started from a desktop's menu: a display, and nobody reading its
    // standard error (here a file).
    VirtualDisplay screen(folder);
    ASSERT_TRUE(screen.ready());
    auto app = startApp({}, JackServer::unusedName(), screen.name());
    Display* display = XOpenDisplay(screen.name().c_str());
    ASSERT_NE(display, nullptr);
    std::vector<Window> shown;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while ((shown = appWindows(display, app->pid())).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    ASSERT_EQ(shown.size(), 1u) << app->errorOutput();
    EXPECT_FALSE(app->wait(500ms).has_value()) << "the message did not wait to be read";

    // A click on it closes it, and the application ends as it does without
    // a display.
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, shown[0], &attributes);
    moveTo(display, shown[0], attributes.width / 2, attributes.height / 2);
    press(display, true);
    press(display, false);
    XCloseDisplay(display);
    EXPECT_EQ(app->wait(5s).value_or(-1), 1);
    EXPECT_NE(app->errorOutput().find("no JACK server"), std::string::npos) << app->errorOutput();
}
