#pragma once
// One line of text on an optional background colour and frame, aligned
// left, centred or right. Colours with alpha 0 are not drawn.

#include "gui/CColor.h"
#include "gui/CControl.h"
#include "gui/CDrawContext.h"

#include <string>

class CFontDesc;

class CTextLabel : public CControl {
public:
    CTextLabel(const CRect& size, const char* text = "", CBitmap* background = nullptr);
    ~CTextLabel() override;

    void setText(const char* text);
    const char* getText() const { return text_.c_str(); }

    // The label keeps its own reference to the font.
    void setFont(CFontDesc* font);
    CFontDesc* getFont() const { return font_; }
    void setFontColor(const CColor& color);
    const CColor& getFontColor() const { return fontColor_; }
    void setBackColor(const CColor& color);
    const CColor& getBackColor() const { return backColor_; }
    void setFrameColor(const CColor& color);
    const CColor& getFrameColor() const { return frameColor_; }
    void setHoriAlign(CHoriTxtAlign align);
    CHoriTxtAlign getHoriAlign() const { return align_; }

    void draw(CDrawContext& context) override;

private:
    std::string text_;
    CFontDesc* font_ = nullptr;
    CColor fontColor_ = kWhiteCColor;
    CColor backColor_ = kBlackCColor;
    CColor frameColor_ = kBlackCColor;
    CHoriTxtAlign align_ = kCenterText;
};
