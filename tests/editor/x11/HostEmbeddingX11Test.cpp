// The editor as a host meets it: the plug-in loaded through its entry point,
// its window embedded in a parent window of the host's, idle calls at the
// host's pace, audio (where a test wants it) rendered on a thread of its
// own, input through XTest and what the window shows read back from the X
// server. Run under xvfb-run.

#include "editor/SynthEditor.h"
#include "plugin/Synth.h"
#include "support/TestHost.h"
#include "tests/support/XServerTest.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A control's place and parameter, from the editor's own layout table.
struct Control {
    int x, y, width, height;
    int tag;
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
};

Control control(const char* name)
{
    static const Synth probe(nullptr);
    for (int row = 0; row < SynthEditor::kLayoutRowCount; ++row) {
        const SynthEditor::LayoutRow& r = SynthEditor::kLayout[row];
        if (std::strcmp(r.name, name) == 0)
            return {r.x, r.y, r.width, r.height, probe.findParameter(name)};
    }
    ADD_FAILURE() << "no control " << name;
    return {};
}

// The editor's images as the repository keeps them.
cairo_surface_t* image(const char* name)
{
    cairo_surface_t* surface =
        cairo_image_surface_create_from_png((std::string(TARVEL_RESOURCE_DIR) + "/" + name).c_str());
    EXPECT_EQ(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS) << name;
    return surface;
}

class HostEmbeddingX11Test : public XServerTest {
protected:
    static void SetUpTestSuite()
    {
        layout = image("Layout.png");
        knobStrip = image("KnobStrip.png");
        syncStrip = image("SyncButton.png");
        resetStrip = image("ResetButton.png");
        bendRest = image("BendButton.png");
    }
    static void TearDownTestSuite()
    {
        for (cairo_surface_t* s : {layout, knobStrip, syncStrip, resetStrip, bendRest})
            cairo_surface_destroy(s);
    }

    void SetUp() override
    {
        XServerTest::SetUp();
        if (HasFatalFailure())
            return;
        movePointer(kWidth + 100, kHeight + 100);
        ASSERT_NE(host.start(44100.0f, 512), nullptr) << host.error;
    }

    void TearDown() override
    {
        stopAudio();
        if (host.effect)
            host.dispatch(effEditClose);
        host.close();
        XServerTest::TearDown();
    }

    // The host's window, mapped, with the editor opened in it. No idle yet.
    void openEditor()
    {
        mapHostWindow();
        ASSERT_EQ(host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent))), 1);
    }

    // Blocks of 512 samples at the pace of a sound card.
    void startAudio()
    {
        audioRunning = true;
        audio = std::thread([this] {
            std::vector<float> left, right;
            auto next = Clock::now();
            while (audioRunning.load()) {
                host.process(512, left, right);
                next += std::chrono::microseconds(11610);
                std::this_thread::sleep_until(next);
            }
        });
    }
    void stopAudio()
    {
        audioRunning = false;
        if (audio.joinable())
            audio.join();
    }

    // The host's idle calls, 30 a second.
    void idle() { host.dispatch(effEditIdle); }
    void idleFor(int ms)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        do {
            idle();
            sleepMs(33);
        } while (Clock::now() < until);
    }
    bool idleUntil(const std::function<bool()>& done, int ms = 5000)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until) {
            idle();
            if (done())
                return true;
            sleepMs(33);
        }
        return false;
    }
    // Input made and sent to the server; a short wait lets the server hand
    // it all to the editor's connection before the next idle call takes it.
    void settle()
    {
        XSync(display, False);
        sleepMs(50);
    }

    void press() { button(1, true); }
    void release() { button(1, false); }
    void clickOn(const Control& c)
    {
        movePointer(c.centreX(), c.centreY());
        idleFor(60);
        press();
        idleFor(60);
        release();
        idleFor(60);
    }

    // The frame of `strip` (frames of the control's height) that the window
    // shows over the background in the control's place, or -1. Only `only`
    // is tried when it is given.
    int frameShown(const Control& c, cairo_surface_t* strip, int only = -1)
    {
        XImage* shot = XGetImage(display, parent, c.x, c.y, static_cast<unsigned>(c.width),
                                 static_cast<unsigned>(c.height), AllPlanes, ZPixmap);
        if (!shot)
            return -1;
        const int frames = cairo_image_surface_get_height(strip) / c.height;
        int found = -1;
        for (int f = only < 0 ? 0 : only; f < (only < 0 ? frames : only + 1) && found < 0; ++f) {
            cairo_surface_t* expected = cairo_image_surface_create(CAIRO_FORMAT_RGB24, c.width, c.height);
            cairo_t* cr = cairo_create(expected);
            cairo_set_source_surface(cr, layout, -c.x, -c.y);
            cairo_paint(cr);
            cairo_set_source_surface(cr, strip, 0, -f * c.height);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
            cairo_paint(cr);
            cairo_destroy(cr);
            cairo_surface_flush(expected);
            const unsigned char* data = cairo_image_surface_get_data(expected);
            const int stride = cairo_image_surface_get_stride(expected);
            bool same = true;
            for (int y = 0; y < c.height && same; ++y)
                for (int x = 0; x < c.width && same; ++x) {
                    std::uint32_t e;
                    std::memcpy(&e, data + y * stride + 4 * x, 4);
                    const unsigned long s = XGetPixel(shot, x, y);
                    for (int shift = 0; shift <= 16 && same; shift += 8)
                        same = std::abs(static_cast<int>((e >> shift) & 0xff) -
                                        static_cast<int>((s >> shift) & 0xff)) <= 2;
                }
            cairo_surface_destroy(expected);
            if (same)
                found = f;
        }
        XDestroyImage(shot);
        return found;
    }
    static int knobFrameFor(float value) { return static_cast<int>(std::floor(30.0f * value)); }

    // The host calls for one parameter's edits, as "b", "a<value>", "e".
    std::vector<std::string> edits(int tag)
    {
        std::vector<std::string> out;
        for (const TestHost::Call& c : host.calls()) {
            if (c.index != tag)
                continue;
            if (c.opcode == audioMasterBeginEdit)
                out.push_back("b");
            else if (c.opcode == audioMasterEndEdit)
                out.push_back("e");
            else if (c.opcode == audioMasterAutomate)
                out.push_back("a" + std::to_string(c.opt));
        }
        return out;
    }

    static cairo_surface_t* layout;
    static cairo_surface_t* knobStrip;
    static cairo_surface_t* syncStrip;
    static cairo_surface_t* resetStrip;
    static cairo_surface_t* bendRest;
    TestHost host;
    std::atomic<bool> audioRunning{false};
    std::thread audio;
};

cairo_surface_t* HostEmbeddingX11Test::layout = nullptr;
cairo_surface_t* HostEmbeddingX11Test::knobStrip = nullptr;
cairo_surface_t* HostEmbeddingX11Test::syncStrip = nullptr;
cairo_surface_t* HostEmbeddingX11Test::resetStrip = nullptr;
cairo_surface_t* HostEmbeddingX11Test::bendRest = nullptr;

} // namespace

TEST_F(HostEmbeddingX11Test, TheEditorShowsItselfRightAfterOpenBeforeAnyIdle)
{
    openEditor();
    const Control cutoff = control("FilterCutoff");
    const Control sync = control("LFO1Sync");
    // No idle call at all: only the X server's own work may happen meanwhile.
    bool shown = false;
    for (const auto until = Clock::now() + std::chrono::seconds(3); !shown && Clock::now() < until; sleepMs(20))
        shown = frameShown(cutoff, knobStrip) == knobFrameFor(1.0f) && frameShown(sync, syncStrip) == 0;
    EXPECT_TRUE(shown) << "the knob shows frame " << frameShown(cutoff, knobStrip);
}

// Onto the knob, press, ten moves, release: made all at once, or spread
// over half a second while the host sends no idle call, and handled in one
// idle call either way.
TEST_F(HostEmbeddingX11Test, AFlickOrADragDuringAStalledIdleArrivesWhole)
{
    openEditor();
    startAudio();
    idleFor(200);
    const Control k = control("FilterResonance");
    for (int stallMs : {0, 500}) {
        SCOPED_TRACE(stallMs);
        host.setParameter(k.tag, 0.1f);
        movePointer(kWidth + 100, kHeight + 100);
        ASSERT_TRUE(idleUntil([&] { return frameShown(k, knobStrip) == knobFrameFor(0.1f); }));
        idleFor(300); // no double click with the last press
        host.clearCalls();

        movePointer(k.centreX(), k.centreY());
        press();
        for (int step = 1; step <= 10; ++step) {
            movePointer(k.centreX(), k.centreY() - 5 * step);
            sleepMs(stallMs / 10);
        }
        release();
        settle();
        idle();

        const std::vector<std::string> calls = edits(k.tag);
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(calls.front(), "b");
        EXPECT_EQ(calls.back(), "e");
        EXPECT_EQ(calls[calls.size() - 2], "a" + std::to_string(0.1f + 50.0f / 200.0f));
        EXPECT_FLOAT_EQ(host.getParameter(k.tag), 0.35f);
        EXPECT_TRUE(idleUntil([&] { return frameShown(k, knobStrip) == knobFrameFor(0.35f); }));
    }
}

TEST_F(HostEmbeddingX11Test, WithNoAudioEditsKeepTheirFramesAndMatchTheStoredValues)
{
    openEditor();
    idleFor(200);
    const Control k = control("FilterResonance");
    const Control sync = control("DelaySync");
    movePointer(k.centreX(), k.centreY());
    idleFor(60);
    press();
    for (int step = 1; step <= 4; ++step) {
        movePointer(k.centreX(), k.centreY() - 10 * step);
        idleFor(40);
    }
    release();
    clickOn(sync);
    ASSERT_FLOAT_EQ(host.getParameter(k.tag), 0.3f);
    ASSERT_EQ(host.getParameter(sync.tag), 1.0f);

    for (int pass = 0; pass < 10; ++pass) {
        idle();
        sleepMs(33);
        EXPECT_EQ(frameShown(k, knobStrip), knobFrameFor(host.getParameter(k.tag))) << pass;
        EXPECT_EQ(frameShown(sync, syncStrip), 1) << pass;
    }
}

TEST_F(HostEmbeddingX11Test, ResetTogglesShowTheHostsValuesFromHalfWay)
{
    openEditor();
    startAudio();
    const Control reset1 = control("LFO1Reset");
    const Control reset2 = control("LFO2Reset");
    host.setParameter(reset1.tag, 0.7f);
    host.setParameter(reset2.tag, 0.3f);
    ASSERT_TRUE(idleUntil([&] { return frameShown(reset1, resetStrip) == 1; })) << "0.7 shows on";
    EXPECT_EQ(frameShown(reset2, resetStrip), 0) << "0.3 shows off";

    // One click turns it off, as the LFO hears it.
    clickOn(reset1);
    EXPECT_EQ(host.getParameter(reset1.tag), 0.0f);
    EXPECT_TRUE(idleUntil([&] { return frameShown(reset1, resetStrip) == 0; }));
}

TEST_F(HostEmbeddingX11Test, TwoPressesQueuedInOneIdleCountFromWhenTheyWereMade)
{
    openEditor();
    idleFor(200);
    const Control k = control("FilterResonance");
    const float byDefault = 0.1f;
    auto twoClicks = [&](int apartMs) {
        host.setParameter(k.tag, 0.9f);
        movePointer(k.centreX(), k.centreY());
        idleFor(400); // well clear of any earlier press
        press();
        release();
        sleepMs(apartMs); // the host sends no idle call meanwhile
        press();
        release();
        settle();
        idle();
        idleFor(100);
    };
    twoClicks(400);
    EXPECT_FLOAT_EQ(host.getParameter(k.tag), 0.9f) << "400 ms apart: no reset";
    twoClicks(100);
    EXPECT_FLOAT_EQ(host.getParameter(k.tag), byDefault) << "100 ms apart: a reset";
}

TEST_F(HostEmbeddingX11Test, AWheelStepIsAGestureAndDoesNothingWhileArmed)
{
    openEditor();
    startAudio();
    idleFor(200);
    const Control k = control("FilterResonance");
    const Control bend = control("bendButton");
    auto wheelUp = [&] {
        movePointer(k.centreX(), k.centreY());
        idleFor(100);
        button(4, true);
        button(4, false);
        idleFor(200);
    };

    host.clearCalls();
    wheelUp();
    EXPECT_EQ(edits(k.tag), (std::vector<std::string>{"b", "a" + std::to_string(0.1f + 0.02f), "e"}));
    EXPECT_FLOAT_EQ(host.getParameter(k.tag), 0.12f);

    clickOn(bend); // arms recording: the ring runs
    ASSERT_TRUE(idleUntil([&] { return frameShown(bend, bendRest, 0) < 0; }));
    host.clearCalls();
    wheelUp();
    EXPECT_TRUE(edits(k.tag).empty());
    EXPECT_FLOAT_EQ(host.getParameter(k.tag), 0.12f);

    clickOn(bend); // disarms
    ASSERT_TRUE(idleUntil([&] { return frameShown(bend, bendRest, 0) == 0; }));
    wheelUp();
    EXPECT_FLOAT_EQ(host.getParameter(k.tag), 0.14f) << "the wheel works again";
}

TEST_F(HostEmbeddingX11Test, DiceAndInitAskTheHostToRereadOnceEach)
{
    openEditor();
    startAudio();
    idleFor(200);
    const Control cutoff = control("FilterCutoff");
    host.clearCalls();
    clickOn(control("buttonDice"));
    ASSERT_TRUE(idleUntil([&] { return host.count(audioMasterUpdateDisplay) >= 1; }));
    EXPECT_NE(host.getParameter(cutoff.tag), 1.0f);
    clickOn(control("buttonInit"));
    ASSERT_TRUE(idleUntil([&] { return host.count(audioMasterUpdateDisplay) >= 2; }));
    idleFor(200);
    EXPECT_EQ(host.count(audioMasterUpdateDisplay), 2);
    EXPECT_EQ(host.getParameter(cutoff.tag), 1.0f);
    EXPECT_EQ(host.count(audioMasterAutomate), 0) << "no automation";
    EXPECT_EQ(host.count(audioMasterBeginEdit), 0);
}
