#include "formats/FactoryBank.h"

#include "plugin/Synth.h"

// Generated at build time from examples/factory.fxb (formats/EmbedBank.cmake).
extern const unsigned char kFactoryBankChunk[];
extern const std::size_t kFactoryBankChunkSize;

const uint8_t* FactoryBank::bankChunk()
{
    return kFactoryBankChunk;
}

std::size_t FactoryBank::bankChunkSize()
{
    return kFactoryBankChunkSize;
}

const FactoryBank& FactoryBank::instance()
{
    static const FactoryBank bank;
    return bank;
}

FactoryBank::FactoryBank()
{
    Synth synth(nullptr);
    std::vector<uint8_t> bank(bankChunk(), bankChunk() + bankChunkSize());
    synth.setChunk(bank.data(), static_cast<VstInt32>(bank.size()), false);
    for (int i = 0; i < Synth::kProgramCount; ++i) {
        synth.setProgram(i);
        char name[kVstMaxProgNameLen + 1] = {};
        synth.getProgramNameIndexed(0, i, name);
        names_.emplace_back(name);
        void* data = nullptr;
        const VstInt32 size = synth.getChunk(&data, true);
        const auto* bytes = static_cast<const uint8_t*>(data);
        programs_.emplace_back(bytes, bytes + (size > 0 ? size : 0));
    }
}
