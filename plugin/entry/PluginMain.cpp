// The library's only exported symbols: the VST 2.4 entry point under both of
// its published names. `main` is an alias of the same function, so both
// names resolve to one address.

#include "editor/SynthEditor.h"
#include "plugin/Synth.h"

#include <new>

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    if (host == nullptr)
        return nullptr;
    if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try {
        Synth* synth = new Synth(host, &SynthEditor::create);
        return synth->getAeffect();
    } catch (const std::bad_alloc&) {
        // A partly built plug-in is never handed to the host; the members
        // built so far were destroyed by the unwinding constructor.
        return nullptr;
    }
}

extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"))) AEffect*
vstLegacyMain(audioMasterCallback host) __asm__("main");
