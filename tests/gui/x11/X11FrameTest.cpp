// The frame in a real window on a (virtual) X server: a parent window made
// as a host makes it, pointer and buttons moved through XTest, pixels read
// back from the server. Run under xvfb-run.

#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CControlListener.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/CMovieButton.h"
#include "gui/COffscreenContext.h"
#include "tests/support/XServerTest.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

struct Recorder : CControlListener {
    std::string log;
    void valueChanged(CControl* c) override { log += "change(" + std::to_string(c->getValue()) + ") "; }
    void controlBeginEdit(CControl*) override { log += "begin "; }
    void controlEndEdit(CControl*) override { log += "end "; }
};

struct HoverKnob : CAnimKnob {
    using CAnimKnob::CAnimKnob;
    int entered = 0, exited = 0;
    CMouseEventResult onMouseEntered(CPoint&, const CButtonState&) override
    {
        ++entered;
        return kMouseEventNotHandled;
    }
    CMouseEventResult onMouseExited(CPoint&, const CButtonState&) override
    {
        ++exited;
        return kMouseEventNotHandled;
    }
};

class X11FrameTest : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        if (HasFatalFailure())
            return;
        mapHostWindow(); // the host's editor window
        movePointer(kWidth + 100, kHeight + 100);
    }

    void* parentHandle() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)); }

    // Idles the frame, as the host's idle calls would, until `done` or 3 s.
    bool idleUntil(CFrame& frame, const std::function<bool()>& done)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < deadline) {
            frame.idle();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    void idleFor(CFrame& frame, int ms)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            frame.idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    void button(bool down) { XServerTest::button(1, down); }

    int childCount()
    {
        Window root, parentOut, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(display, parent, &root, &parentOut, &children, &count);
        if (children)
            XFree(children);
        return static_cast<int>(count);
    }

    // The frame window's pixels as the server has them.
    struct Screen {
        XImage* image;
        explicit Screen(XImage* i) : image(i) {}
        ~Screen() { XDestroyImage(image); }
        Screen(const Screen&) = delete;
        Screen& operator=(const Screen&) = delete;
        CColor at(int x, int y) const
        {
            unsigned long p = XGetPixel(image, x, y);
            return CColor((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
        }
    };
    std::unique_ptr<Screen> grab(CFrame& frame)
    {
        XSync(display, False);
        XImage* image =
            XGetImage(display, static_cast<Window>(frame.getNativeWindow()), 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
        return image ? std::make_unique<Screen>(image) : nullptr;
    }

    // Pixels of the window that differ by more than 2 in a channel from
    // the same frame rendered offscreen (composited over black, the window's
    // colour before the background covers it).
    int differences(Screen& screen, COffscreenContext& expected, const CRect& area)
    {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                CColor e = expected.getPixel(x, y);
                CColor s = screen.at(x, y);
                auto over = [&](int c) { return c * e.alpha / 255; };
                count += std::abs(s.red - over(e.red)) > 2 || std::abs(s.green - over(e.green)) > 2 ||
                         std::abs(s.blue - over(e.blue)) > 2;
            }
        return count;
    }
};

int openFileDescriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

} // namespace

TEST_F(X11FrameTest, ShowsTheBackgroundAndKnobsAndAnswersTheRealPointer)
{
    CBitmap* layout = new CBitmap("Layout.png");
    CBitmap* strip = new CBitmap("KnobStrip.png");
    CBitmap* sync = new CBitmap("SyncButton.png");
    CBitmap* dice = new CBitmap("Dice.png");
    Recorder knobLog, toggleLog, kickLog;

    CFrame frame(CRect(0, 0, kWidth, kHeight), parentHandle());
    ASSERT_TRUE(frame.isOpen());
    ASSERT_NE(frame.getNativeWindow(), 0u);
    EXPECT_EQ(childCount(), 1) << "the frame is a child of the host's window";
    frame.setBackground(layout);
    auto* knob = new HoverKnob(CRect(560, 350, 590, 380), &knobLog, 54, strip);
    knob->setValue(0.5f);
    frame.addView(knob);
    auto* toggle = new CMovieButton(CRect(563, 425, 584, 445), &toggleLog, 53, 20, sync);
    frame.addView(toggle);
    auto* kick = new CKickButton(CRect(335, 150, 365, 180), &kickLog, -1, 30, dice);
    frame.addView(kick);

    // First paint: the window shows exactly what the offscreen rendering shows.
    idleFor(frame, 100);
    {
        auto screen = grab(frame);
        ASSERT_TRUE(screen);
        auto expected = frame.renderOffscreen();
        EXPECT_EQ(differences(*screen, *expected, CRect(0, 0, kWidth, kHeight)), 0);
        EXPECT_EQ(screen->at(5, 5), CColor(214, 214, 216)) << "the background's grey panel";
    }

    // Hover, then drag the knob up by 50 pixels with the real pointer.
    movePointer(575, 365);
    ASSERT_TRUE(idleUntil(frame, [&] { return knob->entered == 1; }));
    EXPECT_EQ(frame.getMouseOverView(), knob);
    button(true);
    ASSERT_TRUE(idleUntil(frame, [&] { return knob->isEditing(); }));
    for (int step = 1; step <= 5; ++step) {
        movePointer(575, 365 - 10 * step);
        idleFor(frame, 10);
    }
    button(false);
    ASSERT_TRUE(idleUntil(frame, [&] { return !knob->isEditing(); }));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.75f);
    EXPECT_EQ(knobLog.log.substr(0, 6), "begin ");
    EXPECT_EQ(knobLog.log.substr(knobLog.log.size() - 4), "end ");
    EXPECT_NE(knobLog.log.find("change(0.750000)"), std::string::npos) << knobLog.log;
    EXPECT_EQ(knob->exited, 1) << "released away from the knob";

    // The knob now shows frame floor(0.75 x 30) = 22 of its strip.
    idleFor(frame, 50);
    {
        auto screen = grab(frame);
        auto expected = frame.renderOffscreen();
        EXPECT_EQ(differences(*screen, *expected, knob->getViewSize()), 0);
        auto stripImage = COffscreenContext::create(30, 930);
        strip->draw(stripImage->drawContext(), CRect(0, 0, 30, 930));
        int matchingFrame = -1;
        for (int f = 0; f < 31 && matchingFrame < 0; ++f) {
            bool same = true;
            for (int y = 0; y < 30 && same; ++y)
                for (int x = 0; x < 30 && same; ++x) {
                    CColor s = screen->at(560 + x, 350 + y);
                    CColor e = stripImage->getPixel(x, 30 * f + y);
                    // Only where the strip is opaque does it decide the pixel.
                    if (e.alpha == 255)
                        same = std::abs(s.red - e.red) <= 2 && std::abs(s.green - e.green) <= 2 &&
                               std::abs(s.blue - e.blue) <= 2;
                }
            if (same)
                matchingFrame = f;
        }
        EXPECT_EQ(matchingFrame, 22);
    }

    // A click on the toggle flips it and notifies once.
    movePointer(570, 435);
    idleFor(frame, 20);
    button(true);
    button(false);
    ASSERT_TRUE(idleUntil(frame, [&] { return toggleLog.log.find("end") != std::string::npos; }));
    EXPECT_EQ(toggleLog.log, "begin change(1.000000) end ");
    EXPECT_EQ(toggle->getValue(), 1.0f);

    // The kick button pressed inside and released outside sends only the reset.
    movePointer(350, 165);
    idleFor(frame, 20);
    button(true);
    ASSERT_TRUE(idleUntil(frame, [&] { return kick->getValue() == 1.0f; }));
    movePointer(450, 165);
    idleFor(frame, 20);
    button(false);
    ASSERT_TRUE(idleUntil(frame, [&] { return kickLog.log.find("end") != std::string::npos; }));
    EXPECT_EQ(kickLog.log, "begin change(0.000000) end ");

    for (CBitmap* b : {layout, strip, sync, dice})
        b->forget();
}

TEST_F(X11FrameTest, ABadParentWindowLeavesAFrameWithoutAWindow)
{
    CFrame frame(CRect(0, 0, 100, 100), reinterpret_cast<void*>(std::uintptr_t{0x7ffffff}));
    EXPECT_FALSE(frame.isOpen());
    frame.idle();
    EXPECT_TRUE(frame.renderOffscreen() != nullptr);
}

TEST_F(X11FrameTest, SurvivesTheHostDestroyingItsWindowFirst)
{
    // Some hosts destroy their window before they close the editor: our next
    // requests on the vanished child fail, and must not end the process.
    static bool hostHandlerCalled = false;
    XErrorHandler hostHandler = [](Display*, XErrorEvent*) {
        hostHandlerCalled = true;
        return 0;
    };
    XErrorHandler before = XSetErrorHandler(hostHandler);
    {
        CFrame frame(CRect(0, 0, 200, 200), parentHandle());
        ASSERT_TRUE(frame.isOpen());
        idleFor(frame, 20);
        XDestroyWindow(display, parent);
        XSync(display, False);
        parent = 0;
        frame.invalidRect(CRect(0, 0, 200, 200));
        frame.idle(); // may paint before it hears of the destruction
        idleFor(frame, 20);
        frame.invalidRect(CRect(0, 0, 200, 200));
        frame.idle();
    }
    EXPECT_FALSE(hostHandlerCalled) << "errors on the editor's own connection stay with it";
    // With the last window gone the host's handler is back in place and
    // still receives the host's own errors.
    XErrorHandler current = XSetErrorHandler(before);
    EXPECT_EQ(current, hostHandler);
    XSetErrorHandler(hostHandler);
    XMapWindow(display, static_cast<Window>(0x7ffffff));
    XSync(display, False);
    EXPECT_TRUE(hostHandlerCalled);
    XSetErrorHandler(before);
}

TEST_F(X11FrameTest, OpeningAndClosing200TimesLeaksNothing)
{
    CBitmap* layout = new CBitmap("Layout.png");
    CBitmap* strip = new CBitmap("KnobStrip.png");
    auto cycle = [&] {
        CFrame frame(CRect(0, 0, kWidth, kHeight), parentHandle());
        frame.setBackground(layout);
        for (int i = 0; i < 50; ++i) {
            auto* knob = new CAnimKnob(CRect(20 + 13 * i, 300, 50 + 13 * i, 330), nullptr, i, strip);
            knob->setValue(static_cast<float>(i) / 50.0f);
            frame.addView(knob);
        }
        frame.idle();
        frame.idle();
        return frame.isOpen();
    };
    // Warm up: the first rounds fill caches in the libraries for good.
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(cycle());
    malloc_trim(0);
    size_t heapBefore = mallinfo2().uordblks;
    int descriptorsBefore = openFileDescriptors();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(cycle());
        ASSERT_EQ(childCount(), 0) << "round " << i;
    }
    malloc_trim(0);
    size_t heapAfter = mallinfo2().uordblks;
    EXPECT_EQ(openFileDescriptors(), descriptorsBefore) << "display connections are closed";
    // 8 KB over 200 rounds: anything that loses 40 bytes a round shows.
    EXPECT_LT(static_cast<long>(heapAfter) - static_cast<long>(heapBefore), 8 * 1024)
        << "heap grew from " << heapBefore << " to " << heapAfter;
    EXPECT_EQ(layout->getNbReference(), 1);
    EXPECT_EQ(strip->getNbReference(), 1);
    layout->forget();
    strip->forget();
}
