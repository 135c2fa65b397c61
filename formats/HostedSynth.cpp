#include "formats/HostedSynth.h"

#include "editor/SynthEditor.h"
#include "formats/FactoryBank.h"
#include "plugin/Synth.h"

#include <algorithm>
#include <cstring>

namespace {

// The parameter write that the editor is handing to the host right now, on
// this thread: a format that passes it straight back to the plug-in from
// inside that call (the VST3 controller does) is not echoing a value from
// the past, and the copy that reaches the plug-in later is still expected.
struct Handing {
    const HostedSynth* host = nullptr;
    int index = -1;
};
thread_local Handing handing;

uint32_t bitsOf(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

HostedSynth::HostedSynth()
    : synth_(std::make_unique<Synth>(&HostedSynth::hostCallback, &SynthEditor::create)),
      parameterCount_(synth_->parameterCount()),
      midiEvents_(kMaxMidiMessages),
      eventListStorage_(sizeof(VstEvents) + kMaxMidiMessages * sizeof(VstEvent*)),
      echoes_(synth_->parameterCount()),
      hostValues_(new std::atomic<uint32_t>[static_cast<std::size_t>(synth_->parameterCount())])
{
    // The record's user field belongs to the host, and the host is us.
    synth_->getAeffect()->user = this;
    eventList_ = reinterpret_cast<VstEvents*>(eventListStorage_.data());
    for (int i = 0; i < kMaxMidiMessages; ++i) {
        VstMidiEvent& event = midiEvents_[static_cast<std::size_t>(i)];
        event = VstMidiEvent{};
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        eventList_->events[i] = reinterpret_cast<VstEvent*>(&event);
    }
    hostKnowsStoredValues();
}

HostedSynth::~HostedSynth()
{
    editorLink_.store(nullptr);
    synth_.reset();
}

AEffEditor* HostedSynth::editor()
{
    return synth_->getEditor();
}

// ---- The engine's host calls ----

VstIntPtr VST_CALLBACK HostedSynth::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                                                 float opt)
{
    // The engine calls during its own construction, before the record knows
    // who hosts it; those calls need no one.
    auto* self = effect ? static_cast<HostedSynth*>(effect->user) : nullptr;
    switch (opcode) {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterWantMidi:
        return 1;
    default:
        return self ? self->answer(opcode, index, opt) : 0;
    }
}

VstIntPtr HostedSynth::answer(VstInt32 opcode, VstInt32 index, float opt)
{
    switch (opcode) {
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(&timeInfo_);
    case audioMasterAutomate:
        if (validIndex(index))
            tellHost(index, opt);
        return 1;
    case audioMasterBeginEdit:
        if (EditorLink* link = editorLink_.load(); link && validIndex(index))
            link->beginGesture(index);
        return 1;
    case audioMasterEndEdit:
        if (EditorLink* link = editorLink_.load(); link && validIndex(index))
            link->endGesture(index);
        return 1;
    case audioMasterUpdateDisplay:
        // The engine changed values without naming them; the editor's next
        // idle tells the host every parameter again.
        displayUpdate_.store(true);
        return 1;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(synth_->getSampleRate());
    case audioMasterGetBlockSize:
        return synth_->getBlockSize();
    default:
        return 0;
    }
}

void HostedSynth::tellHost(int index, float value)
{
    echoes_.remember(index, value);
    hostValues_[static_cast<std::size_t>(index)].store(bitsOf(value));
    if (EditorLink* link = editorLink_.load()) {
        const Handing outer = handing;
        handing = Handing{this, index};
        link->parameterEdited(index, value);
        handing = outer;
    }
}

// ---- Set-up and audio ----

void HostedSynth::setSampleRate(double rate)
{
    synth_->setSampleRate(static_cast<float>(rate));
    timeInfo_.sampleRate = rate;
}

void HostedSynth::setBlockSize(int frames)
{
    synth_->setBlockSize(frames);
}

void HostedSynth::activate()
{
    synth_->dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
}

void HostedSynth::deactivate()
{
    synth_->dispatcher(effMainsChanged, 0, 0, nullptr, 0.0f);
}

void HostedSynth::addMidi(uint32_t frame, const uint8_t* data, std::size_t size)
{
    if (data == nullptr || size == 0 || size > 3 || eventCount_ >= kMaxMidiMessages)
        return;
    VstMidiEvent& event = midiEvents_[static_cast<std::size_t>(eventCount_++)];
    event.deltaFrames = static_cast<VstInt32>(frame);
    std::memset(event.midiData, 0, sizeof event.midiData);
    std::memcpy(event.midiData, data, size);
}

void HostedSynth::process(const Transport& transport, float* left, float* right, uint32_t frames)
{
    // The same record a VST 2.4 host would give for this block.
    timeInfo_.samplePos = static_cast<double>(transport.frame);
    timeInfo_.ppqPos = transport.quarterNotes;
    timeInfo_.tempo = transport.tempo;
    timeInfo_.flags = (transport.playing ? kVstTransportPlaying : 0) | (transport.positionValid ? kVstPpqPosValid : 0) |
                      (transport.tempoValid ? kVstTempoValid : 0);

    if (eventCount_ > 0) {
        eventList_->numEvents = eventCount_;
        synth_->processEvents(eventList_);
        eventCount_ = 0;
    }
    float* outputs[2] = {left, right};
    synth_->processReplacing(nullptr, outputs, static_cast<VstInt32>(frames));
    echoes_.blockProcessed();
}

// ---- Parameters ----

float HostedSynth::parameter(int index) const
{
    return validIndex(index) ? synth_->getParameter(index) : 0.0f;
}

void HostedSynth::setParameterFromHost(int index, float value)
{
    if (!validIndex(index))
        return;
    if (handing.host == this && handing.index == index)
        return;
    if (echoes_.isEcho(index, value))
        return;
    hostValues_[static_cast<std::size_t>(index)].store(bitsOf(value));
    synth_->setParameter(index, value);
}

std::string HostedSynth::parameterText(int index, float value) const
{
    if (!validIndex(index))
        return {};
    // Formatted by the module that owns the parameter, as the engine formats
    // its stored value for a VST 2.4 host (a display text may depend on
    // another live setting, such as sync).
    Vorn::Parameter& p = synth_->parameter(index);
    char text[64] = {};
    p.owner->format(&p.value, value, text, sizeof text);
    return text;
}

std::vector<HostedSynth::Choice> HostedSynth::choices(int index) const
{
    // A choice among N settings maps a value v to floor((N - 1) v + 0.5), so
    // setting k is selected around k / (N - 1). A parameter is taken for one
    // when a fine sweep of its range shows N distinct texts, two to twelve,
    // and those are exactly the texts at k / (N - 1).
    constexpr int kSteps = 1000;
    constexpr std::size_t kMostChoices = 12;
    std::vector<std::string> seen;
    for (int step = 0; step <= kSteps; ++step) {
        const std::string text = parameterText(index, static_cast<float>(step) / static_cast<float>(kSteps));
        if (std::find(seen.begin(), seen.end(), text) == seen.end()) {
            seen.push_back(text);
            if (seen.size() > kMostChoices)
                return {};
        }
    }
    if (seen.size() < 2)
        return {};
    std::vector<Choice> list;
    const int last = static_cast<int>(seen.size()) - 1;
    for (int k = 0; k <= last; ++k) {
        const float value = static_cast<float>(k) / static_cast<float>(last);
        std::string text = parameterText(index, value);
        for (const Choice& earlier : list)
            if (earlier.text == text)
                return {};
        list.push_back({value, std::move(text)});
    }
    return list;
}

// ---- Programs and state ----

int HostedSynth::currentProgram() const
{
    return synth_->getProgram();
}

void HostedSynth::chooseProgram(int index)
{
    if (index < 0 || index >= Synth::kProgramCount)
        return;
    char name[kVstMaxProgNameLen + 1] = {};
    synth_->getProgramNameIndexed(0, index, name);
    const bool fresh = std::strcmp(name, kFreshProgramName) == 0;
    if (index != protectedProgram_)
        protectedProgram_ = -1;
    synth_->setProgram(index);
    if (fresh && protectedProgram_ < 0) {
        const FactoryBank& factory = FactoryBank::instance();
        if (index < factory.programCount()) {
            const std::vector<uint8_t>& program = factory.program(index);
            loadProgramChunk(program.data(), program.size());
        }
    }
    hostKnowsStoredValues();
}

std::vector<uint8_t> HostedSynth::chunk(bool program)
{
    void* data = nullptr;
    const VstInt32 size = synth_->getChunk(&data, program);
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + (size > 0 ? size : 0));
}

void HostedSynth::loadChunk(bool program, const uint8_t* data, std::size_t size)
{
    if (data == nullptr || size == 0 || size > 0x7fffffff)
        return;
    std::vector<uint8_t> copy(data, data + size);
    synth_->setChunk(copy.data(), static_cast<VstInt32>(copy.size()), program);
}

void HostedSynth::restoreCurrentProgram(int index)
{
    if (index < 0 || index >= Synth::kProgramCount)
        return;
    synth_->setProgram(index);
    protectedProgram_ = index;
}

// ---- Editor ----

void HostedSynth::attachEditor(EditorLink* link)
{
    editorLink_.store(link);
}

void HostedSynth::detachEditor(EditorLink* link)
{
    // Only the link still attached; a second editor may have replaced it.
    editorLink_.compare_exchange_strong(link, nullptr);
}

void HostedSynth::updateHost()
{
    EditorLink* link = editorLink_.load();
    if (!link)
        return;
    const bool all = displayUpdate_.exchange(false);
    for (int i = 0; i < parameterCount_; ++i) {
        const float value = synth_->getParameter(i);
        if (!all && bitsOf(value) == hostValues_[static_cast<std::size_t>(i)].load())
            continue;
        link->beginGesture(i);
        tellHost(i, value);
        link->endGesture(i);
    }
}

void HostedSynth::hostKnowsStoredValues()
{
    for (int i = 0; i < parameterCount_; ++i)
        hostValues_[static_cast<std::size_t>(i)].store(bitsOf(synth_->getParameter(i)));
}
