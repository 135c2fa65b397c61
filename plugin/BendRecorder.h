#pragma once
// Records a knob motion (a bend) into the current program while recording
// is armed, and replays the recorded motions whenever notes sound. Both run
// against the bend clock: seconds of rendering since a note started while
// no other was held, or since the instrument fell silent.
//
// A gesture that records plays an audition note: the note most recently
// started while recording was not armed (60 at first), at velocity 60. The
// editor's thread queues its note-on and note-off; the audio thread plays
// them at the start of its next block, like notes from the host.
//
// Threads
// - Atomic, any thread: arm(), disarm(), armed(), auditionNote(), clock(),
//   heldNotes() (read whole; written only by the audio thread).
// - The writers (the host's threads, the editor's thread): record(),
//   beginGesture(), endGesture(). Each takes the store's writers' lock, so
//   bends are appended and cleared by one thread at a time; the gesture
//   queue's one producer is whoever holds that lock.
// - The audio thread: everything below "Audio thread". It takes no lock,
//   allocates nothing and never waits. It owns the cursors of the current
//   program, the clock's writes, the held-note set and the audition's
//   bookkeeping. record() may also be called there (a host automating on
//   its audio thread while armed): it then only tries the lock and drops
//   the point if a writer holds it.
// - A recorded point is never stamped before the one recorded last, and a
//   point recorded while the gesture's note-on is still queued, with no key
//   held, is stamped 0: that note-on will restart the clock.

#include "plugin/AuditionNote.h"
#include "plugin/NoteQueue.h"
#include "plugin/NoteSet.h"
#include "plugin/ProgramStore.h"

#include <atomic>
#include <cstdint>
#include <thread>

class BendRecorder {
public:
    static constexpr int kAuditionVelocity = 60;

    explicit BendRecorder(ProgramStore& store) : store_(store) {}
    BendRecorder(const BendRecorder&) = delete;
    BendRecorder& operator=(const BendRecorder&) = delete;

    // ---- Any thread ----
    void arm() { armed_.store(true); }
    void disarm() { armed_.store(false); }
    bool armed() const { return armed_.load(); }
    int auditionNote() const { return auditionNote_.load(); }
    float clock() const { return clock_.load(std::memory_order_relaxed); }
    const NoteSet& heldNotes() const { return heldNotes_; }

    // ---- Writers ----
    // A parameter write while armed: appends {clock, value} to the current
    // program's bend of a valid parameter index.
    void record(int index, float value);
    // A knob was grabbed: empties its bend (armed or not) and, when armed,
    // queues the audition note's start.
    void beginGesture(int index);
    // A knob was released: when armed, queues the audition note's end and
    // disarms. One gesture records one bend.
    void endGesture();

    // ---- Audio thread ----
    // Called at the start of every entry from the host on the audio thread,
    // so that record() knows where it runs.
    void enterAudioThread() { audioThread_.store(std::this_thread::get_id(), std::memory_order_relaxed); }

    // Plays the queued gesture notes. `startNote(note, velocity)` starts a
    // note as noteOn would (calling noteStarting() first) and returns the
    // voice that took it; `releaseVoice(voice, note)` releases that voice.
    template <typename StartNote, typename ReleaseVoice>
    void playGestureNotes(StartNote&& startNote, ReleaseVoice&& releaseVoice)
    {
        gestureNotes_.drain([&](NoteQueue::Command command) {
            if (command.velocity != 0) {
                // A start without a stop in between would leave the first
                // note hanging.
                if (audition_.sounding())
                    stopAudition(releaseVoice);
                const bool held = heldNotes_.contains(command.note);
                audition_.started(command.note, startNote(command.note, command.velocity), !held);
            } else {
                stopAudition(releaseVoice);
            }
        });
    }

    // Note bookkeeping around the voices' own: before a note-on takes a
    // voice, after it has (with that voice), and after a note-off or
    // all-notes-off has released the voices.
    void noteStarting(int note);
    void noteStarted(int note, int voice) { audition_.noteStarted(note, voice); }
    void noteReleased(int note);
    void allNotesReleased() { heldNotes_.clear(); }

    // Once per sub-block before the voices render: every live value takes
    // the current program's stored value, or while voices sound (`active`
    // > 0) and the parameter has a bend, follows its bend by at most one
    // point. Then the clock moves on by `dt` seconds. With no voice active
    // the cursors go back to 0.
    void refreshLiveValues(float* const* live, int count, int active, float dt);
    // After the sub-block rendered: one that began silent puts the clock
    // back to 0.
    void subBlockRendered(int active)
    {
        if (active == 0)
            clock_.store(0.0f, std::memory_order_relaxed);
    }

private:
    template <typename ReleaseVoice>
    void stopAudition(ReleaseVoice& releaseVoice)
    {
        // Its end releases only the voice it started, and takes its number
        // out of the held-note set only if it put it there: a key held on
        // the same number keeps sounding.
        const AuditionNote::Release release = audition_.stop();
        if (release.voice >= 0)
            releaseVoice(release.voice, release.note);
        if (release.eraseHeld)
            heldNotes_.erase(release.note);
    }
    void restart();

    ProgramStore& store_;
    NoteSet heldNotes_;
    NoteQueue gestureNotes_;
    AuditionNote audition_;
    std::atomic<uint8_t> auditionNote_{60};
    std::atomic<bool> armed_{false};
    std::atomic<float> clock_{0.0f};
    std::atomic<std::thread::id> audioThread_{};
};
