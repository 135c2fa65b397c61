#pragma once
// The host's side of tests that run a frame or an editor on a real (virtual)
// X server: the connection, the parent window a host makes for the editor
// (destroyed after each test), and pointer input through XTest, which
// arrives as a user's would.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

class XServerTest : public ::testing::Test {
protected:
    // The editor's size, and so the host window's.
    static constexpr int kWidth = 740, kHeight = 520;

    void SetUp() override
    {
        display = connection();
        ASSERT_NE(display, nullptr) << "no X server: run under xvfb-run";
        int eventBase, errorBase, major, minor;
        ASSERT_TRUE(XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor));
    }

    void TearDown() override
    {
        if (display && parent) {
            XDestroyWindow(display, parent);
            XSync(display, False);
        }
        parent = 0;
    }

    // The host's window (`parent`) at the top-left of the screen, mapped and
    // shown.
    void mapHostWindow()
    {
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0,
                                     BlackPixel(display, 0), BlackPixel(display, 0));
        XSelectInput(display, parent, StructureNotifyMask);
        XMapWindow(display, parent);
        XEvent event;
        do
            XNextEvent(display, &event);
        while (event.type != MapNotify);
    }

    void movePointer(int x, int y)
    {
        XTestFakeMotionEvent(display, 0, x, y, CurrentTime);
        XSync(display, False);
    }
    void button(unsigned int which, bool down)
    {
        XTestFakeButtonEvent(display, which, down ? True : False, CurrentTime);
        XSync(display, False);
    }

    Display* display = nullptr;
    Window parent = 0;

private:
    // One connection for the whole test program, opened at the first use and
    // kept to the end: an X server left without clients resets itself and
    // refuses connections meanwhile.
    static Display* connection()
    {
        static Display* const opened = XOpenDisplay(nullptr);
        return opened;
    }
};
