// The bend recorder on its own, with six stand-in voices: a recorded motion
// replays as it was recorded, a gesture's audition note leaves nothing
// behind whatever the player does meanwhile, and the audio thread never
// waits for the store's lock.

#include "plugin/BendRecorder.h"
#include "Parameters.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <random>
#include <set>
#include <thread>

namespace {

// Six voices allocated as the instrument does (the first idle one, else the
// oldest), with the recorder's bookkeeping around them. A released voice
// rings on for two sub-blocks.
class Voices {
public:
    explicit Voices(BendRecorder& recorder) : recorder_(recorder) {}

    void noteOn(int note) { recorder_.noteStarted(note, start(note)); }
    void noteOff(int note)
    {
        for (Voice& voice : voices_)
            if (voice.sounding && voice.note == note)
                voice.release();
        recorder_.noteReleased(note);
    }
    void allNotesOff()
    {
        for (Voice& voice : voices_)
            voice.release();
        recorder_.allNotesReleased();
    }
    void playGestureNotes()
    {
        recorder_.playGestureNotes([this](int note, int) { return start(note); },
                                   [this](int voice, int) { voices_[voice].release(); });
    }
    // After a sub-block rendered.
    void rendered()
    {
        for (Voice& voice : voices_)
            if (voice.ringing > 0 && --voice.ringing == 0)
                voice.sounding = false;
    }
    int sounding() const
    {
        int count = 0;
        for (const Voice& voice : voices_)
            count += voice.sounding ? 1 : 0;
        return count;
    }

private:
    struct Voice {
        bool sounding = false;
        int note = 0;
        long started = 0;
        int ringing = 0;
        void release()
        {
            if (sounding && ringing == 0)
                ringing = 2;
        }
    };
    int start(int note)
    {
        recorder_.noteStarting(note);
        int chosen = 0;
        for (int v = 0; v < 6; ++v) {
            if (!voices_[v].sounding) {
                chosen = v;
                break;
            }
            if (voices_[v].started < voices_[chosen].started)
                chosen = v;
        }
        voices_[chosen] = {true, note, ++clock_, 0};
        return chosen;
    }
    BendRecorder& recorder_;
    Voice voices_[6];
    long clock_ = 0;
};

// The instrument's parameter write: a point while armed, then the value.
void write(ProgramStore& store, BendRecorder& recorder, int index, float value)
{
    if (recorder.armed())
        recorder.record(index, value);
    store.setValue(index, value);
}

} // namespace

// A gesture records one value per sub-block; a note struck later from
// silence replays them, each in the sub-block after the one it was recorded
// in, whatever the sub-block length and whether or not another note joins
// in meanwhile. Parameters without a bend follow their stored value.
TEST(BendRecorder, AMotionReplaysAsRecordedOneSubBlockLate)
{
    std::minstd_rand rng(7);
    for (int round = 0; round < 40; ++round) {
        Parameters names{"Cutoff", "Gain", "Position"};
        ProgramStore store(names);
        BendRecorder recorder(store);
        Voices voices(recorder);
        float liveValues[3] = {};
        float* live[3] = {&liveValues[0], &liveValues[1], &liveValues[2]};
        const int bent = static_cast<int>(rng() % 3);
        const float dt = static_cast<float>(1 + rng() % 16) / static_cast<float>(8000 + rng() % 90000);
        const int length = 1 + static_cast<int>(rng() % 300);
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << length << " points, dt " << dt);
        auto subBlock = [&] {
            const int active = voices.sounding();
            recorder.refreshLiveValues(live, 3, active, dt);
            recorder.subBlockRendered(active);
            voices.rendered();
        };

        std::vector<float> motion;
        recorder.arm();
        recorder.beginGesture(bent);
        voices.playGestureNotes();
        for (int k = 0; k < length; ++k) {
            motion.push_back(static_cast<float>(rng() % 1000) / 999.0f);
            write(store, recorder, bent, motion.back());
            subBlock();
        }
        recorder.endGesture();
        voices.playGestureNotes();
        subBlock();
        subBlock();
        ASSERT_EQ(voices.sounding(), 0);
        ASSERT_FALSE(recorder.armed());
        const float stored = store.value(bent);
        store.setValue((bent + 1) % 3, 0.25f);
        subBlock(); // silent: every live value is its stored one
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(liveValues[i], store.value(i)) << i;

        // Another note, released just before the one that replays: its voice
        // still rings, but no key is held, so the replay starts afresh.
        voices.noteOn(50);
        for (int j = static_cast<int>(rng() % 50); j > 0; --j)
            subBlock();
        voices.noteOff(50);
        const float before = liveValues[bent];
        voices.noteOn(64);
        const int joins = static_cast<int>(rng() % static_cast<unsigned>(length + 1));
        for (int j = 0; j <= length; ++j) {
            if (j == joins)
                voices.noteOn(67); // over a held note: the clock runs on
            subBlock();
            // The last point's value is never applied; before the first
            // point is left the live value is what it was.
            const int left = std::min(j, length - 1) - 1;
            ASSERT_EQ(liveValues[bent], left >= 0 ? motion[static_cast<std::size_t>(left)] : before) << j;
            ASSERT_EQ(liveValues[(bent + 1) % 3], 0.25f);
        }
        voices.allNotesOff();
        subBlock();
        subBlock();
        subBlock();
        EXPECT_EQ(liveValues[bent], stored);
        EXPECT_EQ(recorder.clock(), 0.0f);
        EXPECT_EQ(store.current().param(bent).cursor.load(), 0);
    }
}

// Keys pressed and released, all-notes-off, gestures armed or not, values
// written, blocks rendered, in random order. Points are never stamped
// before the one recorded last, and once the keys are up and the last
// gesture has ended, no voice sounds and no note is held.
TEST(BendRecorder, GesturesAmongKeysLeaveNothingBehind)
{
    for (unsigned seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE(seed);
        std::minstd_rand rng(seed);
        Parameters names{"Cutoff", "Gain"};
        ProgramStore store(names);
        BendRecorder recorder(store);
        Voices voices(recorder);
        float liveValues[2] = {};
        float* live[2] = {&liveValues[0], &liveValues[1]};
        std::set<int> keys;
        bool gesture = false;
        for (int step = 0; step < 300; ++step) {
            const int note = 60 + static_cast<int>(rng() % 4);
            switch (rng() % 9) {
            case 0:
                if (keys.insert(note).second)
                    voices.noteOn(note);
                break;
            case 1:
                if (keys.erase(note) > 0)
                    voices.noteOff(note);
                break;
            case 2:
                if (rng() % 8 == 0) {
                    keys.clear();
                    voices.allNotesOff();
                }
                break;
            case 3:
                if (!gesture) {
                    if (rng() % 2 == 0)
                        recorder.arm();
                    recorder.beginGesture(static_cast<int>(rng() % 2));
                    gesture = true;
                }
                break;
            case 4:
                if (gesture) {
                    recorder.endGesture();
                    gesture = false;
                }
                break;
            case 5:
            case 6:
                write(store, recorder, static_cast<int>(rng() % 2), static_cast<float>(rng() % 100) / 99.0f);
                break;
            default: {
                voices.playGestureNotes();
                const int active = voices.sounding();
                recorder.refreshLiveValues(live, 2, active, 0.01f);
                recorder.subBlockRendered(active);
                voices.rendered();
            }
            }
            for (int i = 0; i < 2; ++i) {
                const std::vector<BendPoint> points = store.bendPoints(i);
                for (std::size_t k = 1; k < points.size(); ++k)
                    ASSERT_LE(points[k - 1].time, points[k].time) << "step " << step << ", point " << k;
            }
        }
        for (int note : keys)
            voices.noteOff(note);
        if (gesture)
            recorder.endGesture();
        voices.playGestureNotes();
        voices.rendered();
        voices.rendered();
        EXPECT_EQ(voices.sounding(), 0);
        EXPECT_TRUE(recorder.heldNotes().empty());
    }
}

// A host that automates on its audio thread while recording is armed gives
// up the point rather than wait for a writer that holds the store; any
// other thread waits its turn and keeps it.
TEST(BendRecorder, TheAudioThreadNeverWaitsForTheLock)
{
    Parameters names{"Cutoff"};
    ProgramStore store(names);
    BendRecorder recorder(store);
    recorder.arm();
    auto recordOn = [&](bool audioThread) {
        return std::async(std::launch::async, [&recorder, audioThread] {
            if (audioThread)
                recorder.enterAudioThread();
            recorder.record(0, 0.5f);
        });
    };
    std::future<void> audio;
    {
        const ProgramStore::Lock writer = store.lock();
        audio = recordOn(true);
        EXPECT_EQ(audio.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "the audio thread waited";
    }
    audio.get();
    EXPECT_EQ(store.bendPoints(0).size(), 0u);

    recorder.enterAudioThread(); // this thread now: the next one is surely another
    std::future<void> host;
    {
        const ProgramStore::Lock writer = store.lock();
        host = recordOn(false);
    }
    host.get();
    EXPECT_EQ(store.bendPoints(0).size(), 1u);
}
