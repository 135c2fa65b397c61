#pragma once
// The scene both platform layers draw for the Windows tests: the editor's
// background, every knob of the layout at a different frame, the small
// buttons, a view that exercises translucent fills, outlines and an image
// drawn at half opacity, and one text label. The Linux build renders it
// with cairo as the reference; the Windows build renders it with GDI+,
// offscreen and in a real window.

#include "EditorLayout.h"

#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/CMovieButton.h"
#include "gui/CTextLabel.h"

#include <iterator>
#include <memory>

namespace GuiScene {

constexpr int kWidth = 740;
constexpr int kHeight = 520;
// Where the text label sits: fonts differ between the platforms, so the
// comparison leaves this rectangle out.
const CRect kLabelRect(290, 250, 450, 290);
// The view of translucent shapes.
const CRect kShapesRect(20, 450, 140, 510);

class ShapesView : public CView {
public:
    ShapesView(const CRect& size, CBitmap* image) : CView(size), image_(image) { image_->remember(); }
    ~ShapesView() override { image_->forget(); }

    void draw(CDrawContext& context) override
    {
        context.fillRect(size_, CColor(255, 255, 255, 255));
        context.fillRect(CRect(size_.left + 5, size_.top + 5, size_.left + 60, size_.top + 40),
                         CColor(200, 30, 30, 128));
        context.fillRect(CRect(size_.left + 30, size_.top + 20, size_.left + 90, size_.top + 55),
                         CColor(30, 30, 200, 96));
        context.frameRect(CRect(size_.left + 2, size_.top + 2, size_.right - 2, size_.bottom - 2),
                          CColor(0, 120, 0, 255));
        image_->draw(context, CRect(size_.right - 32, size_.top + 8, size_.right - 6, size_.top + 34), CPoint(0, 0),
                     0.5f);
        dirty_ = false;
    }

private:
    CBitmap* image_;
};

// The knob placed first in the layout, which the window test drags.
struct Views {
    CAnimKnob* firstKnob = nullptr;
    CTextLabel* label = nullptr;
};

inline std::unique_ptr<CFrame> build(void* parent, Views* views = nullptr)
{
    auto frame = std::make_unique<CFrame>(CRect(0, 0, kWidth, kHeight), parent);
    CBitmap* layout = new CBitmap("Layout.png");
    CBitmap* knobs = new CBitmap("KnobStrip.png");
    CBitmap* sync = new CBitmap("SyncButton.png");
    CBitmap* dice = new CBitmap("Dice.png");
    frame->setBackground(layout);
    const int count = static_cast<int>(std::size(EditorLayout::kKnobs));
    int i = 0;
    for (const auto& k : EditorLayout::kKnobs) {
        auto* knob = new CAnimKnob(CRect(k.x, k.y, k.x + EditorLayout::kKnobSize, k.y + EditorLayout::kKnobSize),
                                   nullptr, -1, knobs);
        knob->setValue(static_cast<float>(i) / static_cast<float>(count - 1));
        frame->addView(knob);
        if (views && i == 0)
            views->firstKnob = knob;
        ++i;
    }
    i = 0;
    for (const auto& s : EditorLayout::kSmall) {
        auto* button = new CMovieButton(CRect(s.x, s.y, s.x + s.width, s.y + s.height), nullptr, -1, s.height, sync);
        button->setValue((i++ % 2) ? 1.0f : 0.0f);
        frame->addView(button);
    }
    frame->addView(new ShapesView(kShapesRect, dice));
    auto* label = new CTextLabel(kLabelRect, "Tarvel 0.25 Hz");
    label->setFontColor(CColor(240, 240, 240, 255));
    label->setBackColor(CColor(40, 40, 48, 255));
    label->setHoriAlign(kCenterText);
    frame->addView(label);
    if (views)
        views->label = label;
    // The frame and views hold their own references now.
    layout->forget();
    knobs->forget();
    sync->forget();
    dice->forget();
    return frame;
}

} // namespace GuiScene
