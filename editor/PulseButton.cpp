#include "editor/PulseButton.h"

#include "gui/CBitmap.h"
#include "gui/TickCount.h"

#include <cmath>

PulseButton::PulseButton(const CRect& size, CControlListener* listener, std::int32_t tag, int frameHeight,
                         CBitmap* normalImage, CBitmap* hotImage)
    : CMovieButton(size, listener, tag, frameHeight, normalImage, CPoint(0, 0)),
      normalImage_(normalImage),
      hotImage_(hotImage),
      timer_(std::make_unique<CTimer>(this, 100))
{
    if (normalImage_)
        normalImage_->remember();
    if (hotImage_)
        hotImage_->remember();
    timer_->setPeriod(kTimerPeriodMs);
}

PulseButton::~PulseButton()
{
    timer_->stop();
    timer_.reset();
    if (normalImage_)
        normalImage_->forget();
    if (hotImage_)
        hotImage_->forget();
}

void PulseButton::onChange(ChangeReason reason)
{
    CMovieButton::onChange(reason);
    // A real change of state, and the press and the release of a click,
    // restart the cycle; setting the value it already has does not reach
    // here at all.
    phase_ = 0.0f;
    if (value_ != 0.0f) {
        lastTick_ = getTickCount();
        timer_->start();
        setBackground(hotImage_);
    } else {
        timer_->stop();
        setBackground(normalImage_);
    }
    invalid();
}

void PulseButton::onTimer(CTimer*)
{
    const std::uint32_t now = getTickCount();
    const float elapsed = static_cast<float>(now - lastTick_);
    phase_ = std::fmod(phase_ + elapsed / kCycleMs, 1.0f);
    lastTick_ = now;
    invalid();
}

int PulseButton::currentFrame() const
{
    if (!background_ || background_->getWidth() <= 0)
        return 0;
    const int frames = background_->getHeight() / background_->getWidth();
    int frame = static_cast<int>(std::floor(phase_ * static_cast<float>(frames)));
    if (frame >= frames)
        frame = frames - 1;
    return frame < 0 ? 0 : frame;
}

void PulseButton::draw(CDrawContext& context)
{
    // The background tells the state, the phase picks the frame; the value
    // itself selects nothing.
    if (background_)
        background_->draw(context, size_, CPoint(offset_.x, offset_.y + currentFrame() * frameHeight_), 1.0f);
    dirty_ = false;
}
