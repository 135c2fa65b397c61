#include "gui/CTextLabel.h"

#include "gui/CBitmap.h"
#include "gui/CFontDesc.h"

CTextLabel::CTextLabel(const CRect& size, const char* text, CBitmap* background)
    : CControl(size, nullptr, -1, background), text_(text ? text : "")
{
    setFont(new CFontDesc("Helvetica", 11));
    font_->forget(); // setFont took its own reference
}

CTextLabel::~CTextLabel()
{
    if (font_)
        font_->forget();
}

void CTextLabel::setText(const char* text)
{
    std::string next = text ? text : "";
    if (next == text_)
        return;
    text_ = std::move(next);
    invalid();
}

void CTextLabel::setFont(CFontDesc* font)
{
    if (font == font_)
        return;
    if (font)
        font->remember();
    if (font_)
        font_->forget();
    font_ = font;
    invalid();
}

void CTextLabel::setFontColor(const CColor& color)
{
    fontColor_ = color;
    invalid();
}

void CTextLabel::setBackColor(const CColor& color)
{
    backColor_ = color;
    invalid();
}

void CTextLabel::setFrameColor(const CColor& color)
{
    frameColor_ = color;
    invalid();
}

void CTextLabel::setHoriAlign(CHoriTxtAlign align)
{
    align_ = align;
    invalid();
}

void CTextLabel::draw(CDrawContext& context)
{
    if (backColor_.alpha)
        context.fillRect(size_, backColor_);
    if (background_)
        background_->draw(context, size_);
    if (frameColor_.alpha)
        context.frameRect(size_, frameColor_);
    if (font_ && !text_.empty() && fontColor_.alpha)
        context.drawString(text_.c_str(), size_, *font_, fontColor_, align_);
    dirty_ = false;
}
