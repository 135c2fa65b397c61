// Controls driven through the frame's mouse entry points, as the window
// would drive them, with no display involved.

#include "TestSupport.h"

#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/CMovieButton.h"
#include "gui/COffscreenContext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct BitmapRef {
    CBitmap* bitmap;
    explicit BitmapRef(const char* name) : bitmap(new CBitmap(name)) {}
    ~BitmapRef() { bitmap->forget(); }
    operator CBitmap*() const { return bitmap; }
};

struct FrameFixture : ::testing::Test {
    CFrame frame{CRect(0, 0, 200, 200), nullptr};
    RecordingListener listener;
    BitmapRef strip{"KnobStrip.png"};
};

// A control that records its own change hook.
struct HookedKnob : CAnimKnob {
    using CAnimKnob::CAnimKnob;
    std::vector<ChangeReason> changes;
    void onChange(ChangeReason reason) override { changes.push_back(reason); }
};

} // namespace

using KnobTest = FrameFixture;

TEST_F(KnobTest, DragUpRaisesTheValueInsideOneEditAndStaysWithinRange)
{
    auto* knob = new CAnimKnob(CRect(10, 10, 40, 40), &listener, 7, strip);
    frame.addView(knob);
    knob->setValue(0.5f);

    frame.mouseDown(CPoint(25, 25), kLButton);
    ASSERT_EQ(listener.kinds(), "begin");
    frame.mouseMoved(CPoint(25, 5), kLButton); // 20 px up
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f + 20.0f / CAnimKnob::kDragRange);
    frame.mouseMoved(CPoint(25, -500), kLButton); // far beyond the top
    EXPECT_EQ(knob->getValue(), 1.0f);
    frame.mouseMoved(CPoint(25, 1000), kLButton); // far below
    EXPECT_EQ(knob->getValue(), 0.0f);
    frame.mouseMoved(CPoint(25, 1200), kLButton); // no change, no report
    frame.mouseUp(CPoint(25, 1200), kLButton);

    EXPECT_EQ(listener.kinds(), "begin change change change end");
    for (const auto& e : listener.events) {
        EXPECT_GE(e.value, 0.0f);
        EXPECT_LE(e.value, 1.0f);
    }
    EXPECT_FALSE(knob->isEditing());
}

TEST_F(KnobTest, DragFollowsThePointerEvenWhenTheValueIsResetMidway)
{
    // The editor may set the knob back to the host's value during a drag.
    auto* knob = new CAnimKnob(CRect(10, 10, 40, 40), &listener, 0, strip);
    frame.addView(knob);
    frame.mouseDown(CPoint(20, 20), kLButton);
    frame.mouseMoved(CPoint(20, 0), kLButton);
    knob->setValue(0.0f);
    frame.mouseMoved(CPoint(20, -20), kLButton);
    EXPECT_FLOAT_EQ(knob->getValue(), 40.0f / CAnimKnob::kDragRange);
    frame.mouseUp(CPoint(20, -20), kLButton);
}

TEST_F(KnobTest, OnlyTheLeftButtonDragsAndEachWheelStepIsAnEditOfItsOwn)
{
    auto* knob = new CAnimKnob(CRect(10, 10, 40, 40), &listener, 0, strip);
    frame.addView(knob);
    frame.mouseDown(CPoint(20, 20), kRButton);
    frame.mouseMoved(CPoint(20, 0), kRButton);
    frame.mouseUp(CPoint(20, 0), kRButton);
    EXPECT_TRUE(listener.events.empty());
    EXPECT_EQ(knob->getValue(), 0.0f);

    frame.mouseWheel(CPoint(20, 20), 2.0f, 0);
    EXPECT_FLOAT_EQ(knob->getValue(), 2 * CAnimKnob::kWheelStep);
    EXPECT_EQ(listener.kinds(), "begin change end");
    EXPECT_FALSE(knob->isEditing());
    frame.mouseWheel(CPoint(100, 100), 2.0f, 0); // not over the knob
    EXPECT_EQ(listener.events.size(), 3u);

    // During a drag the pointer owns the value: the wheel neither moves it
    // nor opens a second edit inside the first.
    frame.mouseDown(CPoint(20, 20), kLButton);
    frame.mouseWheel(CPoint(20, 20), 5.0f, 0);
    frame.mouseUp(CPoint(20, 20), kLButton);
    EXPECT_FLOAT_EQ(knob->getValue(), 2 * CAnimKnob::kWheelStep);
    EXPECT_EQ(listener.kinds(), "begin change end begin end");
}

TEST_F(KnobTest, FilmStripFrameIsFloorOfValueTimesFramesMinusOne)
{
    CAnimKnob knob(CRect(0, 0, 30, 30), nullptr, 0, strip);
    ASSERT_EQ(knob.getNumSubPixmaps(), 31);
    const struct {
        float value;
        int frame;
    } cases[] = {{0.0f, 0}, {0.5f, 15}, {1.0f, 30}, {0.0333f, 0}, {0.0334f, 1}, {0.999f, 29}, {0.1f, 3}};
    for (const auto& c : cases) {
        knob.setValue(c.value);
        EXPECT_EQ(knob.currentFrame(), c.frame) << "value " << c.value;
    }
}

TEST_F(KnobTest, DrawsTheSelectedFrameOfTheStrip)
{
    // The whole strip drawn once, as a reference for each frame's pixels.
    auto reference = COffscreenContext::create(30, 930);
    strip.bitmap->draw(reference->drawContext(), CRect(0, 0, 30, 930));

    CFrame small(CRect(0, 0, 30, 30), nullptr);
    auto* knob = new CAnimKnob(CRect(0, 0, 30, 30), nullptr, 0, strip);
    small.addView(knob);
    for (float value : {0.0f, 0.5f, 1.0f}) {
        knob->setValue(value);
        auto image = small.renderOffscreen();
        const int stripFrame = static_cast<int>(std::floor(value * 30));
        int differing = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x)
                differing += image->getPixel(x, y) != reference->getPixel(x, stripFrame * 30 + y);
        EXPECT_EQ(differing, 0) << "value " << value;
    }
    // Different values really look different.
    knob->setValue(0.0f);
    auto low = small.renderOffscreen();
    knob->setValue(1.0f);
    auto high = small.renderOffscreen();
    int differing = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            differing += low->getPixel(x, y) != high->getPixel(x, y);
    EXPECT_GT(differing, 20);
}

TEST(ControlValueTest, SetValueClampsAndTellsTheControlOnlyOfRealChanges)
{
    RecordingListener listener;
    HookedKnob knob(CRect(0, 0, 30, 30), &listener, 3, nullptr);
    knob.setValue(0.25f);
    knob.setValue(0.25f);
    knob.setValue(7.0f);
    EXPECT_EQ(knob.getValue(), 1.0f);
    knob.setValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(knob.getValue(), 0.0f);
    knob.setValue(-3.0f); // already 0
    EXPECT_EQ(knob.changes.size(), 3u);
    EXPECT_TRUE(listener.events.empty()) << "setValue is the program's, not the user's";
}

TEST(ControlValueTest, ValueChangeMarksTheControlForRedraw)
{
    CFrame frame(CRect(0, 0, 100, 100), nullptr);
    auto* knob = new CAnimKnob(CRect(50, 50, 80, 80), nullptr, 0, nullptr);
    frame.addView(knob);
    auto image = frame.renderOffscreen(); // paints everything
    knob->setDirty(false);
    knob->setValue(0.0f);
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.4f);
    EXPECT_TRUE(knob->isDirty());
    EXPECT_EQ(frame.dirtyArea(), (CRect(0, 0, 100, 100))) << "the first paint is still pending";
}

TEST(MovieButtonTest, ClickFlipsFromTheValueAtThePressAndNotifiesOnce)
{
    CFrame frame(CRect(0, 0, 100, 100), nullptr);
    RecordingListener listener;
    struct Hooked : CMovieButton {
        using CMovieButton::CMovieButton;
        std::string order;
        RecordingListener* seen = nullptr;
        void onChange(ChangeReason reason) override
        {
            if (reason == kValueChange)
                order += "hook after " + std::to_string(seen->events.size()) + ";";
        }
    };
    auto* button = new Hooked(CRect(10, 10, 31, 30), &listener, 53, 20, nullptr);
    button->seen = &listener;
    frame.addView(button);

    frame.mouseDown(CPoint(15, 15), kLButton);
    EXPECT_EQ(button->getValue(), 1.0f);
    frame.mouseMoved(CPoint(90, 90), kLButton); // dragging out changes nothing
    frame.mouseUp(CPoint(90, 90), kLButton);
    EXPECT_EQ(button->getValue(), 1.0f);
    EXPECT_EQ(listener.kinds(), "begin change end");
    EXPECT_EQ(listener.events[1].value, 1.0f);
    // The listener hears of the change before the control's own hook.
    EXPECT_EQ(button->order, "hook after 2;");

    frame.mouseDown(CPoint(15, 15), kLButton);
    frame.mouseUp(CPoint(15, 15), kLButton);
    EXPECT_EQ(button->getValue(), 0.0f);
    EXPECT_EQ(listener.events[4].value, 0.0f);

    // Anything but exactly 1 counts as off: 0.8 flips to 1.
    button->setValue(0.8f);
    listener.events.clear();
    frame.mouseDown(CPoint(15, 15), kLButton);
    frame.mouseUp(CPoint(15, 15), kLButton);
    EXPECT_EQ(button->getValue(), 1.0f);
    EXPECT_EQ(listener.count("change"), 1);
}

TEST(MovieButtonTest, ShowsItsSecondFrameExactlyWhenTheValueIsOne)
{
    BitmapRef sync("SyncButton.png");
    auto reference = COffscreenContext::create(20, 40);
    sync.bitmap->draw(reference->drawContext(), CRect(0, 0, 20, 40));
    CFrame frame(CRect(0, 0, 20, 20), nullptr);
    auto* button = new CMovieButton(CRect(0, 0, 20, 20), nullptr, 0, 20, sync);
    frame.addView(button);
    for (float value : {0.0f, 0.99f, 1.0f}) {
        button->setValue(value);
        auto image = frame.renderOffscreen();
        int frameIndex = value == 1.0f ? 1 : 0;
        int differing = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                differing += image->getPixel(x, y) != reference->getPixel(x, 20 * frameIndex + y);
        EXPECT_EQ(differing, 0) << "value " << value;
    }
}

TEST(KickButtonTest, ReleaseInsideNotifiesWithOneThenWithZero)
{
    CFrame frame(CRect(0, 0, 100, 100), nullptr);
    RecordingListener listener;
    auto* button = new CKickButton(CRect(10, 10, 40, 40), &listener, -1, 30, nullptr);
    frame.addView(button);

    frame.mouseDown(CPoint(20, 20), kLButton);
    EXPECT_EQ(button->getValue(), 1.0f) << "held inside shows the second frame";
    EXPECT_EQ(listener.count("change"), 0);
    frame.mouseUp(CPoint(20, 20), kLButton);
    ASSERT_EQ(listener.count("change"), 2);
    EXPECT_EQ(listener.events[1].value, 1.0f);
    EXPECT_EQ(listener.events[2].value, 0.0f);
    EXPECT_EQ(listener.kinds(), "begin change change end");
    EXPECT_EQ(button->getValue(), 0.0f);
}

TEST(KickButtonTest, ReleaseOutsideStillSendsTheResetNotification)
{
    CFrame frame(CRect(0, 0, 100, 100), nullptr);
    RecordingListener listener;
    auto* button = new CKickButton(CRect(10, 10, 40, 40), &listener, -1, 30, nullptr);
    frame.addView(button);

    frame.mouseDown(CPoint(20, 20), kLButton);
    frame.mouseMoved(CPoint(80, 80), kLButton);
    EXPECT_EQ(button->getValue(), 0.0f) << "outside while held shows the first frame";
    frame.mouseMoved(CPoint(30, 30), kLButton);
    EXPECT_EQ(button->getValue(), 1.0f);
    frame.mouseUp(CPoint(80, 80), kLButton);
    EXPECT_EQ(listener.kinds(), "begin change end");
    EXPECT_EQ(listener.events[1].value, 0.0f);
}

TEST(HoverTest, EnterAndLeaveFollowThePointerAcrossViews)
{
    struct Tracking : CAnimKnob {
        std::string* log;
        const char* name;
        Tracking(const CRect& r, std::string* l, const char* n) : CAnimKnob(r, nullptr, 0, nullptr), log(l), name(n) {}
        CMouseEventResult onMouseEntered(CPoint&, const CButtonState&) override
        {
            *log += std::string("+") + name;
            return kMouseEventNotHandled;
        }
        CMouseEventResult onMouseExited(CPoint&, const CButtonState&) override
        {
            *log += std::string("-") + name;
            return kMouseEventNotHandled;
        }
    };
    std::string log;
    CFrame frame(CRect(0, 0, 200, 100), nullptr);
    auto* a = new Tracking(CRect(10, 10, 40, 40), &log, "a");
    auto* b = new Tracking(CRect(40, 10, 70, 40), &log, "b");
    frame.addView(a);
    frame.addView(b);

    frame.mouseMoved(CPoint(5, 5), 0);
    frame.mouseMoved(CPoint(20, 20), 0);
    frame.mouseMoved(CPoint(25, 20), 0);
    frame.mouseMoved(CPoint(45, 20), 0); // straight from a onto b
    frame.mouseMoved(CPoint(150, 50), 0);
    EXPECT_EQ(log, "+a-a+b-b");

    // During a drag the knob keeps the pointer: no leave until the release.
    log.clear();
    frame.mouseMoved(CPoint(20, 20), 0);
    frame.mouseDown(CPoint(20, 20), kLButton);
    frame.mouseMoved(CPoint(55, 20), kLButton);
    frame.mouseMoved(CPoint(150, 90), kLButton);
    frame.mouseExited();
    EXPECT_EQ(log, "+a");
    frame.mouseUp(CPoint(150, 90), kLButton);
    EXPECT_EQ(log, "+a-a");
    EXPECT_EQ(frame.getMouseOverView(), nullptr);

    frame.mouseMoved(CPoint(45, 20), 0);
    frame.mouseExited(); // the pointer leaves the window
    EXPECT_EQ(log, "+a-a+b-b");
}

TEST(HoverTest, RemovingAViewUnderThePointerForgetsIt)
{
    RecordingListener listener;
    CFrame frame(CRect(0, 0, 100, 100), nullptr);
    auto* knob = new CAnimKnob(CRect(0, 0, 30, 30), &listener, 0, nullptr);
    frame.addView(knob);
    frame.mouseDown(CPoint(10, 10), kLButton);
    EXPECT_TRUE(frame.removeView(knob));
    EXPECT_EQ(frame.getMouseOverView(), nullptr);
    frame.mouseMoved(CPoint(10, 0), kLButton); // must not reach the deleted knob
    frame.mouseUp(CPoint(10, 0), kLButton);
    EXPECT_EQ(frame.getNbViews(), 0);
}
