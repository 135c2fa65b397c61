// The bend button on its own: the ring's cycle on a fake clock, the timer
// that runs only while on, and the frame it draws.

#include "EditorFixture.h"

#include "gui/CBitmap.h"
#include "gui/COffscreenContext.h"
#include "gui/CTimer.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct Counter : CControlListener {
    int changes = 0;
    void valueChanged(CControl*) override { ++changes; }
};

class PulseButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EditorClock::now = 50000;
        setTickSource(&EditorClock::read);
        rest = new CBitmap("BendButton.png");
        hot = new CBitmap("BendButtonHot.png");
        frame = std::make_unique<CFrame>(CRect(0, 0, 200, 200), nullptr);
        button = new PulseButton(CRect(50, 50, 150, 150), &listener, -1, 100, rest, hot);
        frame->addView(button);
    }
    void TearDown() override
    {
        frame.reset();
        rest->forget();
        hot->forget();
        setTickSource(nullptr);
    }
    void advance(int ms, int step = 1)
    {
        for (int t = 0; t < ms; t += step) {
            EditorClock::now += static_cast<std::uint32_t>(step);
            frame->idle();
        }
    }
    void clickButton()
    {
        frame->mouseDown(CPoint(60, 60), kLButton);
        frame->mouseUp(CPoint(60, 60), kLButton);
    }

    // The frame of `strip` that the button's pixels match, or -1.
    int frameShown(CBitmap* strip)
    {
        auto shot = frame->renderOffscreen();
        auto expected = COffscreenContext::create(100, 12800);
        strip->draw(expected->drawContext(), CRect(0, 0, 100, 12800));
        for (int f = 0; f < 128; ++f) {
            bool same = true;
            for (int y = 0; y < 100 && same; y += 3)
                for (int x = 0; x < 100 && same; x += 3) {
                    CColor a = shot->getPixel(50 + x, 50 + y), b = expected->getPixel(x, 100 * f + y);
                    same = std::abs(a.red - b.red) <= 1 && std::abs(a.green - b.green) <= 1 &&
                           std::abs(a.blue - b.blue) <= 1 && std::abs(a.alpha - b.alpha) <= 1;
                }
            if (same)
                return f;
        }
        return -1;
    }

    CBitmap* rest = nullptr;
    CBitmap* hot = nullptr;
    Counter listener;
    std::unique_ptr<CFrame> frame;
    PulseButton* button = nullptr;
};

} // namespace

TEST_F(PulseButtonTest, AtRestItShowsTheFirstFrameOfTheRestStripWithNoTimer)
{
    EXPECT_FALSE(button->isAnimating());
    EXPECT_EQ(button->getBackground(), rest);
    EXPECT_EQ(frameShown(rest), 0);
    advance(100);
    EXPECT_EQ(button->getPhase(), 0.0f);
}

TEST_F(PulseButtonTest, TheRingRunsOnceEvery1500MsWhileOn)
{
    clickButton();
    EXPECT_EQ(listener.changes, 1);
    EXPECT_EQ(button->getValue(), 1.0f);
    EXPECT_TRUE(button->isAnimating());
    EXPECT_EQ(button->getBackground(), hot);
    EXPECT_EQ(button->currentFrame(), 0);
    EXPECT_EQ(frameShown(hot), 0) << "the full ring first, not the strip's second frame";

    advance(750);
    // The last step fell between 734 and 750 ms.
    EXPECT_GE(button->currentFrame(), 62);
    EXPECT_LE(button->currentFrame(), 64);
    EXPECT_EQ(frameShown(hot), button->currentFrame());
    advance(750);
    const int f = button->currentFrame();
    EXPECT_LE(std::min(f, 128 - f), 2) << "back around to the full ring, frame " << f;

    clickButton();
    EXPECT_EQ(listener.changes, 2);
    EXPECT_FALSE(button->isAnimating());
    EXPECT_EQ(button->getBackground(), rest);
    EXPECT_EQ(frameShown(rest), 0);
}

TEST_F(PulseButtonTest, APausedTimerDoesNotSlowTheCycle)
{
    button->setValue(1.0f);
    EditorClock::now += 750; // the window thread was blocked
    frame->idle();
    EXPECT_EQ(button->currentFrame(), 64);
    EditorClock::now += 750;
    frame->idle();
    EXPECT_EQ(button->currentFrame(), 0);
}

TEST_F(PulseButtonTest, TheCycleSurvivesTheClockWrapping)
{
    EditorClock::now = 0xFFFFFFFFu - 100;
    button->setValue(1.0f);
    EditorClock::now += 475; // across the wrap: 475 ms later
    frame->idle();
    EXPECT_EQ(button->currentFrame(), 40);
}

TEST_F(PulseButtonTest, OnlyRealChangesRestartTheRing)
{
    button->setValue(1.0f);
    advance(300, 16);
    const float phase = button->getPhase();
    EXPECT_GT(phase, 0.0f);
    button->setValue(1.0f); // what the idle pass does every time
    EXPECT_EQ(button->getPhase(), phase);
    EXPECT_TRUE(button->isAnimating());
    button->setValue(0.0f);
    EXPECT_EQ(button->getPhase(), 0.0f);
    EXPECT_FALSE(button->isAnimating());
    EXPECT_EQ(listener.changes, 0) << "the program's own changes reach no listener";
}

TEST_F(PulseButtonTest, TheRingStartsAgainAtTheBeginAndTheEndOfAnEdit)
{
    frame->mouseDown(CPoint(60, 60), kLButton); // switches on
    EXPECT_TRUE(button->isAnimating());
    advance(300, 16);
    EXPECT_GT(button->getPhase(), 0.1f);
    frame->mouseUp(CPoint(60, 60), kLButton); // the end of the click's edit
    EXPECT_EQ(button->getPhase(), 0.0f);
    EXPECT_TRUE(button->isAnimating());
    EXPECT_EQ(button->getBackground(), hot);
    EditorClock::now += 750;
    frame->idle();
    EXPECT_EQ(button->currentFrame(), 64) << "timed from the release";

    button->beginEdit();
    EXPECT_EQ(button->getPhase(), 0.0f);
    advance(100, 16);
    button->endEdit();
    EXPECT_EQ(button->getPhase(), 0.0f);
    EXPECT_EQ(button->getValue(), 1.0f);
    EXPECT_EQ(listener.changes, 1);
}

TEST_F(PulseButtonTest, ReleasingTheFrameWhileOnStopsTheTimer)
{
    button->setValue(1.0f);
    frame.reset();
    EditorClock::now += 100;
    CTimer::fireDue(); // nothing left to fire at a released button
    SUCCEED();
}
