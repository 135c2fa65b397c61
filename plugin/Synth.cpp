#include "plugin/Synth.h"

#include "dsp/ADSREnvelope.h"
#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/Phaser.h"
#include "dsp/Redux.h"
#include "dsp/WaveTable.h"

#include <algorithm>
#include <cstring>

Synth::Synth(audioMasterCallback host, EditorFactory makeEditor) : AudioEffectX(host, kProgramCount, 0)
{
    buildGraph();
    cEffect.numParams = numParams = parameterCount();

    store_ = std::make_unique<ProgramStore>(*this);
    recorder_ = std::make_unique<BendRecorder>(*store_);

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
    // shared table, then the recorder and the store.
    voices_.clear();
    chorus_.reset();
    delay_.reset();
    phaser_.reset();
    digi_.reset();
    summer_.reset();
    waveTable_.reset();
    recorder_.reset();
    store_.reset();
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
    if (recorder_->armed())
        recorder_->record(index, value);
    store_->setValue(index, value);
}

float Synth::getParameter(VstInt32 index)
{
    if (!validIndex(index))
        return 0.0f;
    return store_->value(index);
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
    store_->select(program);
}

void Synth::setProgramName(char* name)
{
    store_->setName(name);
}

void Synth::getProgramName(char* name)
{
    store_->copyName(name, kVstMaxProgNameLen);
}

bool Synth::getProgramNameIndexed(VstInt32, VstInt32 index, char* text)
{
    if (index < 0 || index >= kProgramCount)
        return false;
    store_->copyName(index, text, kVstMaxProgNameLen);
    return true;
}

VstInt32 Synth::getChunk(void** data, bool isPreset)
{
    const std::vector<uint8_t>& bytes = store_->saveChunk(isPreset);
    // The host's interface hands out a mutable pointer; hosts only read it.
    *data = const_cast<uint8_t*>(bytes.data());
    return static_cast<VstInt32>(bytes.size());
}

VstInt32 Synth::setChunk(void* data, VstInt32 byteSize, bool isPreset)
{
    if (byteSize > 0)
        store_->loadChunk(data, static_cast<std::size_t>(byteSize), isPreset);
    return 1;
}

// ---- Bends ----

bool Synth::hasBend(int index)
{
    return store_->hasBend(index);
}

std::vector<BendPoint> Synth::bendPoints(int index)
{
    return store_->bendPoints(index);
}

void Synth::clearBends()
{
    store_->clearBends();
}

void Synth::beginParameterGesture(int index)
{
    recorder_->beginGesture(index);
}

void Synth::endParameterGesture(int)
{
    recorder_->endGesture();
}

// ---- Dice and Init ----

void Synth::randomise()
{
    const ProgramStore::Lock held = store_->lock();
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
    const ProgramStore::Lock held = store_->lock();
    clearBends();
    for (int i = 0; i < parameterCount(); ++i)
        setParameter(i, parameter(i).defaultValue);
}
