#include "gui/CView.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

CView::CView(const CRect& size) : size_(size)
{
}

CView::~CView()
{
    if (background_)
        background_->forget();
}

void CView::setViewSize(const CRect& size)
{
    invalid();
    size_ = size;
    invalid();
}

void CView::draw(CDrawContext& context)
{
    if (background_)
        background_->draw(context, size_);
    dirty_ = false;
}

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&)
{
    return kMouseEventNotHandled;
}
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&)
{
    return kMouseEventNotHandled;
}
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&)
{
    return kMouseEventNotHandled;
}
CMouseEventResult CView::onMouseEntered(CPoint&, const CButtonState&)
{
    return kMouseEventNotHandled;
}
CMouseEventResult CView::onMouseExited(CPoint&, const CButtonState&)
{
    return kMouseEventNotHandled;
}
bool CView::onWheel(const CPoint&, float, const CButtonState&)
{
    return false;
}

void CView::setBackground(CBitmap* background)
{
    if (background == background_)
        return;
    if (background)
        background->remember();
    if (background_)
        background_->forget();
    background_ = background;
    invalid();
}

void CView::invalid()
{
    dirty_ = true;
    if (frame_)
        frame_->invalidRect(size_);
}

void CView::setDirty(bool dirty)
{
    if (dirty)
        invalid();
    else
        dirty_ = false;
}

void CView::attached(CFrame* frame)
{
    frame_ = frame;
    invalid();
}

void CView::removed()
{
    frame_ = nullptr;
}
