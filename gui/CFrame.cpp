#include "gui/CFrame.h"

#include "gui/CBitmap.h"
#include "gui/COffscreenContext.h"
#include "gui/CTimer.h"
#include "gui/PlatformWindow.h"
#include "gui/TickCount.h"
#include "vst/AEffGUIEditor.h"

#include <algorithm>

// Adapts the platform window's reports to the frame's entry points.
class CFrame::WindowListener : public PlatformWindowListener {
public:
    explicit WindowListener(CFrame& frame) : frame_(frame) {}

    void platformMouseDown(const CPoint& where, CButtonState buttons, std::uint32_t time) override
    {
        frame_.mouseDown(where, buttons, time);
    }
    void platformMouseUp(const CPoint& where, CButtonState buttons) override { frame_.mouseUp(where, buttons); }
    void platformMouseMoved(const CPoint& where, CButtonState buttons) override { frame_.mouseMoved(where, buttons); }
    void platformMouseExited() override { frame_.mouseExited(); }
    void platformMouseWheel(const CPoint& where, float distance, CButtonState buttons) override
    {
        frame_.mouseWheel(where, distance, buttons);
    }
    void platformInvalid(const CRect& area) override { frame_.invalidRect(area); }
    void platformDraw(CDrawContext& context, const CRect& area) override { frame_.drawRect(context, area); }
    void platformIdle() override
    {
        if (AEffGUIEditor* editor = frame_.getEditor())
            editor->idle();
        else
            frame_.idle();
    }

private:
    CFrame& frame_;
};

CFrame::CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor)
    : CView(size), editor_(editor), listener_(std::make_unique<WindowListener>(*this))
{
    frame_ = this;
    if (parentWindow)
        window_ = PlatformWindow::create(parentWindow, size, listener_.get());
    invalidRect(size_);
}

CFrame::~CFrame()
{
    // Close the window first so that nothing paints half-destroyed views.
    window_.reset();
    removeAll();
}

std::uintptr_t CFrame::getNativeWindow() const
{
    return window_ ? window_->nativeHandle() : 0;
}

bool CFrame::addView(CView* view)
{
    if (!view || std::find(views_.begin(), views_.end(), view) != views_.end())
        return false;
    views_.push_back(view);
    view->attached(this);
    return true;
}

bool CFrame::removeView(CView* view, bool keep)
{
    auto it = std::find(views_.begin(), views_.end(), view);
    if (it == views_.end())
        return false;
    views_.erase(it);
    if (mouseCapture_ == view)
        mouseCapture_ = nullptr;
    if (mouseOver_ == view)
        mouseOver_ = nullptr;
    invalidRect(view->getViewSize());
    view->removed();
    if (!keep)
        delete view;
    return true;
}

void CFrame::removeAll()
{
    mouseCapture_ = nullptr;
    mouseOver_ = nullptr;
    std::vector<CView*> views;
    views.swap(views_);
    for (CView* view : views) {
        view->removed();
        delete view;
    }
}

CView* CFrame::getView(int index) const
{
    if (index < 0 || index >= getNbViews())
        return nullptr;
    return views_[static_cast<std::size_t>(index)];
}

CView* CFrame::getViewAt(const CPoint& where) const
{
    for (auto it = views_.rbegin(); it != views_.rend(); ++it)
        if ((*it)->getMouseEnabled() && (*it)->getViewSize().pointInside(where))
            return *it;
    return nullptr;
}

void CFrame::idle()
{
    if (window_)
        window_->pump();
    CTimer::fireDue();
    paintDirty();
}

void CFrame::paintDirty()
{
    if (window_ && !dirtyArea_.isEmpty()) {
        CRect area = dirtyArea_;
        dirtyArea_ = CRect();
        window_->redraw(area);
    }
}

void CFrame::draw(CDrawContext& context)
{
    drawRect(context, size_);
}

void CFrame::drawRect(CDrawContext& context, const CRect& area)
{
    CRect clip = area;
    clip.bound(size_);
    if (clip.isEmpty())
        return;
    context.setClipRect(clip);
    if (background_)
        background_->draw(context, size_);
    for (CView* view : views_) {
        CRect viewClip = view->getViewSize();
        viewClip.bound(clip);
        if (viewClip.isEmpty())
            continue;
        context.setClipRect(viewClip);
        view->draw(context);
    }
    context.setClipRect(clip);
    dirty_ = false;
}

void CFrame::invalidRect(const CRect& rect)
{
    CRect area = rect;
    area.bound(size_);
    dirtyArea_.unite(area);
}

void CFrame::beginEdit(std::int32_t tag)
{
    // Controls that stand for no parameter use negative tags; the host must
    // never see those as parameter indices.
    if (editor_ && tag >= 0)
        editor_->beginEdit(tag);
}

void CFrame::endEdit(std::int32_t tag)
{
    if (editor_ && tag >= 0)
        editor_->endEdit(tag);
}

void CFrame::setMouseOver(CView* view, CPoint where, CButtonState buttons)
{
    if (view == mouseOver_)
        return;
    CView* previous = mouseOver_;
    mouseOver_ = view;
    if (previous) {
        CPoint p = where;
        previous->onMouseExited(p, buttons);
    }
    if (view && mouseOver_ == view) {
        CPoint p = where;
        view->onMouseEntered(p, buttons);
    }
}

void CFrame::mouseDown(CPoint where, CButtonState buttons)
{
    mouseDown(where, buttons, getTickCount());
}

void CFrame::mouseDown(CPoint where, CButtonState buttons, std::uint32_t time)
{
    mouseDownTime_ = time;
    if (mouseCapture_)
        return; // a second button during a drag belongs to the drag
    CView* view = getViewAt(where);
    setMouseOver(view, where, buttons);
    if (view && view->onMouseDown(where, buttons) == kMouseEventHandled &&
        std::find(views_.begin(), views_.end(), view) != views_.end())
        mouseCapture_ = view;
}

void CFrame::mouseUp(CPoint where, CButtonState buttons)
{
    if (CView* view = mouseCapture_) {
        mouseCapture_ = nullptr;
        view->onMouseUp(where, buttons);
    }
    setMouseOver(getViewAt(where), where, buttons);
}

void CFrame::mouseMoved(CPoint where, CButtonState buttons)
{
    if (mouseCapture_) {
        mouseCapture_->onMouseMoved(where, buttons);
        return;
    }
    setMouseOver(getViewAt(where), where, buttons);
    if (mouseOver_)
        mouseOver_->onMouseMoved(where, buttons);
}

void CFrame::mouseExited()
{
    if (!mouseCapture_)
        setMouseOver(nullptr, CPoint(-1, -1), CButtonState());
}

void CFrame::mouseWheel(CPoint where, float distance, CButtonState buttons)
{
    CView* view = mouseCapture_ ? mouseCapture_ : getViewAt(where);
    if (view)
        view->onWheel(where, distance, buttons);
}

std::unique_ptr<COffscreenContext> CFrame::renderOffscreen()
{
    auto image = COffscreenContext::create(size_.width(), size_.height());
    if (image)
        drawRect(image->drawContext(), size_);
    return image;
}

bool CFrame::writePNG(const char* path)
{
    auto image = renderOffscreen();
    return image && image->writePNG(path);
}
