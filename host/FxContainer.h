#pragma once
// The standard preset containers: .fxp (one program) and .fxb (a bank),
// both big-endian, holding either a parameter list or the plug-in's opaque
// chunk. Reading checks every length against the file, so a damaged preset
// is reported (with its byte offset) rather than handed to the plug-in.

#include <cstdint>
#include <string>
#include <vector>

namespace TarvelHost {

struct FxProgram {
    std::string name;           // up to 28 bytes in the file
    std::vector<float> params;  // 'FxCk' form
    std::vector<uint8_t> chunk; // 'FPCh' form
    bool opaque = false;
    int32_t fxID = 0;
    int32_t fxVersion = 0;
    int32_t numParams = 0; // the plug-in's count, recorded with an opaque chunk
};

struct FxBank {
    std::vector<FxProgram> programs; // 'FxBk' form
    std::vector<uint8_t> chunk;      // 'FBCh' form
    bool opaque = false;
    int32_t fxID = 0;
    int32_t fxVersion = 0;
    int32_t version = 2;
    int32_t numPrograms = 0;     // the plug-in's count, recorded with an opaque chunk
    int32_t currentProgram = -1; // from a version 2 bank; -1 when absent
};

struct FxFile {
    bool isBank = false;
    FxProgram program;
    FxBank bank;
};

bool isFxContainer(const std::vector<uint8_t>& data);
// Throws HostError naming the byte offset of the fault.
FxFile parseFx(const std::vector<uint8_t>& data);
std::vector<uint8_t> writeFxProgram(const FxProgram& program);
std::vector<uint8_t> writeFxBank(const FxBank& bank);

} // namespace TarvelHost
