#pragma once
// Opening a plug-in's library and finding its entry point: dlopen on Linux,
// LoadLibrary on Windows. The rest of the host only sees these three calls.

#include <string>

namespace TarvelHost {

// The library at `path`, or null with the system's reason in `error`.
void* openSharedLibrary(const std::string& path, std::string& error);
// An exported symbol, or null.
void* findLibrarySymbol(void* library, const char* name);
void closeSharedLibrary(void* library);

} // namespace TarvelHost
