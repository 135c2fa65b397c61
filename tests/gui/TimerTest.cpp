// Timers on a fake clock, fired by the frame's idle step.

#include "TestSupport.h"

#include "gui/CFrame.h"
#include "gui/CTimer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Counter : CTimerListener {
    std::vector<std::uint32_t> firedAt;
    void onTimer(CTimer*) override { firedAt.push_back(FakeClock::now); }
};

} // namespace

TEST(TimerTest, FiresAtItsPeriodFromTheIdleStep)
{
    FakeClock clock(5000);
    CFrame frame(CRect(0, 0, 10, 10), nullptr);
    Counter counter;
    CTimer timer(&counter, 100);
    timer.setPeriod(16);
    frame.idle();
    EXPECT_TRUE(counter.firedAt.empty()) << "created stopped";

    timer.start();
    for (int ms = 0; ms <= 64; ++ms) {
        frame.idle();
        ++FakeClock::now;
    }
    EXPECT_EQ(counter.firedAt, (std::vector<std::uint32_t>{5016, 5032, 5048, 5064}));

    timer.stop();
    FakeClock::now += 100;
    frame.idle();
    EXPECT_EQ(counter.firedAt.size(), 4u);
}

TEST(TimerTest, ALongPauseFiresOnceAndResumesThePeriod)
{
    FakeClock clock(0);
    Counter counter;
    CTimer timer(&counter, 16);
    timer.start();
    FakeClock::now = 1000;
    CTimer::fireDue();
    CTimer::fireDue();
    EXPECT_EQ(counter.firedAt, (std::vector<std::uint32_t>{1000}));
    FakeClock::now = 1015;
    CTimer::fireDue();
    FakeClock::now = 1016;
    CTimer::fireDue();
    EXPECT_EQ(counter.firedAt, (std::vector<std::uint32_t>{1000, 1016}));
}

TEST(TimerTest, KeepsItsPeriodAcrossTheClockWrapping)
{
    FakeClock clock(0xFFFFFFF0u);
    Counter counter;
    CTimer timer(&counter, 32);
    timer.start();
    for (int ms = 0; ms <= 64; ++ms) {
        CTimer::fireDue();
        ++FakeClock::now;
    }
    EXPECT_EQ(counter.firedAt, (std::vector<std::uint32_t>{0x10u, 0x30u}));
}

TEST(TimerTest, ATimerMayStopOrDestroyTimersFromItsNotification)
{
    FakeClock clock(0);
    struct Stopper : CTimerListener {
        CTimer* victim = nullptr;
        int fired = 0;
        void onTimer(CTimer* self) override
        {
            ++fired;
            delete victim;
            victim = nullptr;
            self->stop();
        }
    } stopper;
    Counter counter;
    CTimer first(&stopper, 10);
    stopper.victim = new CTimer(&counter, 10);
    first.start();
    stopper.victim->start();
    FakeClock::now = 10;
    CTimer::fireDue();
    FakeClock::now = 30;
    CTimer::fireDue();
    EXPECT_EQ(stopper.fired, 1);
    EXPECT_TRUE(counter.firedAt.empty());
    EXPECT_FALSE(first.isRunning());
}

TEST(TickCountTest, TheSystemClockAdvancesInMilliseconds)
{
    setTickSource(nullptr);
    std::uint32_t before = getTickCount();
    std::uint32_t after = before;
    for (int i = 0; i < 100000000 && after - before < 2; ++i)
        after = getTickCount();
    EXPECT_GE(after - before, 2u);
    EXPECT_LT(after - before, 1000u);
}
