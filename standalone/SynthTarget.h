#pragma once
// The built-in engine as the receiver of a preset file or the saved state.

#include "formats/HostedSynth.h"
#include "host/PresetLoader.h"

class SynthTarget : public TarvelHost::PresetTarget {
public:
    explicit SynthTarget(HostedSynth& synth) : synth_(synth) {}

    int32_t uniqueID() override;
    bool acceptsChunks() override { return true; }
    int numParams() override { return synth_.parameterCount(); }
    int numPrograms() override;
    void setChunk(bool program, const std::vector<uint8_t>& data) override;
    void setParameter(int index, float value) override;
    // The program a file names as current; a slot is taken as it is, even
    // one still as a fresh instance has it.
    void setProgram(int program) override { synth_.restoreCurrentProgram(program); }
    void setProgramName(const std::string& name) override;

private:
    HostedSynth& synth_;
};
