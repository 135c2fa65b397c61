// Writes the fuzzer's seed corpus: real chunks as the plug-in produces them
// (a fresh bank, a program, a randomised program with recorded bends, a bank
// with bends). Usage: make_chunk_corpus <folder>

#include "plugin/Synth.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

VstIntPtr VST_CALLBACK corpusHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

bool writeChunk(Synth& synth, bool isPreset, const std::string& path)
{
    void* data = nullptr;
    const VstInt32 size = synth.getChunk(&data, isPreset);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(data, 1, static_cast<std::size_t>(size), file) == static_cast<std::size_t>(size);
    return std::fclose(file) == 0 && ok;
}

void render(Synth& synth, int frames)
{
    std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
    float* outputs[2] = {left.data(), right.data()};
    synth.processReplacing(nullptr, outputs, frames);
}

// Records a knob motion on a few parameters while a note sounds.
void recordBends(Synth& synth, std::initializer_list<int> indices)
{
    synth.noteOn(57, 100);
    synth.armBend();
    for (int index : indices) {
        for (int step = 0; step < 6; ++step) {
            synth.setParameter(index, 0.1f + 0.13f * static_cast<float>(step));
            render(synth, 441);
        }
    }
    synth.disarmBend();
    synth.noteOff(57);
    render(synth, 4410);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = true;

    Synth fresh(corpusHost);
    fresh.setSampleRate(44100.0f);
    ok &= writeChunk(fresh, false, folder + "/fresh-bank.vqbk");
    ok &= writeChunk(fresh, true, folder + "/fresh-program.vqps");

    Synth bent(corpusHost);
    bent.setSampleRate(44100.0f);
    char name[] = "Bent";
    bent.setProgram(3);
    bent.setProgramName(name);
    bent.randomise();
    recordBends(
        bent, {bent.findParameter("FilterCutoff"), bent.findParameter("Osc1Position"), bent.findParameter("DelayWet")});
    ok &= writeChunk(bent, true, folder + "/random-program-bends.vqps");
    bent.setProgram(7);
    recordBends(bent, {bent.findParameter("MixerBalance")});
    ok &= writeChunk(bent, false, folder + "/bank-bends.vqbk");
    return ok ? 0 : 1;
}
