#pragma once
// A periodic timer on the window thread. Running timers fire from
// CTimer::fireDue(), which each frame's idle step calls; there is no thread
// of its own. A timer that falls behind (a blocked window thread) fires
// once and resumes its period from then, rather than catching up.

#include <cstdint>

class CTimer;

class CTimerListener {
public:
    virtual ~CTimerListener() = default;
    virtual void onTimer(CTimer* timer) = 0;
};

class CTimer {
public:
    CTimer(CTimerListener* target, std::uint32_t periodMs);
    ~CTimer();
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;

    // A new period takes effect from the next firing (or the next start).
    void setPeriod(std::uint32_t periodMs);
    std::uint32_t getPeriod() const { return period_; }

    // The first firing comes one period after start().
    void start();
    void stop();
    bool isRunning() const { return running_; }

    // Fires every running timer whose time has come, by getTickCount().
    static void fireDue();

private:
    CTimerListener* target_;
    std::uint32_t period_;
    std::uint32_t due_ = 0;
    bool running_ = false;
};
