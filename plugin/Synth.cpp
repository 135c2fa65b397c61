#include "plugin/Synth.h"

#include "dsp/ADSREnvelope.h"
#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/Phaser.h"
#include "dsp/Redux.h"
#include "dsp/WaveTable.h"

#include <algorithm>
#include <cstring>

Synth::Synth(audioMasterCallback host, EditorFactory makeEditor)
    : AudioEffectX(host, kProgramCount, 0)
{
    buildGraph();
    cEffect.numParams = numParams = parameterCount();

    programs_.reserve(kProgramCount);
    for (int p = 0; p < kProgramCount; ++p) {
        auto program = std::make_unique<Program>(parameterCount());
        for (int i = 0; i < parameterCount(); ++i)
            program->params[i].value.store(parameter(i).value, std::memory_order_relaxed);
        programs_.push_back(std::move(program));
    }
    current_.store(programs_[0].get());

    if (host) {
        programsAreChunks();
        setNumInputs(0);
        setNumOutputs(2);
        canProcessReplacing();
        isSynth();
        setUniqueID(kUniqueId);
        curProgram = 0;
    }
    if (makeEditor)
        setEditor(makeEditor(this));
    resume();
}

Synth::~Synth()
{
    // The editor goes first: it may still refer to the store while closing.
    delete editor;
    editor = nullptr;
    // Voices (each deleting its modules), then the global chain, then the
    // shared table, then the store.
    voices_.clear();
    chorus_.reset();
    delay_.reset();
    phaser_.reset();
    digi_.reset();
    summer_.reset();
    waveTable_.reset();
    programs_.clear();
}

VstInt32 Synth::canDo(char* text)
{
    static const char* const known[] = {"midiProgramNames", "receiveVstEvents", "receiveVstMidiEvent"};
    for (const char* capability : known)
        if (std::strcmp(text, capability) == 0)
            return 1;
    return -1;
}

// ---- Host parameter access ----

void Synth::setParameter(VstInt32 index, float value)
{
    if (!validIndex(index))
        return;
    if (bendArmed_.load())
        appendBendPoint(index, value);
    current_.load()->params[index].value.store(value, std::memory_order_relaxed);
}

float Synth::getParameter(VstInt32 index)
{
    if (!validIndex(index))
        return 0.0f;
    return current_.load()->params[index].value.load(std::memory_order_relaxed);
}

void Synth::getParameterName(VstInt32 index, char* text)
{
    text[0] = 0;
    if (!validIndex(index))
        return;
    std::strncpy(text, parameter(index).name.c_str(), kVstMaxParamStrLen);
    text[kVstMaxParamStrLen] = 0;
}

void Synth::getParameterDisplay(VstInt32 index, char* text)
{
    text[0] = 0;
    if (!validIndex(index))
        return;
    Vorn::Parameter& p = parameter(index);
    p.owner->format(&p.value, getParameter(index), text, kVstMaxParamStrLen + 1);
}

void Synth::copyParameterName(int index, char* text, std::size_t size) const
{
    if (size == 0)
        return;
    text[0] = 0;
    if (!validIndex(index))
        return;
    std::strncpy(text, parameter(index).name.c_str(), size - 1);
    text[size - 1] = 0;
}

float Synth::liveValue(int index) const
{
    if (!validIndex(index))
        return 0.0f;
    return Vorn::readLive(&parameter(index).value);
}

float Synth::defaultValue(int index) const
{
    return validIndex(index) ? parameter(index).defaultValue : 0.0f;
}

// ---- Programs ----

void Synth::setProgram(VstInt32 program)
{
    if (program < 0 || program >= kProgramCount)
        return;
    curProgram = program;
    current_.store(programs_[static_cast<std::size_t>(program)].get());
}

void Synth::setProgramName(char* name)
{
    std::lock_guard<std::recursive_mutex> lock(storeMutex_);
    current_.load()->setName(name);
}

void Synth::getProgramName(char* name)
{
    std::lock_guard<std::recursive_mutex> lock(storeMutex_);
    std::memcpy(name, current_.load()->name, kVstMaxProgNameLen);
    name[kVstMaxProgNameLen] = 0;
}

bool Synth::getProgramNameIndexed(VstInt32, VstInt32 index, char* text)
{
    if (index < 0 || index >= kProgramCount)
        return false;
    std::lock_guard<std::recursive_mutex> lock(storeMutex_);
    std::memcpy(text, programs_[static_cast<std::size_t>(index)]->name, kVstMaxProgNameLen);
    text[kVstMaxProgNameLen] = 0;
    return true;
}

// ---- Bends ----

void Synth::appendBendPoint(int index, float value)
{
    std::unique_lock<std::recursive_mutex> lock(storeMutex_, std::defer_lock);
    if (std::this_thread::get_id() == audioThread_.load(std::memory_order_relaxed)) {
        // A host automating on its audio thread must not wait for the editor:
        // if another writer holds the store this instant, the point is lost.
        if (!lock.try_lock())
            return;
    } else {
        lock.lock();
    }
    BendList& bend = current_.load()->params[static_cast<std::size_t>(index)].bend;
    // A gesture's audition note reaches the audio thread at its next block,
    // and when no key is held its note-on restarts the clock there: until
    // then the motion is at the start of the note. Whatever else the threads
    // do meanwhile (a key released before the note lands, voices falling
    // silent), a point is never stamped before the one recorded last.
    float time = audition_.pending() && heldNotes_.empty() ? 0.0f : bendClock_.load(std::memory_order_relaxed);
    const BendList::View recorded = bend.view();
    if (recorded.count > 0)
        time = std::max(time, recorded.at(recorded.count - 1).time);
    bend.append(BendPoint{time, value}, reclaimer_);
}

bool Synth::hasBend(int index)
{
    if (!validIndex(index))
        return false;
    std::lock_guard<std::recursive_mutex> lock(storeMutex_);
    return !current_.load()->params[index].bend.empty();
}

std::vector<BendPoint> Synth::bendPoints(int index)
{
    if (!validIndex(index))
        return {};
    std::lock_guard<std::recursive_mutex> lock(storeMutex_);
    return current_.load()->params[index].bend.points();
}

void Synth::clearBends()
{
    std::lock_guard<std::recursive_mutex> lock(storeMutex_);
    Program& program = *current_.load();
    for (int i = 0; i < program.paramCount; ++i)
        program.params[i].bend.clear();
}

void Synth::beginParameterGesture(int index)
{
    std::lock_guard<std::recursive_mutex> lock(storeMutex_);
    if (validIndex(index))
        current_.load()->params[index].bend.clear();
    // The audition note starts on the audio thread at its next block; the
    // points recorded before then are stamped accordingly (appendBendPoint).
    if (bendArmed_.load() && gestureNotes_.push({static_cast<uint8_t>(auditionNote_.load()), 60}))
        audition_.queue();
}

void Synth::endParameterGesture(int)
{
    std::lock_guard<std::recursive_mutex> lock(storeMutex_);
    if (bendArmed_.load()) {
        gestureNotes_.push({static_cast<uint8_t>(auditionNote_.load()), 0});
        bendArmed_.store(false);
    }
}

// ---- Dice and Init ----

void Synth::randomise()
{
    std::lock_guard<std::recursive_mutex> lock(storeMutex_);
    clearBends();
    for (int i = 0; i < voiceParameterCount_; ++i) {
        const std::string& name = parameter(i).name;
        if (name == "AmplifierGain" || name == "SaturatorDrive")
            continue;
        // A linear congruential generator yielding 0..32767, never reseeded.
        randomState_ = randomState_ * 1103515245u + 12345u;
        const int k = static_cast<int>((randomState_ >> 16) & 0x7FFF);
        setParameter(i, static_cast<float>(k) / 32767.0f);
    }
}

void Synth::initialise()
{
    std::lock_guard<std::recursive_mutex> lock(storeMutex_);
    clearBends();
    for (int i = 0; i < parameterCount(); ++i)
        setParameter(i, parameter(i).defaultValue);
}
