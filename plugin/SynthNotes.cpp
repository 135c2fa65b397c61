// Voice allocation: the first idle voice, else the oldest one (lowest index
// on equal ages), which is released before it starts the new note.

#include "plugin/Synth.h"

#include "dsp/ADSREnvelope.h"

void Synth::noteOn(int note, int velocity)
{
    audition_.noteStarted(note, startNote(note, velocity));
}

int Synth::startNote(int note, int velocity)
{
    if (!bendArmed_.load())
        auditionNote_.store(static_cast<uint8_t>(note));
    if (heldNotes_.empty()) {
        bendClock_.store(0.0f, std::memory_order_relaxed);
        resetCursors(*current_.load());
    }
    heldNotes_.insert(note);

    int candidate = 0;
    for (int v = 0; v < kVoiceCount; ++v) {
        if (voiceIdle(v)) {
            voices_[static_cast<std::size_t>(v)]->noteOn(note, velocity);
            return v;
        }
        if (voices_[static_cast<std::size_t>(v)]->age > voices_[static_cast<std::size_t>(candidate)]->age)
            candidate = v;
    }
    Vorn::Voice& stolen = *voices_[static_cast<std::size_t>(candidate)];
    stolen.noteOff(note);
    stolen.noteOn(note, velocity);
    return candidate;
}

void Synth::noteOff(int note)
{
    for (int v = 0; v < kVoiceCount; ++v) {
        Vorn::Voice& voice = *voices_[static_cast<std::size_t>(v)];
        if (!voiceIdle(v) && voice.note == note)
            voice.noteOff(note);
    }
    heldNotes_.erase(note);
    audition_.noteReleased(note);
}

// The audition note of a bend gesture, played from the editor's queue on the
// audio thread. It is started like any note, but its end releases only the
// voice it started, and takes its number out of the held-note set only if it
// put it there: a key held on the same number keeps sounding.
void Synth::startAudition(int note, int velocity)
{
    // A start without a stop in between would leave the first note hanging.
    if (audition_.sounding())
        stopAudition();
    const bool held = heldNotes_.contains(note);
    audition_.started(note, startNote(note, velocity), !held);
}

void Synth::stopAudition()
{
    const AuditionNote::Release release = audition_.stop();
    if (release.voice >= 0 && !voiceIdle(release.voice))
        voices_[static_cast<std::size_t>(release.voice)]->noteOff(release.note);
    if (release.eraseHeld)
        heldNotes_.erase(release.note);
}

void Synth::allNotesOff()
{
    for (int v = 0; v < kVoiceCount; ++v) {
        Vorn::Voice& voice = *voices_[static_cast<std::size_t>(v)];
        if (!voiceIdle(v))
            voice.noteOff(voice.note);
    }
}

void Synth::controlChange(int controller, int value)
{
    if (controller == 123) {
        allNotesOff();
        return;
    }
    const int index = controller - 10;
    if (index >= 0 && index < parameterCount())
        setParameter(index, static_cast<float>(value) / 127.0f);
}
