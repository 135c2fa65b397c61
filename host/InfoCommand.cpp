// tarvel-host info: what a plug-in offers, the way a sequencer's plug-in
// scanner sees it: identity, flags, capabilities, parameters and programs.

#include "host/InfoCommand.h"

#include "host/CommandLine.h"
#include "host/Plugin.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

using namespace TarvelHost;

namespace {

std::string fourCC(int32_t id)
{
    std::string s;
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>(uint32_t(id) >> (24 - 8 * i));
        s += (c >= 32 && c <= 126) ? c : '.';
    }
    return s;
}

} // namespace

int runInfoCommand(int argc, char** argv)
{
    if (argc != 1)
        throw UsageError("info needs exactly one plug-in");
    std::unique_ptr<Plugin> plugin = Plugin::load(argv[0]);
    AEffect* e = plugin->effect();
    std::printf("plug-in:     %s\n", plugin->path().c_str());
    auto orNone = [](const std::string& s) { return s.empty() ? std::string("(not given)") : s; };
    std::printf("name:        %s\n", orNone(plugin->effectName()).c_str());
    std::printf("vendor:      %s\n", orNone(plugin->vendorString()).c_str());
    std::printf("product:     %s\n", orNone(plugin->productString()).c_str());
    std::printf("unique ID:   '%s' (0x%08x)\n", fourCC(e->uniqueID).c_str(), static_cast<uint32_t>(e->uniqueID));
    std::printf("version:     %d (vendor version %ld)\n", e->version,
                static_cast<long>(plugin->dispatch(effGetVendorVersion)));
    std::printf("VST version: %ld\n", static_cast<long>(plugin->dispatch(effGetVstVersion)));
    VstIntPtr category = plugin->dispatch(effGetPlugCategory);
    std::printf("category:    %ld%s\n", static_cast<long>(category),
                category == kPlugCategSynth    ? " (instrument)"
                : category == kPlugCategEffect ? " (effect)"
                                               : "");
    std::string flags;
    struct Flag {
        int bit;
        const char* name;
    };
    static const Flag known[] = {
        {effFlagsHasEditor, "HasEditor"},         {effFlagsCanReplacing, "CanReplacing"},
        {effFlagsProgramChunks, "ProgramChunks"}, {effFlagsIsSynth, "IsSynth"},
        {effFlagsNoSoundInStop, "NoSoundInStop"}, {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
    for (const Flag& f : known)
        if (e->flags & f.bit)
            flags += std::string(flags.empty() ? "" : " ") + f.name;
    std::printf("flags:       0x%x %s\n", static_cast<unsigned>(e->flags), flags.c_str());
    std::printf("audio:       %d inputs, %d outputs, latency %d samples\n", e->numInputs, e->numOutputs,
                e->initialDelay);
    static const char* const canDos[] = {"receiveVstEvents",
                                         "receiveVstMidiEvent",
                                         "receiveVstTimeInfo",
                                         "sendVstEvents",
                                         "sendVstMidiEvent",
                                         "midiProgramNames",
                                         "bypass"};
    std::printf("can do:     ");
    for (const char* what : canDos) {
        VstIntPtr answer = plugin->dispatch(effCanDo, 0, 0, const_cast<char*>(what));
        std::printf(" %s=%s", what, answer > 0 ? "yes" : answer < 0 ? "no" : "?");
    }
    std::printf("\n");
    std::printf("\nparameters (%d):\n", e->numParams);
    for (int i = 0; i < e->numParams; ++i) {
        std::string display = plugin->paramDisplay(i);
        std::string label = plugin->paramLabel(i);
        std::printf("  %3d  %-8s  %-12s %-6s (%.4f)\n", i, plugin->paramName(i).c_str(), display.c_str(), label.c_str(),
                    static_cast<double>(plugin->getParameter(i)));
    }
    std::printf("\nprograms (%d, current %d):\n", e->numPrograms, plugin->currentProgram());
    for (int i = 0; i < e->numPrograms; ++i)
        std::printf("  %3d  %s\n", i, plugin->programName(i).c_str());
    return 0;
}
