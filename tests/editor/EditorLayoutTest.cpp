// Opening and closing the window: the rectangle the host sees, the controls
// built from the layout table and what they start from.

#include "EditorLayout.h"
#include "EditorFixture.h"

#include "gui/CFontDesc.h"
#include "gui/CKickButton.h"
#include "gui/CMovieButton.h"
#include "gui/CTextLabel.h"

#include <cstring>
#include <string>

namespace {

struct Census {
    int knobs = 0, toggles = 0, momentary = 0, pulse = 0, labels = 0, other = 0;
};

Census countViews(CFrame& frame)
{
    Census c;
    for (int i = 0; i < frame.getNbViews(); ++i) {
        CView* v = frame.getView(i);
        if (dynamic_cast<ParameterKnob*>(v))
            ++c.knobs;
        else if (dynamic_cast<PulseButton*>(v))
            ++c.pulse;
        else if (dynamic_cast<CMovieButton*>(v))
            ++c.toggles;
        else if (dynamic_cast<CKickButton*>(v))
            ++c.momentary;
        else if (dynamic_cast<CTextLabel*>(v))
            ++c.labels;
        else
            ++c.other;
    }
    return c;
}

} // namespace

TEST_F(EditorFixture, RectangleIsSmallUntilTheFirstOpenAndTheLayoutSizeFromThenOn)
{
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 100);
    EXPECT_EQ(rect->right, 100);

    open();
    dispatch(effEditGetRect, 0, 0, &rect);
    EXPECT_EQ(rect->bottom, 520);
    EXPECT_EQ(rect->right, 740);
    EXPECT_EQ(frame()->getViewSize().width(), 740);
    EXPECT_EQ(frame()->getViewSize().height(), 520);

    dispatch(effEditClose);
    EXPECT_EQ(frame(), nullptr);
    dispatch(effEditGetRect, 0, 0, &rect);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 520);
    EXPECT_EQ(rect->right, 740);
}

TEST_F(EditorFixture, OpeningBuildsEveryControlOfTheTableBoundToItsParameter)
{
    EXPECT_EQ(SynthEditor::kLayoutRowCount, 61);
    open();
    Census c = countViews(*frame());
    EXPECT_EQ(c.knobs, 50);
    EXPECT_EQ(c.toggles, 5);
    EXPECT_EQ(c.momentary, 2);
    EXPECT_EQ(c.pulse, 1);
    EXPECT_EQ(c.labels, 2);
    EXPECT_EQ(c.other, 0);

    const auto& knobs = editor->getKnobs();
    ASSERT_EQ(knobs.size(), 56u);
    EXPECT_EQ(knobs[36], nullptr) << "ModMLFOAmp has no knob";
    EXPECT_EQ(index("ModMLFOAmp"), 36);
    int bound = 0;
    for (std::size_t i = 0; i < knobs.size(); ++i) {
        if (!knobs[i])
            continue;
        ++bound;
        EXPECT_EQ(knobs[i]->getTag(), static_cast<int>(i));
        EXPECT_EQ(knobs[i]->getListener(), editor);
    }
    EXPECT_EQ(bound, 50);

    // The background is painted for the artwork's knob places: every knob
    // sits exactly where its caption expects it.
    for (const auto& k : EditorLayout::kKnobs) {
        ParameterKnob* kn = knob(k.name);
        ASSERT_NE(kn, nullptr) << k.name;
        EXPECT_EQ(kn->getViewSize().left, k.x) << k.name;
        EXPECT_EQ(kn->getViewSize().top, k.y) << k.name;
        EXPECT_EQ(kn->getViewSize().width(), 30);
        EXPECT_EQ(kn->getNumSubPixmaps(), 31);
    }

    struct Toggle {
        CMovieButton* button;
        const char* name;
    } toggles[] = {{editor->getDelaySyncButton(), "DelaySync"},
                   {editor->getLfo1SyncButton(), "LFO1Sync"},
                   {editor->getLfo2SyncButton(), "LFO2Sync"},
                   {editor->getLfo1ResetButton(), "LFO1Reset"},
                   {editor->getLfo2ResetButton(), "LFO2Reset"}};
    for (const Toggle& t : toggles) {
        ASSERT_NE(t.button, nullptr) << t.name;
        EXPECT_EQ(t.button->getTag(), index(t.name)) << t.name;
        EXPECT_GE(t.button->getTag(), 0) << t.name;
        EXPECT_EQ(t.button->getHeightOfOneImage(), 20);
    }
    EXPECT_EQ(editor->getDelaySyncButton()->getTag(), 53);
    EXPECT_EQ(editor->getLfo1ResetButton()->getTag(), 8);

    ASSERT_NE(editor->getBendButton(), nullptr);
    EXPECT_EQ(editor->getBendButton()->getTag(), -1);
    EXPECT_EQ(editor->getBendButton()->getViewSize().left, 320);
    EXPECT_EQ(editor->getBendButton()->getHeightOfOneImage(), 100);
    ASSERT_NE(editor->getDiceButton(), nullptr);
    ASSERT_NE(editor->getInitButton(), nullptr);
    EXPECT_EQ(editor->getDiceButton()->getTag(), -1);
    EXPECT_EQ(editor->getDiceButton()->getViewSize().left, 335);
    EXPECT_EQ(editor->getInitButton()->getViewSize().left, 375);

    CTextLabel* name = editor->getReadoutParameter();
    CTextLabel* value = editor->getReadoutValue();
    ASSERT_NE(name, nullptr);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(name->getText(), "");
    EXPECT_STREQ(value->getText(), "");
    EXPECT_EQ(name->getHoriAlign(), kLeftText);
    EXPECT_EQ(value->getHoriAlign(), kRightText);
    EXPECT_EQ(name->getFont()->getSize(), 11);
    EXPECT_EQ(value->getFont()->getSize(), 13);
    EXPECT_EQ(name->getFont()->getName(), "Helvetica");
    EXPECT_EQ(name->getFontColor(), CColor(255, 144, 0, 255));
    EXPECT_EQ(value->getBackColor().alpha, 0);
    EXPECT_EQ(value->getFrameColor().alpha, 0);
    EXPECT_EQ(name->getViewSize(), CRect(299, 250, 389, 290));
}

TEST_F(EditorFixture, ControlsStartFromTheStoredValuesAndBends)
{
    const int time = index("DelayTime");
    const int sync = index("LFO1Sync");
    const int sync2 = index("LFO2Sync");
    synth->setParameter(time, 0.8f);
    synth->setParameter(sync, 0.3f);
    synth->setParameter(sync2, 0.7f);
    render(64);                      // the live values follow
    synth->setParameter(time, 0.1f); // stored, not yet live
    synth->armBend();
    synth->setParameter(index("FilterCutoff"), 0.4f); // records a point
    synth->disarmBend();

    // Nothing tells yet whether audio runs: what the program holds shows.
    open();
    EXPECT_FLOAT_EQ(knob("DelayTime")->getValue(), 0.1f);
    EXPECT_EQ(editor->getLfo1SyncButton()->getValue(), 0.0f) << "0.3 shows off";
    EXPECT_EQ(editor->getLfo2SyncButton()->getValue(), 1.0f) << "0.7 shows on";
    EXPECT_TRUE(knob("FilterCutoff")->showsBendLook());
    EXPECT_FALSE(knob("DelayTime")->showsBendLook());
}

TEST_F(EditorFixture, OpensAndClosesAnyNumberOfTimesAndIdlesSafelyWhileClosed)
{
    idle(); // closed: nothing to do
    for (int round = 0; round < 20; ++round) {
        open();
        EXPECT_EQ(frame()->getNbViews(), 60);
        idle();
        // A second open without a close replaces the window rather than leak it.
        if (round == 5)
            open();
        dispatch(effEditClose);
        EXPECT_EQ(frame(), nullptr);
        EXPECT_TRUE(editor->getKnobs().empty());
        EXPECT_EQ(editor->getBendButton(), nullptr);
        EXPECT_EQ(editor->getReadoutValue(), nullptr);
        EXPECT_EQ(editor->getDelaySyncButton(), nullptr);
        idle();
    }
    dispatch(effEditClose); // closing twice is harmless
    open();
    synth.reset(); // the plug-in goes away with its window still open
}
