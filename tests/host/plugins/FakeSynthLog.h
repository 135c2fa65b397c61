#pragma once
// What the fake instrument saw, read by the tests through dlsym on the same
// library the host loaded (dlopen hands back the already loaded copy).

#include <cstdint>
#include <vector>

struct FakeSynthEvent {
    int64_t frame; // block start + deltaFrames
    int32_t deltaFrames;
    int32_t blockSize; // sampleFrames of the block it arrived for
    bool sysex;
    std::vector<uint8_t> bytes;
};

struct FakeSynthBlock {
    int64_t start;
    int32_t frames;
    bool hadTime;
    double samplePos;
    double ppqPos;
    double tempo;
    double barStartPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t flags;
};

struct FakeSynthLog {
    std::vector<FakeSynthEvent> events;
    std::vector<FakeSynthBlock> blocks;
    float sampleRate = 0.0f;
    int32_t blockSize = 0;
    bool mainsOn = false;
    int setChunkCalls = 0;
    // The host's answers, asked when switched on and while processing.
    intptr_t hostVersion = 0;
    intptr_t hostSampleRate = 0;
    intptr_t hostBlockSize = 0;
    intptr_t canDoTimeInfo = 0;
    intptr_t canDoNonsense = 0;
    intptr_t processLevel = 0;
};

using FakeSynthLogFunction = FakeSynthLog* (*)();
