// What a host must show for each factory preset: every program of a bank as
// the VST 2.4 edition holds it once the bank is loaded, the reference for the
// presets of the other editions.
//   factory_programs PLUGIN.so BANK.fxb
// Prints one tab-separated line per parameter of each program: the program's
// name, the parameter's index and its value (%.9g, which keeps a float exact).

#include "host/FxContainer.h"
#include "support/TestHost.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PLUGIN.so BANK.fxb\n", argv[0]);
        return 2;
    }
    try {
        std::ifstream in(argv[2], std::ios::binary);
        const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const TarvelHost::FxFile file = TarvelHost::parseFx(data);
        if (!file.isBank || !file.bank.opaque) {
            std::fprintf(stderr, "%s: not a bank of the plug-in's own chunk\n", argv[2]);
            return 2;
        }
        TestHost host(argv[1]);
        if (host.start(48000.0f, 512) == nullptr) {
            std::fprintf(stderr, "%s: %s\n", argv[1], host.error.c_str());
            return 2;
        }
        std::vector<uint8_t> chunk = file.bank.chunk;
        host.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
        for (VstInt32 p = 0; p < host.effect->numPrograms; ++p) {
            host.dispatch(effSetProgram, 0, p);
            const std::string name = host.programName();
            for (int k = 0; k < host.effect->numParams; ++k)
                std::printf("%s\t%d\t%.9g\n", name.c_str(), k, static_cast<double>(host.getParameter(k)));
        }
        host.close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[2], e.what());
        return 2;
    }
    return 0;
}
