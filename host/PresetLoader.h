#pragma once
// Loading a program or bank into whatever receives it: a plug-in loaded
// through its entry point (tarvel-host) or the engine built into the
// standalone application. The file is an .fxp/.fxb container or the
// plug-in's raw chunk; everything is checked before anything reaches the
// receiver, so a damaged file is refused (HostError) and changes nothing.

#include <cstdint>
#include <string>
#include <vector>

namespace TarvelHost {

class PresetTarget {
public:
    virtual ~PresetTarget() = default;
    virtual int32_t uniqueID() = 0;
    virtual bool acceptsChunks() = 0;
    virtual int numParams() = 0;
    virtual int numPrograms() = 0;
    // The opaque chunk of the current program (program == true) or the bank.
    virtual void setChunk(bool program, const std::vector<uint8_t>& data) = 0;
    virtual void setParameter(int index, float value) = 0;
    virtual void setProgram(int program) = 0;
    virtual void setProgramName(const std::string& name) = 0;
};

// Returns a short description of what was loaded ("bank chunk, 4021 bytes").
std::string loadPreset(PresetTarget& target, const std::string& path);

// Whether a raw chunk is a program (true) or a bank, by its magic "vqps" or
// "vqbk". Data without either is refused (HostError naming `path`).
bool rawChunkIsProgram(const std::vector<uint8_t>& data, const std::string& path);

} // namespace TarvelHost
