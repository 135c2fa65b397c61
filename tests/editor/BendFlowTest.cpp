// The editor and the plug-in together: recording a bend from the bend
// button and a knob, toggles, host automation, Dice and Init. Audio is
// rendered in the test between the editor's calls, as a host's audio thread
// would render between its idle calls.

#include "EditorFixture.h"

#include "gui/CKickButton.h"
#include "gui/CMovieButton.h"
#include "gui/COffscreenContext.h"

#include <set>

TEST_F(EditorFixture, ARecordedKnobMotionAuditionsDisarmsAndPlaysBack)
{
    open();
    idle();
    PulseButton* bend = editor->getBendButton();
    CBitmap* rest = bend->getBackground();
    click(bend);
    EXPECT_TRUE(synth->isBendArmed());
    EXPECT_EQ(bend->getValue(), 1.0f);
    EXPECT_TRUE(bend->isAnimating());
    EXPECT_NE(bend->getBackground(), rest);
    idle();
    EXPECT_TRUE(synth->isBendArmed()) << "the idle pass agrees with the button";

    ParameterKnob* k = knob("FilterCutoff");
    const int tag = k->getTag();
    const CPoint at = centre(k);
    frame()->mouseDown(at, kLButton);
    EXPECT_EQ(synth->activeVoiceCount(), 0) << "the note waits for the audio thread";
    EXPECT_GT(peak(render(1024)), 0.0f) << "the audition note sounds";
    EXPECT_EQ(synth->auditionNote(), 60);
    for (int step = 1; step <= 4; ++step) {
        frame()->mouseMoved(CPoint(at.x, at.y + 15 * step), kLButton); // down: cutoff falls
        render(2048);
        idle();
    }
    frame()->mouseUp(CPoint(at.x, at.y + 60), kLButton);
    EXPECT_FALSE(synth->isBendArmed()) << "one gesture records one bend";

    const std::vector<BendPoint> points = synth->bendPoints(tag);
    ASSERT_EQ(points.size(), 4u);
    for (std::size_t i = 1; i < points.size(); ++i) {
        EXPECT_GT(points[i].time, points[i - 1].time);
        EXPECT_LT(points[i].value, points[i - 1].value);
    }

    idle();
    EXPECT_EQ(bend->getValue(), 0.0f) << "the next idle pass shows the button at rest";
    EXPECT_FALSE(bend->isAnimating());
    EXPECT_EQ(bend->getBackground(), rest);
    EXPECT_TRUE(k->showsBendLook());

    // Let the audition note die away, then play a note: the live value runs
    // through the recorded points and the knob follows it.
    render(44100 * 4);
    ASSERT_EQ(synth->activeVoiceCount(), 0);
    synth->noteOn(64, 100);
    std::set<float> seen;
    for (int block = 0; block < 80; ++block) {
        render(256);
        idle();
        EXPECT_FLOAT_EQ(k->getValue(), synth->liveValue(tag));
        seen.insert(synth->liveValue(tag));
    }
    int recordedSeen = 0;
    for (const BendPoint& p : points)
        recordedSeen += seen.count(p.value) ? 1 : 0;
    EXPECT_GE(recordedSeen, 2) << "the knob moved through the recorded motion";
    EXPECT_TRUE(k->showsBendLook());
}

TEST_F(EditorFixture, TheBendButtonTogglesArmingOnEachClick)
{
    open();
    click(editor->getBendButton());
    EXPECT_TRUE(synth->isBendArmed());
    click(editor->getBendButton());
    EXPECT_FALSE(synth->isBendArmed());
    EXPECT_FALSE(editor->getBendButton()->isAnimating());
    EXPECT_EQ(EditorHost::count(audioMasterBeginEdit), 0) << "the bend button stands for no parameter";
    EXPECT_EQ(EditorHost::count(audioMasterAutomate), 0);

    // Arming from elsewhere shows at the next idle pass.
    synth->armBend();
    idle();
    EXPECT_EQ(editor->getBendButton()->getValue(), 1.0f);
    EXPECT_TRUE(editor->getBendButton()->isAnimating());
}

TEST_F(EditorFixture, TogglesShowOnFromHalfWayAndClicksSendTheOtherState)
{
    const int sync1 = index("LFO1Sync");
    const int sync2 = index("LFO2Sync");
    const int reset1 = index("LFO1Reset");
    synth->setParameter(sync1, 0.3f);
    synth->setParameter(sync2, 0.7f);
    render(64);
    open();
    idle();
    CMovieButton* one = editor->getLfo1SyncButton();
    CMovieButton* two = editor->getLfo2SyncButton();
    EXPECT_NE(one->getValue(), 1.0f) << "0.3 shows off";
    EXPECT_EQ(two->getValue(), 1.0f) << "0.7 shows on";

    EditorHost::calls.clear();
    click(one);
    ASSERT_EQ(EditorHost::automated(sync1).size(), 1u);
    EXPECT_EQ(EditorHost::automated(sync1).back(), 1.0f);
    EXPECT_EQ(synth->getParameter(sync1), 1.0f);
    EXPECT_EQ(EditorHost::count(audioMasterBeginEdit, sync1), 1);
    EXPECT_EQ(EditorHost::count(audioMasterEndEdit, sync1), 1);
    render(64);
    idle();
    click(one);
    EXPECT_EQ(EditorHost::automated(sync1).back(), 0.0f);
    EXPECT_EQ(synth->getParameter(sync1), 0.0f);

    // The reset toggles follow the host like the sync toggles, and show on
    // wherever the LFO counts them as on.
    for (float value : {0.7f, 0.49f, 0.5f, 1.0f, 0.0f}) {
        synth->setParameter(reset1, value);
        render(64);
        idle();
        EXPECT_EQ(editor->getLfo1ResetButton()->getValue(), value >= 0.5f ? 1.0f : 0.0f) << value;
    }
    synth->setParameter(reset1, 0.7f);
    dispatch(effEditClose);
    open();
    EXPECT_EQ(editor->getLfo1ResetButton()->getValue(), 1.0f);
    click(editor->getLfo1ResetButton());
    EXPECT_EQ(synth->getParameter(reset1), 0.0f) << "one click turns an on toggle off";
}

TEST_F(EditorFixture, HostAutomationMovesAKnobAtTheIdlePassAfterTheAudioThreadTookIt)
{
    open();
    render(16); // audio runs
    idle();
    ParameterKnob* k = knob("ChorusWet");
    const float before = k->getValue();
    synth->setParameter(k->getTag(), 0.93f);
    idle();
    EXPECT_EQ(k->getValue(), before) << "not live yet";
    render(16);
    EXPECT_EQ(k->getValue(), before) << "the audio thread never touches the knob";
    idle();
    EXPECT_FLOAT_EQ(k->getValue(), 0.93f);

    // A host value outside 0..1 shows clamped.
    synth->setParameter(k->getTag(), 1.5f);
    render(16);
    idle();
    EXPECT_EQ(k->getValue(), 1.0f);
}

TEST_F(EditorFixture, OnceAudioStopsEditsStayPutAndShowTheStoredValues)
{
    open();
    ParameterKnob* k = knob("FilterResonance");
    const int tag = k->getTag();
    CMovieButton* sync = editor->getDelaySyncButton();
    render(64);
    idle();
    // The host switches the plug-in off: no more blocks.
    EditorClock::now += SynthEditor::kAudioStoppedMs;
    drag(k, 40);
    click(sync);
    synth->setParameter(index("LFO2Reset"), 0.7f); // the host, meanwhile
    for (int pass = 0; pass < 10; ++pass) {
        EditorClock::now += 33;
        idle();
        EXPECT_FLOAT_EQ(k->getValue(), synth->getParameter(tag)) << pass;
        EXPECT_EQ(sync->getValue(), 1.0f) << pass;
        EXPECT_EQ(editor->getLfo2ResetButton()->getValue(), 1.0f) << pass;
    }
    EXPECT_FLOAT_EQ(synth->getParameter(tag), 0.3f);
    EXPECT_NE(synth->liveValue(tag), 0.3f) << "the live value stood still";

    // Audio again: the controls follow the live values, which a bend moves
    // away from the stored one while a note sounds. Long host blocks do not
    // make them flicker back to the stored values between blocks.
    synth->armBend();
    synth->setParameter(tag, 0.6f);
    synth->setParameter(tag, 0.8f);
    synth->disarmBend();
    synth->noteOn(60, 100);
    render(4096);
    for (int pass = 0; pass < 6; ++pass) {
        EditorClock::now += 33;
        idle();
        EXPECT_FLOAT_EQ(k->getValue(), 0.6f) << pass;
    }
    EXPECT_FLOAT_EQ(synth->getParameter(tag), 0.8f);
}

TEST_F(EditorFixture, DiceAndInitChangeTheKnobs)
{
    open();
    idle();
    std::vector<float> before;
    for (ParameterKnob* k : editor->getKnobs())
        before.push_back(k ? k->getValue() : 0.0f);

    click(editor->getDiceButton());
    render(64);
    idle();
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        if (ParameterKnob* k = editor->getKnobs()[i]) {
            changed += k->getValue() != before[i];
            EXPECT_FLOAT_EQ(k->getValue(), synth->getParameter(static_cast<int>(i)));
        }
    EXPECT_GE(changed, 30) << "Dice reaches the voice parameters";
    EXPECT_EQ(knob("AmplifierGain")->getValue(), before[static_cast<std::size_t>(index("AmplifierGain"))]);
    EXPECT_EQ(knob("DelayTime")->getValue(), before[static_cast<std::size_t>(index("DelayTime"))])
        << "the effects keep their settings";

    click(editor->getInitButton());
    render(64);
    idle();
    for (ParameterKnob* k : editor->getKnobs()) {
        if (k) {
            EXPECT_FLOAT_EQ(k->getValue(), synth->defaultValue(k->getTag()));
        }
    }
    EXPECT_EQ(EditorHost::count(audioMasterBeginEdit), 0) << "the buttons stand for no parameter";
}

TEST_F(EditorFixture, DiceWhileArmedPlaysNoNoteAndRecordsOnePointBends)
{
    open();
    idle();
    click(editor->getBendButton());
    click(editor->getDiceButton());
    EXPECT_TRUE(synth->isBendArmed()) << "recording stays armed";
    EXPECT_EQ(peak(render(4096)), 0.0f) << "no audition note";
    idle();
    int bent = 0;
    for (int i = 0; i < synth->voiceParameterCount(); ++i) {
        const std::size_t n = synth->bendPoints(i).size();
        EXPECT_LE(n, 1u);
        bent += n == 1;
    }
    EXPECT_EQ(bent, synth->voiceParameterCount() - 2) << "all but gain and drive";
    EXPECT_TRUE(knob("FilterCutoff")->showsBendLook());
    EXPECT_EQ(editor->getBendButton()->getValue(), 1.0f);
}

TEST_F(EditorFixture, ClosingInTheMiddleOfADragEndsTheGesture)
{
    open();
    idle();
    click(editor->getBendButton());
    ParameterKnob* k = knob("Osc2Fine");
    const int tag = k->getTag();
    frame()->mouseDown(centre(k), kLButton);
    frame()->mouseMoved(CPoint(centre(k).x, centre(k).y - 20), kLButton);
    render(512);
    ASSERT_FALSE(synth->heldNotes().empty()) << "the audition note is held";
    dispatch(effEditClose);
    EXPECT_EQ(EditorHost::count(audioMasterBeginEdit, tag), 1);
    EXPECT_EQ(EditorHost::count(audioMasterEndEdit, tag), 1);
    EXPECT_FALSE(synth->isBendArmed());
    render(512);
    EXPECT_TRUE(synth->heldNotes().empty()) << "no note is left hanging";
}

TEST_F(EditorFixture, AnIdlePassWithNothingChangingRedrawsNothing)
{
    open();
    idle();
    frame()->renderOffscreen(); // paints everything once, clearing the marks
    for (int i = 0; i < 3; ++i)
        idle();
    for (int i = 0; i < frame()->getNbViews(); ++i)
        EXPECT_FALSE(frame()->getView(i)->isDirty()) << "view " << i;

    // A change of one live value marks only that knob.
    synth->setParameter(index("ChorusRate"), 0.9f);
    render(16);
    idle();
    int dirty = 0;
    for (int i = 0; i < frame()->getNbViews(); ++i)
        dirty += frame()->getView(i)->isDirty();
    EXPECT_EQ(dirty, 1);
    EXPECT_TRUE(knob("ChorusRate")->isDirty());
}
