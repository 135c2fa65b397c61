#include "SynthFixture.h"

#include "dsp/Voice.h"

#include <string>

namespace {

// Listens on one voice and writes down what reaches it.
class Recorder : public Vorn::MIDIListener {
public:
    void controlChange(int, int) override {}
    void noteOff(int note) override { log += "off" + std::to_string(note) + " "; }
    void noteOn(int note, int) override { log += "on" + std::to_string(note) + " "; }
    std::string log;
};

} // namespace

using Allocation = SynthFixture;

TEST_F(Allocation, SixNotesFillTheVoicesAndTheSeventhStealsTheOldest)
{
    Recorder recorder;
    synth->voice(0).addListener(&recorder);
    for (int i = 0; i < 6; ++i) {
        synth->noteOn(60 + i, 100);
        render(32);
    }
    for (int v = 0; v < 6; ++v) {
        EXPECT_FALSE(synth->voiceIdle(v));
        EXPECT_EQ(synth->voice(v).note, 60 + v);
    }
    synth->noteOn(80, 100);
    EXPECT_EQ(synth->voice(0).note, 80);
    EXPECT_EQ(synth->voice(0).age, 0);
    EXPECT_EQ(recorder.log, "on60 off80 on80 ");
    synth->voice(0).listeners.pop_back();
}

TEST_F(Allocation, AnIdleVoiceIsTakenWhateverTheAges)
{
    synth->setParameter(index("AmpEnvRelease"), 0.0f);
    for (int i = 0; i < 6; ++i) {
        synth->noteOn(60 + i, 100);
        render(64);
    }
    synth->noteOff(62);
    render(4096);
    ASSERT_TRUE(synth->voiceIdle(2));
    synth->noteOn(90, 100);
    EXPECT_EQ(synth->voice(2).note, 90);
    EXPECT_EQ(synth->voice(0).note, 60);
}

TEST_F(Allocation, EqualAgesStealTheLowerIndex)
{
    for (int i = 0; i < 6; ++i)
        synth->noteOn(60 + i, 100);
    render(256);
    synth->noteOn(70, 100);
    EXPECT_EQ(synth->voice(0).note, 70);
    render(16);
    // Voice 0 is now the youngest; voices 1..5 tie and voice 1 goes next.
    synth->noteOn(71, 100);
    EXPECT_EQ(synth->voice(1).note, 71);
}

TEST_F(Allocation, OneNoteOffReleasesEveryVoiceWithThatNote)
{
    synth->setParameter(index("AmpEnvRelease"), 0.0f);
    synth->noteOn(60, 100);
    synth->noteOn(60, 100);
    render(64);
    EXPECT_FALSE(synth->voiceIdle(0));
    EXPECT_FALSE(synth->voiceIdle(1));
    EXPECT_TRUE(synth->heldNotes().contains(60));
    synth->noteOff(60);
    EXPECT_FALSE(synth->heldNotes().contains(60));
    render(4096);
    EXPECT_TRUE(synth->voiceIdle(0));
    EXPECT_TRUE(synth->voiceIdle(1));
}

TEST_F(Allocation, NoteOffForAStolenNoteReleasesNothing)
{
    for (int i = 0; i < 6; ++i) {
        synth->noteOn(60 + i, 100);
        render(16);
    }
    synth->noteOn(80, 100); // steals voice 0 from note 60
    synth->noteOff(60);
    render(4096);
    for (int v = 0; v < 6; ++v)
        EXPECT_FALSE(synth->voiceIdle(v)) << v;
    EXPECT_EQ(synth->heldNotes().size(), 6); // 61..65 and 80
}

TEST_F(Allocation, AllNotesOffEmptiesTheHeldSetSoTheNextNoteRestartsTheBendClock)
{
    synth->noteOn(60, 100);
    synth->noteOn(64, 100);
    render(4096);
    ASSERT_GT(synth->bendClock(), 0.0f);
    synth->allNotesOff();
    EXPECT_TRUE(synth->heldNotes().empty());
    // Still ringing out, so the clock runs on until the next note starts it again.
    render(16);
    ASSERT_GT(synth->bendClock(), 0.0f);
    synth->noteOn(67, 100);
    EXPECT_EQ(synth->bendClock(), 0.0f);
    synth->allNotesOff();
    synth->setParameter(index("AmpEnvRelease"), 0.0f);
    render(4096);
    EXPECT_EQ(synth->activeVoiceCount(), 0);
}

TEST_F(Allocation, ControllersTenToSixtyFiveWriteParameters)
{
    synth->controlChange(10, 127);
    EXPECT_EQ(synth->getParameter(0), 1.0f);
    synth->controlChange(65, 0);
    EXPECT_EQ(synth->getParameter(55), 0.0f);
    synth->controlChange(66, 64);
    synth->controlChange(9, 64);
    EXPECT_EQ(synth->getParameter(54), 0.2f);
}

TEST_F(Allocation, GraphShapeAndSharedParameters)
{
    EXPECT_EQ(synth->parameterCount(), 56);
    EXPECT_EQ(synth->voiceParameterCount(), 41);
    EXPECT_EQ(synth->parameter(0).name, "AmpEnvAttack");
    EXPECT_EQ(synth->parameter(40).name, "ModMRingMod");
    EXPECT_EQ(synth->parameter(41).name, "DigiCrush");
    for (int v = 0; v < 6; ++v) {
        EXPECT_EQ(synth->voice(v).modules.size(), 12u);
        EXPECT_EQ(synth->voice(v).listeners.size(), 7u);
        EXPECT_EQ(synth->voice(v).modules.back()->name, "Amplifier");
    }
}
