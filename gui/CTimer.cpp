#include "gui/CTimer.h"

#include "gui/TickCount.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<CTimer*>& runningTimers()
{
    static std::vector<CTimer*> timers;
    return timers;
}

bool isRunningTimer(CTimer* timer)
{
    auto& timers = runningTimers();
    return std::find(timers.begin(), timers.end(), timer) != timers.end();
}

} // namespace

CTimer::CTimer(CTimerListener* target, std::uint32_t periodMs) : target_(target), period_(periodMs)
{
}

CTimer::~CTimer()
{
    stop();
}

void CTimer::setPeriod(std::uint32_t periodMs)
{
    period_ = periodMs;
}

void CTimer::start()
{
    due_ = getTickCount() + period_;
    if (!running_) {
        running_ = true;
        runningTimers().push_back(this);
    }
}

void CTimer::stop()
{
    if (!running_)
        return;
    running_ = false;
    auto& timers = runningTimers();
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
}

void CTimer::fireDue()
{
    // A notification may start, stop or destroy timers: work on a copy and
    // check that each one still runs before firing it.
    std::vector<CTimer*> timers = runningTimers();
    for (CTimer* timer : timers) {
        if (!isRunningTimer(timer))
            continue;
        std::uint32_t now = getTickCount();
        // Signed difference, so the comparison survives the clock wrapping.
        if (static_cast<std::int32_t>(now - timer->due_) < 0)
            continue;
        timer->due_ = now + timer->period_;
        if (timer->target_)
            timer->target_->onTimer(timer);
    }
}
