// The readout under the pointer, knob drags as the host sees them, the
// double-click reset and the bend strip.

#include "EditorFixture.h"

#include "gui/CMovieButton.h"
#include "gui/CTextLabel.h"

#include <string>

namespace {

std::string text(CTextLabel* label)
{
    return label->getText();
}

} // namespace

TEST_F(EditorFixture, ReadoutFollowsThePointerFromKnobToKnobAndClearsOffThem)
{
    open();
    hover(centre(knob("DelayTime")));
    EXPECT_EQ(text(editor->getReadoutParameter()), "DelayTime");
    EXPECT_EQ(text(editor->getReadoutValue()), "0.20s");

    // Straight onto the neighbouring knob: the second one's name and value.
    hover(centre(knob("DelayWet")));
    EXPECT_EQ(text(editor->getReadoutParameter()), "DelayWet");
    char display[256] = {};
    synth->getParameterDisplay(index("DelayWet"), display);
    EXPECT_EQ(text(editor->getReadoutValue()), display);

    // Names longer than the host's eight characters show in full.
    hover(centre(knob("PhaserModDepth")));
    EXPECT_EQ(text(editor->getReadoutParameter()), "PhaserModDepth");

    hover(CPoint(5, 5)); // the background
    EXPECT_EQ(text(editor->getReadoutParameter()), "");
    EXPECT_EQ(text(editor->getReadoutValue()), "");
}

TEST_F(EditorFixture, ReadoutShowsTheStoredValueWhileAKnobIsTurned)
{
    open();
    ParameterKnob* k = knob("ChorusWet");
    CPoint at = centre(k);
    frame()->mouseDown(at, kLButton);
    frame()->mouseMoved(CPoint(at.x, at.y - 100), kLButton);
    EXPECT_EQ(text(editor->getReadoutValue()), "50%");
    frame()->mouseUp(CPoint(at.x, at.y - 100), kLButton);
}

TEST_F(EditorFixture, ClickingAToggleClearsTheReadout)
{
    open();
    editor->updateReadout(knob("DelayTime"));
    ASSERT_EQ(text(editor->getReadoutParameter()), "DelayTime");
    click(editor->getDelaySyncButton());
    EXPECT_EQ(text(editor->getReadoutParameter()), "");
    EXPECT_EQ(text(editor->getReadoutValue()), "");
}

TEST_F(EditorFixture, DraggingAKnobAutomatesItsParameterInsideOneHostGesture)
{
    open();
    ParameterKnob* k = knob("FilterResonance");
    const int tag = k->getTag();
    const float start = k->getValue();
    ASSERT_FLOAT_EQ(start, 0.1f);
    EditorHost::calls.clear();

    drag(k, 40); // 40 of 200 pixels: +0.2
    const std::vector<float> values = EditorHost::automated(tag);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_FLOAT_EQ(values.back(), start + 0.2f);
    EXPECT_FLOAT_EQ(synth->getParameter(tag), start + 0.2f) << "the value went into the current program";
    for (std::size_t i = 1; i < values.size(); ++i)
        EXPECT_GT(values[i], values[i - 1]);

    // Begin-edit first, end-edit last, both for this parameter only.
    ASSERT_FALSE(EditorHost::calls.empty());
    std::vector<HostCall> edits;
    for (const HostCall& c : EditorHost::calls)
        if (c.opcode == audioMasterBeginEdit || c.opcode == audioMasterEndEdit || c.opcode == audioMasterAutomate)
            edits.push_back(c);
    ASSERT_EQ(edits.size(), 6u);
    EXPECT_EQ(edits.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(edits.front().index, tag);
    EXPECT_EQ(edits.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(edits.back().index, tag);

    // Until the audio thread takes the value the knob shows the live one;
    // the idle pass after that block moves it.
    render(64);
    idle();
    EXPECT_FLOAT_EQ(k->getValue(), start + 0.2f);
}

TEST_F(EditorFixture, PressesWithin250MsResetToTheDefaultMeasuredFromTheLatestPress)
{
    open();
    ParameterKnob* k = knob("FilterResonance");
    const int tag = k->getTag();
    const float byDefault = synth->defaultValue(tag);
    synth->setParameter(tag, 0.9f);
    ASSERT_NE(byDefault, 0.9f);
    EditorHost::calls.clear();

    click(k);
    EditorClock::now += 250;
    click(k);
    EXPECT_FLOAT_EQ(synth->getParameter(tag), 0.9f) << "250 ms apart: two ordinary presses";
    EXPECT_EQ(EditorHost::count(audioMasterBeginEdit, tag), 2);
    EXPECT_EQ(EditorHost::count(audioMasterEndEdit, tag), 2);

    EditorClock::now += 249;
    hover(CPoint(5, 5));
    frame()->mouseDown(centre(k), kLButton);
    EXPECT_FLOAT_EQ(synth->getParameter(tag), byDefault);
    EditorClock::now += 1;
    frame()->mouseMoved(CPoint(centre(k).x, centre(k).y - 60), kLButton); // no drag follows
    frame()->mouseUp(CPoint(centre(k).x, centre(k).y - 60), kLButton);
    EXPECT_FLOAT_EQ(synth->getParameter(tag), byDefault);
    EXPECT_EQ(EditorHost::count(audioMasterBeginEdit, tag), 2) << "a reset is no gesture";
    ASSERT_FALSE(EditorHost::automated(tag).empty());
    EXPECT_FLOAT_EQ(EditorHost::automated(tag).back(), byDefault);
    EXPECT_EQ(EditorHost::automated(tag).size(), 1u);

    // A third press 249 ms after the reset resets again, and shows itself in
    // the readout.
    synth->setParameter(tag, 0.7f);
    EditorClock::now += 248;
    hover(centre(k));
    editor->updateReadout(nullptr);
    frame()->mouseDown(centre(k), kLButton);
    EXPECT_EQ(text(editor->getReadoutParameter()), "FilterResonance");
    frame()->mouseUp(centre(k), kLButton);
    EXPECT_FLOAT_EQ(synth->getParameter(tag), byDefault);

    // The next idle pass after the audio block shows the default.
    render(64);
    idle();
    EXPECT_FLOAT_EQ(k->getValue(), byDefault);
}

TEST_F(EditorFixture, TheFirstPressIsNoResetEvenRightAfterOpening)
{
    open();
    const int tag = index("FilterResonance");
    synth->setParameter(tag, 0.9f);
    click(knob("FilterResonance"));
    EXPECT_FLOAT_EQ(synth->getParameter(tag), 0.9f);
    // Reopening builds a new knob with no memory of the old one's presses.
    dispatch(effEditClose);
    open();
    EditorClock::now += 10;
    click(knob("FilterResonance"));
    EXPECT_FLOAT_EQ(synth->getParameter(tag), 0.9f);
}

TEST_F(EditorFixture, AResetWhileArmedRecordsAPointButStartsNoGesture)
{
    open();
    ParameterKnob* k = knob("ChorusRate");
    const int tag = k->getTag();
    click(k);
    EXPECT_FALSE(synth->isBendArmed());
    synth->armBend();
    EditorClock::now += 100;
    click(k);
    EXPECT_TRUE(synth->isBendArmed()) << "no gesture ended";
    EXPECT_EQ(synth->bendPoints(tag).size(), 1u);
    EXPECT_EQ(peak(render(2048)), 0.0f) << "no audition note";
}

TEST_F(EditorFixture, KnobsShowTheBendStripWhileTheirParameterHoldsABend)
{
    open();
    ParameterKnob* k = knob("Osc1Fine");
    const int tag = k->getTag();
    idle();
    EXPECT_FALSE(k->showsBendLook());
    CBitmap* plain = k->getBackground();

    synth->armBend();
    synth->setParameterAutomated(tag, 0.6f);
    synth->disarmBend();
    render(64);
    idle();
    EXPECT_TRUE(k->showsBendLook());
    EXPECT_NE(k->getBackground(), plain);
    EXPECT_EQ(k->getNumSubPixmaps(), 31) << "both strips share one geometry";

    // Grabbing the knob again clears its bend.
    drag(k, 10);
    idle();
    EXPECT_FALSE(k->showsBendLook());
    EXPECT_EQ(k->getBackground(), plain);
}
