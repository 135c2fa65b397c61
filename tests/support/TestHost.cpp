#include "support/TestHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace {
// The host whose plug-in is being created; the record's user field is not
// set yet while the constructor calls back.
thread_local TestHost* creatingHost = nullptr;
} // namespace

TestHost::TestHost(const std::string& path)
{
    // Recording a callback must not allocate in the common case, so that
    // tests counting the plug-in's allocations see only the plug-in's.
    calls_.reserve(4096);
    int flags = RTLD_NOW | RTLD_LOCAL;
#ifdef TARVEL_KEEP_PLUGIN_LOADED
    flags |= RTLD_NODELETE;
#endif
    library_ = dlopen(path.c_str(), flags);
    if (!library_) {
        const char* why = dlerror();
        error = why ? why : "dlopen failed";
        return;
    }
    entry_ = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library_, "VSTPluginMain"));
    if (!entry_)
        error = "no VSTPluginMain";
    timeInfo.sampleRate = 44100.0;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstPpqPosValid | kVstTempoValid | kVstTransportPlaying;
}

TestHost::~TestHost()
{
    close();
    if (library_)
        dlclose(library_);
}

AEffect* TestHost::create()
{
    if (!entry_)
        return nullptr;
    creatingHost = this;
    effect = entry_(&TestHost::callback);
    creatingHost = nullptr;
    if (effect)
        effect->user = this;
    return effect;
}

AEffect* TestHost::start(float sampleRate, int blockSize)
{
    if (!create())
        return nullptr;
    sampleRate_ = sampleRate;
    timeInfo.sampleRate = sampleRate;
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
    return effect;
}

void TestHost::close()
{
    if (!effect)
        return;
    dispatch(effMainsChanged, 0, 0);
    dispatch(effClose);
    effect = nullptr;
}

VstIntPtr TestHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (opcode == effSetSampleRate) {
        sampleRate_ = opt;
        timeInfo.sampleRate = opt;
    }
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void TestHost::setParameter(int index, float value)
{
    effect->setParameter(effect, index, value);
}

float TestHost::getParameter(int index)
{
    return effect->getParameter(effect, index);
}

std::string TestHost::parameterName(int index)
{
    char text[256] = {};
    dispatch(effGetParamName, index, 0, text);
    return text;
}

std::string TestHost::parameterDisplay(int index)
{
    char text[256] = {};
    dispatch(effGetParamDisplay, index, 0, text);
    return text;
}

std::string TestHost::parameterLabel(int index)
{
    char text[256] = {'x', 0};
    dispatch(effGetParamLabel, index, 0, text);
    return text;
}

std::string TestHost::programName()
{
    char text[256] = {};
    dispatch(effGetProgramName, 0, 0, text);
    return text;
}

void TestHost::sendMidi(const std::vector<std::vector<uint8_t>>& messages, int deltaFrames)
{
    std::vector<VstMidiEvent> events(messages.size());
    // VstEvents ends in a flexible pointer array; allocate room for all of them.
    std::vector<char> storage(sizeof(VstEvents) + messages.size() * sizeof(VstEvent*));
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<VstInt32>(messages.size());
    list->reserved = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        VstMidiEvent& e = events[i];
        std::memset(&e, 0, sizeof e);
        e.type = kVstMidiType;
        e.byteSize = sizeof(VstMidiEvent);
        e.deltaFrames = deltaFrames;
        for (std::size_t b = 0; b < std::min<std::size_t>(3, messages[i].size()); ++b)
            e.midiData[b] = static_cast<char>(messages[i][b]);
        list->events[i] = reinterpret_cast<VstEvent*>(&e);
    }
    dispatch(effProcessEvents, 0, 0, list);
}

void TestHost::noteOn(int note, int velocity, int channel)
{
    sendMidi({{static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(note), static_cast<uint8_t>(velocity)}});
}

void TestHost::noteOff(int note, int channel)
{
    sendMidi({{static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(note), 0}});
}

void TestHost::controller(int number, int value, int channel)
{
    sendMidi({{static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(number), static_cast<uint8_t>(value)}});
}

void TestHost::process(int frames, std::vector<float>& left, std::vector<float>& right)
{
    left.assign(static_cast<std::size_t>(frames), 12345.0f);
    right.assign(static_cast<std::size_t>(frames), -12345.0f);
    float* outputs[2] = {left.data(), right.data()};
    float* inputs[2] = {nullptr, nullptr};
    effect->processReplacing(effect, inputs, outputs, frames);
    if (advanceTransport) {
        timeInfo.samplePos += frames;
        if (timeInfo.sampleRate > 0)
            timeInfo.ppqPos += frames / timeInfo.sampleRate * timeInfo.tempo / 60.0;
    }
}

std::vector<float> TestHost::render(int frames, int blockSize)
{
    std::vector<float> result;
    result.reserve(static_cast<std::size_t>(frames));
    std::vector<float> left, right;
    for (int done = 0; done < frames; done += blockSize) {
        int n = std::min(blockSize, frames - done);
        process(n, left, right);
        result.insert(result.end(), left.begin(), left.end());
    }
    return result;
}

std::vector<TestHost::Call> TestHost::calls() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

int TestHost::count(VstInt32 opcode) const
{
    if (opcode == audioMasterGetTime)
        return getTimeCount_.load();
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(
        std::count_if(calls_.begin(), calls_.end(), [opcode](const Call& c) { return c.opcode == opcode; }));
}

void TestHost::clearCalls()
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
    getTimeCount_ = 0;
}

VstIntPtr VST_CALLBACK TestHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                          float opt)
{
    TestHost* host = creatingHost;
    if (effect && effect->user)
        host = static_cast<TestHost*>(effect->user);
    if (!host)
        return opcode == audioMasterVersion ? kVstVersion : 0;
    return host->answer(opcode, index, value, ptr, opt);
}

VstIntPtr TestHost::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt)
{
    if (opcode == audioMasterGetTime) {
        // Asked once per block: counted without allocating, so tests can
        // check that rendering allocates nothing.
        getTimeCount_.fetch_add(1);
    } else {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(Call{opcode, index, value, opt});
    }
    switch (opcode) {
    case audioMasterVersion:
        return versionAnswer;
    case audioMasterGetTime:
        return provideTime ? reinterpret_cast<VstIntPtr>(&timeInfo) : 0;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate_);
    default:
        return 0;
    }
}
