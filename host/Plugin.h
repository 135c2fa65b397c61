#pragma once
// One loaded VST 2.4 plug-in and the host side it talks to: the library is
// opened with dlopen, its entry point called with our callback, and the
// plug-in driven through its dispatcher. The callback answers what a
// sequencer answers: version 2400, sample rate, block size, the transport
// from the renderer, capability queries; automation is counted, not acted on.

#include "vst/VstAbi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TarvelHost {

class Plugin {
public:
    // Opens the library and creates the effect (entry point and effOpen only).
    // Throws HostError when the file is not a loadable VST 2.4 plug-in.
    static std::unique_ptr<Plugin> load(const std::string& path);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    AEffect* effect() const { return effect_; }
    const std::string& path() const { return path_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);

    // Sample rate, block size, switch-on and start of processing.
    void start(int sampleRate, int blockSize);
    // Stop of processing and switch-off (also done by the destructor).
    void stop();
    bool running() const { return running_; }

    int numParams() const { return effect_->numParams; }
    int numPrograms() const { return effect_->numPrograms; }
    bool hasChunks() const { return (effect_->flags & effFlagsProgramChunks) != 0; }
    std::string paramName(int index);
    std::string paramDisplay(int index);
    std::string paramLabel(int index);
    std::string programName(int index); // by index, without switching when the plug-in allows
    std::string currentProgramName();
    std::string effectName();
    std::string vendorString();
    std::string productString();
    float getParameter(int index);
    void setParameter(int index, float value);
    int currentProgram();
    void setProgram(int program);
    void setProgramName(const std::string& name);

    // Opaque chunk of the current program (program == true) or the whole bank.
    // Throws HostError when the plug-in hands out none (no data, size <= 0).
    std::vector<uint8_t> getChunk(bool program);
    void setChunk(bool program, const std::vector<uint8_t>& data);

    // Delivers the events of the next block, then renders it: fills `left`
    // and `right` with `frames` samples from the first two outputs (the first
    // on both when the plug-in has only one). frames <= the block size.
    void processEvents(VstEvents* events);
    void process(float* left, float* right, int frames);

    // Transport that audioMasterGetTime answers with.
    void setTimeInfo(const VstTimeInfo& info) { timeInfo_ = info; }
    const VstTimeInfo& timeInfo() const { return timeInfo_; }

    // What the plug-in asked of the host, for reports and tests.
    struct Automation {
        int index;
        float value;
    };
    const std::vector<Automation>& automation() const { return automation_; }
    int timeRequests() const { return timeRequests_; }

    static VstIntPtr VST_CALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float opt);

private:
    Plugin() = default;
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    std::string text(VstInt32 opcode, VstInt32 index, std::size_t capacity);

    std::string path_;
    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    bool opened_ = false;
    bool running_ = false;
    bool processing_ = false;
    int sampleRate_ = 44100;
    int blockSize_ = 512;
    VstTimeInfo timeInfo_{};
    std::vector<Automation> automation_;
    int timeRequests_ = 0;
    std::vector<std::vector<float>> outputBuffers_;
    std::vector<std::vector<float>> inputBuffers_;
    std::vector<float*> outputPointers_;
    std::vector<float*> inputPointers_;
};

} // namespace TarvelHost
