#include "host/Plugin.h"
#include "host/HostError.h"
#include "host/SharedLibrary.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace TarvelHost {

namespace {

using EntryPoint = AEffect* (*)(audioMasterCallback);

// The callback only receives the AEffect pointer, so live plug-ins are found
// by it here. While an entry point runs, the effect does not exist yet and the
// callback (which plug-ins call from inside the entry point) goes to the
// plug-in being loaded on this thread.
std::mutex registryLock;
std::vector<std::pair<AEffect*, Plugin*>> registry;
thread_local Plugin* loading = nullptr;

Plugin* findPlugin(AEffect* effect)
{
    if (effect != nullptr) {
        std::lock_guard<std::mutex> guard(registryLock);
        for (auto& entry : registry)
            if (entry.first == effect)
                return entry.second;
    }
    return loading;
}

// Plug-ins are known to write past the published string limits; every text
// request gets a generous zeroed buffer and the result is cut at its end.
constexpr std::size_t kTextBuffer = 512;

} // namespace

std::unique_ptr<Plugin> Plugin::load(const std::string& path)
{
    std::unique_ptr<Plugin> plugin(new Plugin());
    plugin->path_ = path;
    std::string why;
    plugin->library_ = openSharedLibrary(path, why);
    if (plugin->library_ == nullptr)
        throw HostError("cannot load plug-in " + path + ": " + why);
    auto entry = reinterpret_cast<EntryPoint>(findLibrarySymbol(plugin->library_, "VSTPluginMain"));
    if (entry == nullptr)
        entry = reinterpret_cast<EntryPoint>(findLibrarySymbol(plugin->library_, "main"));
    if (entry == nullptr)
        throw HostError("not a VST 2.4 plug-in: " + path + " exports neither VSTPluginMain nor main");

    // Until rendering starts the transport stands at the song's start, at the
    // default 120 BPM in 4/4, stopped; some plug-ins ask for it while opening.
    VstTimeInfo& time = plugin->timeInfo_;
    time.sampleRate = plugin->sampleRate_;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;

    loading = plugin.get();
    AEffect* effect = nullptr;
    try {
        effect = entry(&Plugin::hostCallback);
    } catch (...) {
        loading = nullptr;
        throw HostError("plug-in " + path + " threw an exception from its entry point");
    }
    loading = nullptr;
    if (effect == nullptr)
        throw HostError("plug-in " + path + " refused to start: its entry point returned a null effect");
    if (effect->magic != kEffectMagic)
        throw HostError("not a VST 2.4 plug-in: " + path + " returned an effect without the 'VstP' magic");
    if (effect->dispatcher == nullptr)
        throw HostError("plug-in " + path + " returned an effect without a dispatcher");
    plugin->effect_ = effect;
    {
        std::lock_guard<std::mutex> guard(registryLock);
        registry.emplace_back(effect, plugin.get());
    }
    if (effect->numOutputs < 1)
        throw HostError("plug-in " + path + " has no audio outputs");
    if (effect->processReplacing == nullptr && effect->process == nullptr)
        throw HostError("plug-in " + path + " has no process function");
    if (effect->numParams < 0 || effect->numPrograms < 0 || effect->numInputs < 0)
        throw HostError("plug-in " + path + " reports negative parameter, program or input counts");
    plugin->dispatch(effOpen);
    plugin->opened_ = true;
    return plugin;
}

Plugin::~Plugin()
{
    if (effect_ != nullptr) {
        if (running_)
            stop();
        // effClose makes the plug-in delete itself; an effect that never got
        // effOpen (refused during load) is closed as well so it is freed.
        dispatch(effClose);
        std::lock_guard<std::mutex> guard(registryLock);
        registry.erase(std::remove_if(registry.begin(), registry.end(),
                                      [this](const std::pair<AEffect*, Plugin*>& e) { return e.second == this; }),
                       registry.end());
    }
    if (library_ != nullptr)
        closeSharedLibrary(library_);
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Plugin::start(int sampleRate, int blockSize)
{
    sampleRate_ = sampleRate;
    blockSize_ = blockSize;
    timeInfo_.sampleRate = sampleRate;
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
    running_ = true;
    // The counts were checked when the plug-in was loaded (at least one
    // output, no negative count); the block size by the command line.
    const std::vector<float> silence(static_cast<std::size_t>(blockSize), 0.0f);
    outputBuffers_.assign(static_cast<std::size_t>(effect_->numOutputs), silence);
    inputBuffers_.assign(static_cast<std::size_t>(effect_->numInputs), silence);
    outputPointers_.clear();
    inputPointers_.clear();
    for (auto& b : outputBuffers_)
        outputPointers_.push_back(b.data());
    for (auto& b : inputBuffers_)
        inputPointers_.push_back(b.data());
    // Some plug-ins index inputs[0] even with no inputs declared.
    if (inputPointers_.empty()) {
        inputBuffers_.emplace_back(blockSize, 0.0f);
        inputPointers_.push_back(inputBuffers_.back().data());
    }
}

void Plugin::stop()
{
    if (!running_)
        return;
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
    running_ = false;
}

std::string Plugin::text(VstInt32 opcode, VstInt32 index, std::size_t)
{
    char buffer[kTextBuffer];
    std::memset(buffer, 0, sizeof buffer);
    dispatch(opcode, index, 0, buffer);
    buffer[kTextBuffer - 1] = 0;
    return buffer;
}

std::string Plugin::paramName(int index)
{
    return text(effGetParamName, index, kVstMaxParamStrLen);
}
std::string Plugin::paramDisplay(int index)
{
    return text(effGetParamDisplay, index, kVstMaxParamStrLen);
}
std::string Plugin::paramLabel(int index)
{
    return text(effGetParamLabel, index, kVstMaxParamStrLen);
}
std::string Plugin::currentProgramName()
{
    return text(effGetProgramName, 0, kVstMaxProgNameLen);
}
std::string Plugin::effectName()
{
    return text(effGetEffectName, 0, kVstMaxEffectNameLen);
}
std::string Plugin::vendorString()
{
    return text(effGetVendorString, 0, kVstMaxVendorStrLen);
}
std::string Plugin::productString()
{
    return text(effGetProductString, 0, kVstMaxProductStrLen);
}

std::string Plugin::programName(int index)
{
    char buffer[kTextBuffer];
    std::memset(buffer, 0, sizeof buffer);
    if (dispatch(effGetProgramNameIndexed, index, -1, buffer) != 0)
        return std::string(buffer, strnlen(buffer, kTextBuffer - 1));
    // Older plug-ins only name the current program: switch, ask, switch back.
    int current = currentProgram();
    setProgram(index);
    std::string name = currentProgramName();
    setProgram(current);
    return name;
}

float Plugin::getParameter(int index)
{
    return effect_->getParameter ? effect_->getParameter(effect_, index) : 0.0f;
}

void Plugin::setParameter(int index, float value)
{
    if (effect_->setParameter)
        effect_->setParameter(effect_, index, value);
}

int Plugin::currentProgram()
{
    return static_cast<int>(dispatch(effGetProgram));
}

void Plugin::setProgram(int program)
{
    dispatch(effBeginSetProgram);
    dispatch(effSetProgram, 0, program);
    dispatch(effEndSetProgram);
}

void Plugin::setProgramName(const std::string& name)
{
    char buffer[kVstMaxProgNameLen + 1];
    std::memset(buffer, 0, sizeof buffer);
    std::strncpy(buffer, name.c_str(), kVstMaxProgNameLen);
    dispatch(effSetProgramName, 0, 0, buffer);
}

std::vector<uint8_t> Plugin::getChunk(bool program)
{
    void* data = nullptr;
    VstIntPtr size = dispatch(effGetChunk, program ? 1 : 0, 0, &data);
    if (size <= 0 || data == nullptr)
        throw HostError(std::string("the plug-in handed out no ") + (program ? "program" : "bank") + " chunk (" +
                        (data == nullptr ? "no data" : "size " + std::to_string(size)) + ")");
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

void Plugin::setChunk(bool program, const std::vector<uint8_t>& data)
{
    // The plug-in may keep the pointer until it returns; give it its own copy.
    std::vector<uint8_t> copy = data;
    if (program)
        dispatch(effBeginLoadProgram);
    else
        dispatch(effBeginLoadBank);
    dispatch(effSetChunk, program ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data());
}

void Plugin::processEvents(VstEvents* events)
{
    if (events != nullptr && events->numEvents > 0)
        dispatch(effProcessEvents, 0, 0, events);
}

void Plugin::process(float* left, float* right, int frames)
{
    processing_ = true;
    if (effect_->processReplacing != nullptr && (effect_->flags & effFlagsCanReplacing)) {
        effect_->processReplacing(effect_, inputPointers_.data(), outputPointers_.data(), frames);
    } else {
        // The old accumulating call adds into the buffers.
        for (auto& b : outputBuffers_)
            std::fill(b.begin(), b.begin() + frames, 0.0f);
        if (effect_->process != nullptr)
            effect_->process(effect_, inputPointers_.data(), outputPointers_.data(), frames);
        else
            effect_->processReplacing(effect_, inputPointers_.data(), outputPointers_.data(), frames);
    }
    processing_ = false;
    const float* second = outputBuffers_.size() > 1 ? outputBuffers_[1].data() : outputBuffers_[0].data();
    std::memcpy(left, outputBuffers_[0].data(), sizeof(float) * static_cast<std::size_t>(frames));
    std::memcpy(right, second, sizeof(float) * static_cast<std::size_t>(frames));
}

VstIntPtr VST_CALLBACK Plugin::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                            void* ptr, float opt)
{
    Plugin* plugin = findPlugin(effect);
    if (opcode == audioMasterVersion)
        return kVstVersion;
    if (plugin == nullptr)
        return 0;
    return plugin->answer(opcode, index, value, ptr, opt);
}

VstIntPtr Plugin::answer(VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float opt)
{
    switch (opcode) {
    case audioMasterAutomate:
        automation_.push_back({index, opt});
        return 0;
    case audioMasterCurrentId:
        return 0;
    case audioMasterIdle:
        return 0;
    case audioMasterWantMidi:
        return 1;
    case audioMasterGetTime:
        ++timeRequests_;
        return reinterpret_cast<VstIntPtr>(&timeInfo_);
    case audioMasterGetSampleRate:
        return sampleRate_;
    case audioMasterGetBlockSize:
        return blockSize_;
    case audioMasterGetCurrentProcessLevel:
        // 4 = offline rendering while a block is processed, 1 = user thread.
        return processing_ ? 4 : 1;
    case audioMasterGetAutomationState:
        return 1; // automation off
    case audioMasterGetVendorString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), "Tarvel");
        return ptr != nullptr;
    case audioMasterGetProductString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), "tarvel-host");
        return ptr != nullptr;
    case audioMasterGetVendorVersion:
        return 1000;
    case audioMasterGetLanguage:
        return 1; // English
    case audioMasterCanDo: {
        if (ptr == nullptr)
            return 0;
        const char* what = static_cast<const char*>(ptr);
        static const char* const yes[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "startStopProcess"};
        static const char* const no[] = {
            "receiveVstEvents", "receiveVstMidiEvent", "sizeWindow", "acceptIOChanges", "reportConnectionChanges",
            "openFileSelector", "closeFileSelector",   "editFile",   "offline",         "shellCategory",
            "supportShell"};
        for (const char* y : yes)
            if (std::strcmp(what, y) == 0)
                return 1;
        for (const char* n : no)
            if (std::strcmp(what, n) == 0)
                return -1;
        return 0;
    }
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
    case audioMasterUpdateDisplay:
    case audioMasterIOChanged:
    case audioMasterSizeWindow:
    case audioMasterProcessEvents:
    default:
        return 0;
    }
}

} // namespace TarvelHost
