// libFuzzer target for the chunk reader. Every input is loaded into a fresh
// Synth both as a program and as a bank; the store it leaves behind must
// write out again and render without any sanitizer report.

#include "dsp/WaveTable.h"
#include "plugin/Synth.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

VstIntPtr VST_CALLBACK fuzzHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

void renderAFewBlocks(Synth& synth)
{
    float left[64], right[64];
    float* outputs[2] = {left, right};
    synth.noteOn(60, 100);
    synth.noteOn(67, 80);
    for (int block = 0; block < 4; ++block)
        synth.processReplacing(nullptr, outputs, 64);
    synth.noteOff(60);
    synth.processReplacing(nullptr, outputs, 17);
}

// Loads the input as `isPreset` says, then writes the store out and loads
// that back: what the plug-in wrote it must read.
void loadAndSaveAgain(Synth& synth, const uint8_t* data, std::size_t size, bool isPreset)
{
    // The reader gets its own heap copy of exactly the input, so reading
    // one byte past the end is an AddressSanitizer report.
    std::vector<uint8_t> bytes(data, data + size);
    synth.setChunk(bytes.empty() ? nullptr : bytes.data(), static_cast<VstInt32>(bytes.size()), isPreset);

    void* out = nullptr;
    const VstInt32 written = synth.getChunk(&out, isPreset);
    if (written <= 0 || out == nullptr)
        __builtin_trap();
    std::vector<uint8_t> again(static_cast<uint8_t*>(out), static_cast<uint8_t*>(out) + written);
    synth.setChunk(again.data(), written, isPreset);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // Keep the table alive across inputs: building it dominates a Synth's
    // construction and it is immutable.
    static const std::shared_ptr<const Vorn::WaveTable> table = Vorn::WaveTable::shared();
    (void)table;
    // One instance per input, so every input is reproducible on its own.
    Synth synth(fuzzHost, nullptr);
    synth.setSampleRate(44100.0f);
    loadAndSaveAgain(synth, data, size, true);
    loadAndSaveAgain(synth, data, size, false);
    char name[kVstMaxProgNameLen + 1];
    synth.getProgramName(name);
    for (int i = 0; i < synth.parameterCount(); ++i) {
        char text[kVstMaxParamStrLen + 1];
        synth.getParameterDisplay(i, text);
    }
    renderAFewBlocks(synth);
    return 0;
}
