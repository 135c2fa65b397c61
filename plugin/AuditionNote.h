#pragma once
// The note a bend gesture plays while it records: what its note-on started,
// so that its note-off ends exactly that. Its number is the key most
// recently played, often one the player is still holding; the audition must
// neither cut that key's voice nor take the key out of the held-note set.
//
// Threads: the editor's thread only announces a note-on it has queued for
// the audio thread (queue()) and asks whether one is still on its way
// (pending()). Everything else belongs to the thread that plays notes (the
// audio thread), which plays queued gesture notes at the start of a block.

#include <atomic>

class AuditionNote {
public:
    // What the audition's note-off has to end: a voice (or -1) and whether
    // the note leaves the held-note set.
    struct Release {
        int note;
        int voice;
        bool eraseHeld;
    };

    // Editor thread: a gesture's note-on is queued for the audio thread.
    void queue() { queued_.fetch_add(1, std::memory_order_relaxed); }
    // Any thread: a queued note-on has not been played yet.
    bool pending() const { return queued_.load(std::memory_order_acquire) > 0; }

    // Audio thread, from here on.
    bool sounding() const { return sounding_; }

    // The queued note-on was played on `voice`; `addedHeld` is whether it
    // put the note into the held-note set (it was not held before).
    void started(int note, int voice, bool addedHeld)
    {
        note_ = note;
        voice_ = voice;
        ownsHeld_ = addedHeld;
        sounding_ = true;
        queued_.fetch_sub(1, std::memory_order_release);
    }

    // Another note-on took `voice` for `note`: a stolen voice is no longer
    // the audition's, and a key pressed on the audition's number holds it.
    void noteStarted(int note, int voice)
    {
        if (!sounding_)
            return;
        if (voice == voice_)
            voice_ = -1;
        if (note == note_)
            ownsHeld_ = false;
    }

    // A note-off from the host released every voice of `note`, the
    // audition's among them, and took the note out of the held set.
    void noteReleased(int note)
    {
        if (sounding_ && note == note_) {
            voice_ = -1;
            ownsHeld_ = false;
        }
    }

    // The audition ends: what is left to release (nothing when none sounds).
    Release stop()
    {
        const Release release = sounding_ ? Release{note_, voice_, ownsHeld_} : Release{0, -1, false};
        sounding_ = false;
        voice_ = -1;
        ownsHeld_ = false;
        return release;
    }

private:
    std::atomic<int> queued_{0};
    bool sounding_ = false;
    int note_ = 0;
    int voice_ = -1;
    bool ownsHeld_ = false;
};
