// The hooks the editor's own controls are built on: a knob that takes over
// some presses, and a two-state button animated by a timer that restarts
// on every real change of value.

#include "TestSupport.h"

#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CMovieButton.h"
#include "gui/CTimer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

// Swallows a press that follows the previous one within 250 ms.
struct QuickPressKnob : CAnimKnob {
    using CAnimKnob::CAnimKnob;
    std::uint32_t lastDown = 0;
    int swallowed = 0;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override
    {
        std::uint32_t now = getTickCount();
        std::uint32_t elapsed = now - lastDown;
        lastDown = now;
        if (elapsed < 250) {
            ++swallowed;
            return kMouseEventHandled;
        }
        return CAnimKnob::onMouseDown(where, buttons);
    }
};

// Runs through its strip while on; the background tells the state.
struct AnimatedToggle : CMovieButton, CTimerListener {
    CBitmap* restImage;
    CBitmap* hotImage;
    std::unique_ptr<CTimer> timer;
    float phase = 0.0f;
    float lastTick = 0.0f;
    int restarts = 0;

    AnimatedToggle(const CRect& r, CControlListener* l, CBitmap* rest, CBitmap* hot)
        : CMovieButton(r, l, -1, r.height(), rest),
          restImage(rest),
          hotImage(hot),
          timer(std::make_unique<CTimer>(this, 100))
    {
        timer->setPeriod(16);
    }
    void onChange(ChangeReason reason) override
    {
        if (reason != kValueChange)
            return;
        ++restarts;
        phase = 0.0f;
        if (value_ != 0.0f) {
            lastTick = static_cast<float>(getTickCount());
            timer->start();
            setBackground(hotImage);
        } else {
            timer->stop();
            setBackground(restImage);
        }
    }
    void onTimer(CTimer*) override
    {
        float now = static_cast<float>(getTickCount());
        phase = std::fmod(phase + (now - lastTick) / 1500.0f, 1.0f);
        lastTick = now;
        invalid();
    }
    int frameShown() const { return static_cast<int>(std::floor(phase * 128.0f)); }
};

} // namespace

TEST(SubclassHooksTest, AKnobCanTakeAPressAwayFromTheDrag)
{
    FakeClock clock(10000);
    RecordingListener listener;
    CFrame frame(CRect(0, 0, 100, 100), nullptr);
    auto* knob = new QuickPressKnob(CRect(0, 0, 30, 30), &listener, 4, nullptr);
    frame.addView(knob);

    frame.mouseDown(CPoint(10, 10), kLButton);
    frame.mouseUp(CPoint(10, 10), kLButton);
    FakeClock::now += 249;
    frame.mouseDown(CPoint(10, 10), kLButton);
    frame.mouseMoved(CPoint(10, 0), kLButton); // no drag follows a swallowed press
    frame.mouseUp(CPoint(10, 0), kLButton);
    EXPECT_EQ(knob->swallowed, 1);
    EXPECT_EQ(listener.kinds(), "begin end");
    EXPECT_EQ(knob->getValue(), 0.0f);

    FakeClock::now += 250;
    frame.mouseDown(CPoint(10, 10), kLButton);
    frame.mouseUp(CPoint(10, 10), kLButton);
    EXPECT_EQ(listener.kinds(), "begin end begin end");
}

TEST(SubclassHooksTest, ATimerDrivenAnimationRunsWhileOnAndRestartsOnlyOnRealChanges)
{
    FakeClock clock(50000);
    CBitmap* rest = new CBitmap("BendButton.png");
    CBitmap* hot = new CBitmap("BendButtonHot.png");
    RecordingListener listener;
    CFrame frame(CRect(0, 0, 200, 200), nullptr);
    auto* toggle = new AnimatedToggle(CRect(50, 50, 150, 150), &listener, rest, hot);
    frame.addView(toggle);
    EXPECT_FALSE(toggle->timer->isRunning());

    frame.mouseDown(CPoint(60, 60), kLButton);
    frame.mouseUp(CPoint(60, 60), kLButton);
    EXPECT_EQ(toggle->getBackground(), hot);
    EXPECT_TRUE(toggle->timer->isRunning());
    EXPECT_EQ(toggle->frameShown(), 0);

    for (int ms = 0; ms < 750; ++ms) {
        ++FakeClock::now;
        frame.idle();
    }
    // Last firing at 736 ms (46 periods of 16): frame floor(736 / 1500 x 128).
    EXPECT_EQ(toggle->frameShown(), 62);

    // The program setting the value it already has changes nothing.
    toggle->setValue(1.0f);
    EXPECT_EQ(toggle->restarts, 1);
    EXPECT_EQ(toggle->frameShown(), 62);

    toggle->setValue(0.0f);
    EXPECT_FALSE(toggle->timer->isRunning());
    EXPECT_EQ(toggle->getBackground(), rest);
    EXPECT_EQ(listener.count("change"), 1) << "only the click reached the listener";

    rest->forget();
    hot->forget();
}
