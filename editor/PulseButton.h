#pragma once
// The bend button: a two-state button that, while on, runs a ring around
// itself from a square-frame film strip. One cycle lasts 1.5 s whatever the
// timer's actual rate, because each step advances by the time that really
// passed. The timer runs only while the button is on.

#include "gui/CMovieButton.h"
#include "gui/CTimer.h"

#include <cstdint>
#include <memory>

class CBitmap;

class PulseButton : public CMovieButton, public CTimerListener {
public:
    static constexpr float kCycleMs = 1500.0f;
    static constexpr std::uint32_t kTimerPeriodMs = 16;

    PulseButton(const CRect& size, CControlListener* listener, std::int32_t tag, int frameHeight, CBitmap* normalImage,
                CBitmap* hotImage);
    ~PulseButton() override;

    void draw(CDrawContext& context) override;
    void onTimer(CTimer* timer) override;

    // The frame of the current strip that the next draw shows.
    int currentFrame() const;
    float getPhase() const { return phase_; }
    bool isAnimating() const { return timer_->isRunning(); }

protected:
    void onChange(ChangeReason reason) override;

private:
    CBitmap* normalImage_;
    CBitmap* hotImage_;
    // The tick count at the last step, kept as the clock's own unsigned
    // milliseconds: a float would lose whole steps after some weeks of
    // uptime and turn negative across the clock's wrap.
    std::uint32_t lastTick_ = 0;
    float phase_ = 0.0f;
    std::unique_ptr<CTimer> timer_;
};
