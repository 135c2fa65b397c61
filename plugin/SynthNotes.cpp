// Voice allocation: the first idle voice, else the oldest one (lowest index
// on equal ages), which is released before it starts the new note.

#include "plugin/Synth.h"

#include "dsp/ADSREnvelope.h"

void Synth::noteOn(int note, int velocity)
{
    recorder_->noteStarted(note, startNote(note, velocity));
}

int Synth::startNote(int note, int velocity)
{
    recorder_->noteStarting(note);

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
    recorder_->noteReleased(note);
}

// Hosts send all-notes-off in place of the note-offs they will never send
// (transport stop, panic). The held set is emptied with the voices: a note
// left in it would stand for a key nobody holds, and every later note would
// count as played over it, so recorded bends would never start again from
// their beginning.
void Synth::allNotesOff()
{
    for (int v = 0; v < kVoiceCount; ++v) {
        Vorn::Voice& voice = *voices_[static_cast<std::size_t>(v)];
        if (!voiceIdle(v))
            voice.noteOff(voice.note);
    }
    recorder_->allNotesReleased();
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
