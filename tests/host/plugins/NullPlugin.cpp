// A plug-in whose entry point refuses to create an effect, as one does when
// it cannot start (missing licence, unsupported host).

#include "vst/VstAbi.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback)
{
    return nullptr;
}
