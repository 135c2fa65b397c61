// The audition note of a bend gesture among the keys a player holds, and the
// times of the points recorded while that note is on its way to the audio
// thread.

#include "SynthFixture.h"

#include <functional>
#include <set>

namespace {

std::set<int> heldSet(const Synth& synth)
{
    std::set<int> notes;
    for (int n = 0; n < 128; ++n)
        if (synth.heldNotes().contains(n))
            notes.insert(n);
    return notes;
}

std::multiset<int> soundingNotes(Synth& synth)
{
    std::multiset<int> notes;
    for (int v = 0; v < Synth::kVoiceCount; ++v)
        if (!synth.voiceIdle(v))
            notes.insert(synth.voice(v).note);
    return notes;
}

// Runs once inside the next processReplacing, after the queued gesture notes
// were played and before anything renders: an editor acting while the audio
// thread is in the middle of a block.
std::function<void()> duringNextBlock;

VstIntPtr VST_CALLBACK midBlockHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterGetTime && duringNextBlock) {
        std::function<void()> action = std::move(duringNextBlock);
        duringNextBlock = nullptr;
        action();
    }
    return opcode == audioMasterVersion ? 2400 : 0;
}

} // namespace

using Audition = SynthFixture;

// Key presses (positive) and releases (negative note numbers), before the
// gesture and while it lasts; the audition note is the last key pressed.
TEST_F(Audition, ReleasesOnlyWhatItStartedWhateverKeysThePlayerHolds)
{
    const struct {
        const char* name;
        std::vector<int> before;
        std::vector<int> during;
    } cases[] = {
        {"no key held", {67, -67}, {}},
        {"the same key held", {64}, {}},
        {"another key held", {60, 64, -64}, {}},
        {"both held", {60, 64}, {}},
        {"the same key pressed during the gesture", {64, -64}, {64}},
        {"the same key released during the gesture", {64}, {-64}},
        {"another key pressed and released during the gesture", {64, -64}, {50, 71, -50}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        synth = std::make_unique<Synth>(fixtureHost);
        const int cutoff = index("FilterCutoff");
        std::set<int> keys;
        auto play = [&](const std::vector<int>& actions) {
            for (int a : actions) {
                if (a > 0) {
                    synth->noteOn(a, 100);
                    keys.insert(a);
                } else {
                    synth->noteOff(-a);
                    keys.erase(-a);
                }
            }
        };
        play(c.before);
        render(4096); // released keys fall silent
        ASSERT_EQ(soundingNotes(*synth).size(), keys.size());

        synth->armBend();
        synth->beginParameterGesture(cutoff);
        render(512);
        EXPECT_EQ(soundingNotes(*synth).size(), keys.size() + 1) << "the audition sounds";
        EXPECT_TRUE(synth->heldNotes().contains(synth->auditionNote()));
        synth->setParameter(cutoff, 0.3f);
        play(c.during);
        render(512);
        synth->endParameterGesture(cutoff);
        render(8192);

        EXPECT_EQ(heldSet(*synth), keys);
        EXPECT_EQ(soundingNotes(*synth), std::multiset<int>(keys.begin(), keys.end()));
        EXPECT_FALSE(synth->isBendArmed());
        EXPECT_EQ(synth->bendPoints(cutoff).size(), 1u);
    }
}

TEST_F(Audition, PointTimesNeverGoBackwardsWhenTheNoteLandsABlockLate)
{
    duringNextBlock = nullptr;
    synth = std::make_unique<Synth>(midBlockHost);
    const int cutoff = index("FilterCutoff");
    const float subBlock = 16.0f / 44100.0f;

    // A released note still rings, so the clock runs on. The gesture begins
    // while the audio thread is inside a block: its note starts (and the
    // clock restarts) only at the next one.
    synth->setParameter(index("AmpEnvRelease"), 0.8f);
    synth->noteOn(60, 100);
    render(4096);
    synth->noteOff(60);
    render(4096);
    ASSERT_GT(synth->activeVoiceCount(), 0);
    ASSERT_GT(synth->bendClock(), 0.1f);
    synth->armBend();
    duringNextBlock = [&] {
        synth->beginParameterGesture(cutoff);
        synth->setParameter(cutoff, 0.9f);
    };
    render(512);
    synth->setParameter(cutoff, 0.8f);
    render(16, 16); // the audition note starts here
    synth->setParameter(cutoff, 0.7f);
    render(512);
    synth->setParameter(cutoff, 0.6f);
    synth->endParameterGesture(cutoff);
    std::vector<BendPoint> points = synth->bendPoints(cutoff);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0].time, 0.0f) << "before the note started";
    EXPECT_EQ(points[1].time, 0.0f);
    EXPECT_EQ(points[2].time, subBlock) << "counted from the note's start";
    EXPECT_GT(points[3].time, points[2].time);

    // A key held when the gesture begins is let go before the note lands:
    // the note then restarts the clock, but no point is stamped earlier
    // than one already recorded.
    render(44100);
    synth->noteOn(62, 100);
    render(4096);
    synth->armBend();
    synth->beginParameterGesture(cutoff);
    synth->setParameter(cutoff, 0.5f);
    synth->noteOff(62);
    render(512);
    synth->setParameter(cutoff, 0.4f);
    render(512);
    synth->setParameter(cutoff, 0.3f);
    render(8192);
    synth->setParameter(cutoff, 0.2f);
    synth->endParameterGesture(cutoff);
    points = synth->bendPoints(cutoff);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_GT(points[0].time, 0.09f) << "the held key's clock";
    for (std::size_t i = 1; i < points.size(); ++i)
        EXPECT_GE(points[i].time, points[i - 1].time) << i;
    EXPECT_GT(points[3].time, points[0].time);
}
