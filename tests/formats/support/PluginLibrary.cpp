#include "support/PluginUnderTest.h"

#include "host/SharedLibrary.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

void* openPluginLibrary(const std::string& path, std::string& error)
{
#ifdef _WIN32
    return TarvelHost::openSharedLibrary(path, error);
#else
#ifdef TARVEL_KEEP_PLUGIN_LOADED
    constexpr int keepLoaded = RTLD_NODELETE;
#else
    constexpr int keepLoaded = 0;
#endif
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | keepLoaded);
    if (!library) {
        const char* why = dlerror();
        error = why ? why : "dlopen failed";
    }
    return library;
#endif
}

void* pluginSymbol(void* library, const char* name)
{
    return TarvelHost::findLibrarySymbol(library, name);
}

void closePluginLibrary(void* library)
{
    TarvelHost::closeSharedLibrary(library);
}
