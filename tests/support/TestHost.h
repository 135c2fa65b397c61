#pragma once
// A small host for tests: loads a VST 2.4 plug-in with dlopen exactly as a
// sequencer does, answers and records its callbacks, delivers MIDI and
// transport, and collects rendered audio.

#include "vst/VstAbi.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class TestHost {
public:
    struct Call {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        float opt;
    };

    explicit TestHost(const std::string& path = TARVEL_PLUGIN_PATH);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // Calls the entry point; returns the effect (null when it refused).
    AEffect* create();
    // create(), then effOpen, sample rate, block size and switch-on.
    AEffect* start(float sampleRate = 44100.0f, int blockSize = 512);
    // effMainsChanged off and effClose; the plug-in deletes itself.
    void close();

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    void setParameter(int index, float value);
    float getParameter(int index);
    std::string parameterName(int index);
    std::string parameterDisplay(int index);
    std::string parameterLabel(int index);
    std::string programName();

    // MIDI: three bytes per event, all delivered in one effProcessEvents.
    void sendMidi(const std::vector<std::vector<uint8_t>>& messages, int deltaFrames = 0);
    void noteOn(int note, int velocity = 100, int channel = 0);
    void noteOff(int note, int channel = 0);
    void controller(int number, int value, int channel = 0);

    // Renders `frames` samples in one processReplacing call.
    void process(int frames, std::vector<float>& left, std::vector<float>& right);
    // Renders `frames` samples in blocks of `blockSize`; returns the left output.
    std::vector<float> render(int frames, int blockSize = 512);

    // Callback bookkeeping.
    std::vector<Call> calls() const;
    int count(VstInt32 opcode) const;
    void clearCalls();

    AEffect* effect = nullptr;
    VstIntPtr versionAnswer = kVstVersion;
    bool provideTime = true;
    VstTimeInfo timeInfo{};
    // Each processReplacing advances samplePos (and ppqPos by the tempo) when set.
    bool advanceTransport = true;

    std::string error;

private:
    static VstIntPtr VST_CALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                           float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    void* library_ = nullptr;
    AEffect* (*entry_)(audioMasterCallback) = nullptr;
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::atomic<int> getTimeCount_{0};
    float sampleRate_ = 44100.0f;
};
