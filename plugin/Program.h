#pragma once
// The program store's records: a program is a name and one stored setting
// (value, recorded bend, playback cursor) per parameter.

#include "plugin/BendList.h"

#include <atomic>
#include <cstring>
#include <memory>

struct ProgramParam {
    BendList bend;
    // Playback position in the bend; touched by the audio thread, reset by
    // note handling on the same thread.
    std::atomic<int> cursor{0};
    // The stored value: written by the host and the editor, read by the
    // audio thread at every sub-block. One float is the unit of change.
    std::atomic<float> value{0.0f};
};

struct Program {
    static constexpr int kNameSize = 32;

    explicit Program(int parameterCount)
        : params(new ProgramParam[static_cast<std::size_t>(parameterCount > 0 ? parameterCount : 0)]),
          paramCount(parameterCount > 0 ? parameterCount : 0)
    {
        setName("-- empty --");
    }

    void setName(const char* text)
    {
        // Copies at most 32 bytes and pads the rest with NULs.
        std::size_t i = 0;
        for (; i < kNameSize && text[i] != 0; ++i)
            name[i] = text[i];
        for (; i <= kNameSize; ++i)
            name[i] = 0;
    }

    // The setting of parameter `index` (0 .. paramCount - 1).
    ProgramParam& param(int index) { return params[static_cast<std::size_t>(index)]; }
    const ProgramParam& param(int index) const { return params[static_cast<std::size_t>(index)]; }

    char name[kNameSize + 1] = {};
    std::unique_ptr<ProgramParam[]> params;
    int paramCount;
};
