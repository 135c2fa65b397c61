#include "standalone/SynthTarget.h"

#include "plugin/Synth.h"

#include <cstring>

int32_t SynthTarget::uniqueID()
{
    return synth_.synth().getAeffect()->uniqueID;
}

int SynthTarget::numPrograms()
{
    return Synth::kProgramCount;
}

void SynthTarget::setChunk(bool program, const std::vector<uint8_t>& data)
{
    if (program)
        synth_.loadProgramChunk(data.data(), data.size());
    else
        synth_.loadBankChunk(data.data(), data.size());
}

void SynthTarget::setParameter(int index, float value)
{
    synth_.setParameterFromHost(index, value);
}

void SynthTarget::setProgramName(const std::string& name)
{
    char text[kVstMaxProgNameLen + 1] = {};
    std::strncpy(text, name.c_str(), kVstMaxProgNameLen);
    synth_.synth().setProgramName(text);
}
