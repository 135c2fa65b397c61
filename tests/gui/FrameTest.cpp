// The frame as a container: ownership, painting order, redraw bookkeeping
// and the gestures it passes to the host through the editor.

#include "TestSupport.h"

#include "gui/CAnimKnob.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/COffscreenContext.h"
#include "gui/CTextLabel.h"
#include "vst/AEffGUIEditor.h"

#include <gtest/gtest.h>

namespace {

struct GestureEditor : AEffGUIEditor {
    GestureEditor() : AEffGUIEditor(nullptr) {}
    std::vector<int> begun, ended;
    void beginEdit(VstInt32 index) override { begun.push_back(index); }
    void endEdit(VstInt32 index) override { ended.push_back(index); }
};

struct CountedView : CView {
    static int alive;
    explicit CountedView(const CRect& r) : CView(r) { ++alive; }
    ~CountedView() override { --alive; }
};
int CountedView::alive = 0;

struct Filled : CView {
    CColor color;
    Filled(const CRect& r, CColor c) : CView(r), color(c) {}
    void draw(CDrawContext& context) override
    {
        // Deliberately larger than the view: the frame clips it.
        CRect big = size_;
        big.left -= 10;
        big.right += 10;
        context.fillRect(big, color);
        setDirty(false);
    }
};

} // namespace

TEST(FrameTest, GesturesReachTheEditorOnlyForParameterControls)
{
    GestureEditor editor;
    RecordingListener listener;
    CFrame frame(CRect(0, 0, 100, 100), nullptr, &editor);
    EXPECT_EQ(frame.getEditor(), &editor);
    frame.addView(new CAnimKnob(CRect(0, 0, 30, 30), &listener, 12, nullptr));
    frame.addView(new CKickButton(CRect(50, 0, 80, 30), &listener, -1, 30, nullptr));

    frame.mouseDown(CPoint(10, 10), kLButton);
    EXPECT_EQ(editor.begun, std::vector<int>{12});
    EXPECT_TRUE(editor.ended.empty());
    frame.mouseUp(CPoint(10, 10), kLButton);
    EXPECT_EQ(editor.ended, std::vector<int>{12});

    frame.mouseDown(CPoint(60, 10), kLButton);
    frame.mouseUp(CPoint(60, 10), kLButton);
    EXPECT_EQ(editor.begun.size(), 1u) << "tag -1 is not a parameter";
    EXPECT_EQ(editor.ended.size(), 1u);
    EXPECT_EQ(listener.count("begin"), 2) << "the listener still hears of both";
}

TEST(FrameTest, OwnsItsViewsAndReleasesThemAll)
{
    {
        CFrame frame(CRect(0, 0, 100, 100), nullptr);
        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(frame.addView(new CountedView(CRect(i, i, i + 10, i + 10))));
        EXPECT_EQ(CountedView::alive, 5);
        EXPECT_FALSE(frame.addView(frame.getView(0))) << "a view is added only once";
        EXPECT_FALSE(frame.addView(nullptr));
        CView* kept = frame.getView(2);
        EXPECT_TRUE(frame.removeView(kept, true));
        EXPECT_EQ(CountedView::alive, 5);
        EXPECT_EQ(kept->getFrame(), nullptr);
        delete kept;
        EXPECT_TRUE(frame.removeView(frame.getView(0)));
        EXPECT_EQ(CountedView::alive, 3);
        EXPECT_EQ(frame.getNbViews(), 3);
        EXPECT_EQ(frame.getView(3), nullptr);
    }
    EXPECT_EQ(CountedView::alive, 0);
}

TEST(FrameTest, PaintsViewsInOrderOfAddingEachClippedToItsRectangle)
{
    CFrame frame(CRect(0, 0, 60, 20), nullptr);
    frame.addView(new Filled(CRect(10, 0, 40, 20), CColor(255, 0, 0)));
    frame.addView(new Filled(CRect(30, 0, 50, 20), CColor(0, 0, 255)));
    auto image = frame.renderOffscreen();
    EXPECT_EQ(image->getPixel(5, 5).alpha, 0) << "clipped: nothing left of the first view";
    EXPECT_EQ(image->getPixel(15, 5), CColor(255, 0, 0));
    EXPECT_EQ(image->getPixel(35, 5), CColor(0, 0, 255)) << "the later view is on top";
    EXPECT_EQ(image->getPixel(55, 5).alpha, 0);
    EXPECT_EQ(frame.getViewAt(CPoint(35, 5)), frame.getView(1));
}

TEST(FrameTest, InvalidatedAreasCollectUntilPaintedAndStayInsideTheFrame)
{
    CFrame frame(CRect(0, 0, 100, 100), nullptr);
    EXPECT_EQ(frame.dirtyArea(), (CRect(0, 0, 100, 100))) << "a new frame paints everything";
    auto* label = new CTextLabel(CRect(90, 90, 130, 130), "x");
    frame.addView(label);
    label->setText("y");
    EXPECT_EQ(frame.dirtyArea(), (CRect(0, 0, 100, 100)));

    CFrame other(CRect(0, 0, 100, 100), nullptr);
    other.idle(); // no window: nothing is painted, nothing is lost
    EXPECT_EQ(other.dirtyArea(), (CRect(0, 0, 100, 100)));
}
