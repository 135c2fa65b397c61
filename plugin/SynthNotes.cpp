// Voice allocation: the first idle voice, else the oldest one (lowest index
// on equal ages), which is released before it starts the new note.

#include "plugin/Synth.h"

#include "dsp/ADSREnvelope.h"

void Synth::noteOn(int note, int velocity)
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
            return;
        }
        if (voices_[static_cast<std::size_t>(v)]->age > voices_[static_cast<std::size_t>(candidate)]->age)
            candidate = v;
    }
    Vorn::Voice& stolen = *voices_[static_cast<std::size_t>(candidate)];
    stolen.noteOff(note);
    stolen.noteOn(note, velocity);
}

void Synth::noteOff(int note)
{
    for (int v = 0; v < kVoiceCount; ++v) {
        Vorn::Voice& voice = *voices_[static_cast<std::size_t>(v)];
        if (!voiceIdle(v) && voice.note == note)
            voice.noteOff(note);
    }
    heldNotes_.erase(note);
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
