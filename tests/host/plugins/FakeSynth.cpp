// A small VST 2.4 instrument for the host's tests. It renders a plain sine
// per held note, starting at the exact frame its note-on names through
// deltaFrames and fading out after note-off, so timing and pitch can be
// checked to the sample. Every event and transport record it receives is
// logged for the tests. Its parameter names are cut to eight characters the
// way hosts see them, with one deliberate clash ("PhaserMo").

#include "tests/host/plugins/FakeSynthLog.h"
#include "vst/VstAbi.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kParams = 5;
constexpr int kPrograms = 4;
constexpr int kVoices = 16;
const char* const kParamNames[kParams] = {"Gain", "FilterCutoff", "FilterResonance", "PhaserMode", "PhaserMono"};

struct Program {
    char name[25];
    float values[kParams];
};

struct Voice {
    int key = -1;
    int64_t start = 0;
    float velocity = 0.0f;
    bool released = false;
    double level = 1.0;
};

struct Synth {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    Program programs[kPrograms];
    int current = 0;
    Voice voices[kVoices];
    int64_t clock = 0; // frames rendered since switch-on
    float sampleRate = 44100.0f;
    std::vector<uint8_t> chunk;
    std::vector<FakeSynthEvent> pending;
};

FakeSynthLog theLog;

Synth* self(AEffect* e)
{
    return static_cast<Synth*>(e->object);
}

void putFloat(std::vector<uint8_t>& out, float v)
{
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    out.insert(out.end(), b, b + 4);
}

void writeProgram(std::vector<uint8_t>& out, const Program& p)
{
    out.insert(out.end(), p.name, p.name + 24);
    for (float v : p.values)
        putFloat(out, v);
}

constexpr std::size_t kProgramBytes = 24 + 4 * kParams;

void readProgram(const uint8_t* in, Program& p)
{
    std::memcpy(p.name, in, 24);
    p.name[24] = 0;
    for (int i = 0; i < kParams; ++i)
        std::memcpy(&p.values[i], in + 24 + 4 * i, 4);
}

void startNote(Synth* s, int key, int velocity, int64_t frame)
{
    for (Voice& v : s->voices)
        if (v.key < 0) {
            v = Voice{key, frame, float(velocity) / 127.0f, false, 1.0};
            return;
        }
}

void stopNote(Synth* s, int key)
{
    for (Voice& v : s->voices)
        if (v.key == key && !v.released) {
            v.released = true;
            return;
        }
}

void apply(Synth* s, const FakeSynthEvent& ev)
{
    if (ev.sysex || ev.bytes.size() < 3)
        return;
    int type = ev.bytes[0] & 0xF0;
    if (type == 0x90 && ev.bytes[2] > 0)
        startNote(s, ev.bytes[1], ev.bytes[2], ev.frame);
    else if (type == 0x80 || type == 0x90)
        stopNote(s, ev.bytes[1]);
}

void render(Synth* s, float* left, float* right, int from, int to)
{
    float gain = s->programs[s->current].values[0] * 2.0f;
    for (int i = from; i < to; ++i) {
        int64_t t = s->clock + i;
        double sum = 0.0;
        for (Voice& v : s->voices) {
            if (v.key < 0)
                continue;
            double f = 440.0 * std::pow(2.0, (v.key - 69) / 12.0);
            double phase = 2.0 * M_PI * f * static_cast<double>(t - v.start) / double(s->sampleRate);
            sum += 0.1 * double(v.velocity) * v.level * std::sin(phase);
            if (v.released) {
                v.level *= 0.999;
                if (v.level < 1e-4)
                    v.key = -1;
            }
        }
        left[i] = static_cast<float>(sum) * gain;
        right[i] = -left[i];
    }
}

void processReplacing(AEffect* e, float**, float** outputs, VstInt32 frames)
{
    Synth* s = self(e);
    FakeSynthBlock block{};
    block.start = s->clock;
    block.frames = frames;
    auto* info = reinterpret_cast<VstTimeInfo*>(s->host(e, audioMasterGetTime, 0, 0x600, nullptr, 0.0f));
    if (info != nullptr) {
        block.hadTime = true;
        block.samplePos = info->samplePos;
        block.ppqPos = info->ppqPos;
        block.tempo = info->tempo;
        block.barStartPos = info->barStartPos;
        block.timeSigNumerator = info->timeSigNumerator;
        block.timeSigDenominator = info->timeSigDenominator;
        block.flags = info->flags;
    }
    theLog.blocks.push_back(block);
    theLog.processLevel = s->host(e, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f);
    int done = 0;
    for (FakeSynthEvent& ev : s->pending) {
        int at = ev.deltaFrames < 0 ? 0 : (ev.deltaFrames > frames ? frames : ev.deltaFrames);
        render(s, outputs[0], outputs[1], done, at);
        done = at;
        ev.frame = s->clock + ev.deltaFrames;
        ev.blockSize = frames;
        apply(s, ev);
        theLog.events.push_back(ev);
    }
    s->pending.clear();
    render(s, outputs[0], outputs[1], done, frames);
    s->clock += frames;
}

VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    Synth* s = self(e);
    switch (opcode) {
    case effOpen:
        theLog = FakeSynthLog{};
        return 0;
    case effClose:
        delete s;
        return 0;
    case effSetProgram:
        if (value >= 0 && value < kPrograms)
            s->current = static_cast<int>(value);
        return 0;
    case effGetProgram:
        return s->current;
    case effSetProgramName:
        std::strncpy(s->programs[s->current].name, static_cast<char*>(ptr), 24);
        return 0;
    case effGetProgramName:
        std::strcpy(static_cast<char*>(ptr), s->programs[s->current].name);
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || index >= kPrograms)
            return 0;
        std::strcpy(static_cast<char*>(ptr), s->programs[index].name);
        return 1;
    case effGetParamName:
        std::strncpy(static_cast<char*>(ptr), kParamNames[index], 8);
        static_cast<char*>(ptr)[8] = 0;
        return 0;
    case effGetParamDisplay:
        std::snprintf(static_cast<char*>(ptr), 9, "%.1f", double(s->programs[s->current].values[index] * 100.0f));
        return 0;
    case effGetParamLabel:
        std::strcpy(static_cast<char*>(ptr), "%");
        return 0;
    case effSetSampleRate:
        s->sampleRate = opt;
        theLog.sampleRate = opt;
        return 0;
    case effSetBlockSize:
        theLog.blockSize = static_cast<int32_t>(value);
        return 0;
    case effMainsChanged:
        theLog.mainsOn = value != 0;
        if (value) {
            s->clock = 0;
            for (Voice& v : s->voices)
                v.key = -1;
            theLog.hostVersion = s->host(e, audioMasterVersion, 0, 0, nullptr, 0.0f);
            theLog.hostSampleRate = s->host(e, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
            theLog.hostBlockSize = s->host(e, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
            theLog.canDoTimeInfo = s->host(e, audioMasterCanDo, 0, 0, const_cast<char*>("sendVstTimeInfo"), 0.0f);
            theLog.canDoNonsense = s->host(e, audioMasterCanDo, 0, 0, const_cast<char*>("fly"), 0.0f);
            // Hosts must take automation reports at any time.
            s->host(e, audioMasterAutomate, 0, 0, nullptr, s->programs[s->current].values[0]);
        }
        return 0;
    case effGetChunk: {
        // A broken plug-in's answer, for the host's tests: no data, or a
        // size of 0 or below.
        if (const char* size = std::getenv("FAKE_SYNTH_CHUNK_SIZE")) {
            *static_cast<void**>(ptr) = std::atoi(size) < 0 ? s->programs : nullptr;
            return std::atoi(size);
        }
        s->chunk.clear();
        if (index == 1) {
            s->chunk.insert(s->chunk.end(), {'v', 'q', 'p', 's'});
            writeProgram(s->chunk, s->programs[s->current]);
        } else {
            s->chunk.insert(s->chunk.end(), {'v', 'q', 'b', 'k'});
            s->chunk.push_back(static_cast<uint8_t>(s->current));
            for (const Program& p : s->programs)
                writeProgram(s->chunk, p);
        }
        *static_cast<void**>(ptr) = s->chunk.data();
        return static_cast<VstIntPtr>(s->chunk.size());
    }
    case effSetChunk: {
        ++theLog.setChunkCalls;
        const uint8_t* in = static_cast<const uint8_t*>(ptr);
        if (index == 1 && value == static_cast<VstIntPtr>(4 + kProgramBytes) && std::memcmp(in, "vqps", 4) == 0)
            readProgram(in + 4, s->programs[s->current]);
        else if (index == 0 && value == static_cast<VstIntPtr>(5 + kPrograms * kProgramBytes) &&
                 std::memcmp(in, "vqbk", 4) == 0) {
            for (std::size_t i = 0; i < kPrograms; ++i)
                readProgram(in + 5 + i * kProgramBytes, s->programs[i]);
            s->current = in[4] % kPrograms;
        }
        return 0;
    }
    case effProcessEvents: {
        auto* list = static_cast<VstEvents*>(ptr);
        VstEvent** events = reinterpret_cast<VstEvent**>(reinterpret_cast<char*>(list) + offsetof(VstEvents, events));
        for (int i = 0; i < list->numEvents; ++i) {
            FakeSynthEvent ev{};
            ev.deltaFrames = events[i]->deltaFrames;
            if (events[i]->type == kVstSysExType) {
                auto* x = reinterpret_cast<VstMidiSysexEvent*>(events[i]);
                ev.sysex = true;
                ev.bytes.assign(x->sysexDump, x->sysexDump + x->dumpBytes);
            } else {
                auto* m = reinterpret_cast<VstMidiEvent*>(events[i]);
                ev.bytes.assign(m->midiData, m->midiData + 3);
            }
            s->pending.push_back(ev);
        }
        return 1;
    }
    case effGetPlugCategory:
        return kPlugCategSynth;
    case effGetEffectName:
        std::strcpy(static_cast<char*>(ptr), "FakeSynth");
        return 1;
    case effGetVendorString:
        std::strcpy(static_cast<char*>(ptr), "Tarvel tests");
        return 1;
    case effGetVstVersion:
        return kVstVersion;
    case effCanDo:
        return std::strcmp(static_cast<char*>(ptr), "receiveVstMidiEvent") == 0 ? 1 : 0;
    default:
        return 0;
    }
}

void setParameter(AEffect* e, VstInt32 index, float value)
{
    self(e)->programs[self(e)->current].values[index] = value;
}
float getParameter(AEffect* e, VstInt32 index)
{
    return self(e)->programs[self(e)->current].values[index];
}

} // namespace

extern "C" __attribute__((visibility("default"))) FakeSynthLog* fakeSynthLog()
{
    return &theLog;
}

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) < 2400)
        return nullptr;
    Synth* s = new Synth();
    s->host = host;
    for (int p = 0; p < kPrograms; ++p) {
        std::snprintf(s->programs[p].name, sizeof s->programs[p].name, "Fake %d", p + 1);
        for (int i = 0; i < kParams; ++i)
            s->programs[p].values[i] = 0.5f;
    }
    AEffect& e = s->effect;
    e.magic = kEffectMagic;
    e.dispatcher = dispatcher;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.processReplacing = processReplacing;
    e.numPrograms = kPrograms;
    e.numParams = kParams;
    e.numInputs = 0;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing | effFlagsIsSynth | effFlagsProgramChunks;
    e.object = s;
    e.uniqueID = ('F' << 24) | ('k' << 16) | ('S' << 8) | 'y';
    e.version = 3;
    return &e;
}
