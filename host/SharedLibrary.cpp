#include "host/SharedLibrary.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace TarvelHost {

#if defined(_WIN32)

namespace {

std::string systemMessage(DWORD code)
{
    char* buffer = nullptr;
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string message = length && buffer ? std::string(buffer, length) : "error " + std::to_string(code);
    if (buffer)
        LocalFree(buffer);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

} // namespace

void* openSharedLibrary(const std::string& path, std::string& error)
{
    // The file itself, never a namesake along PATH, and with the DLLs next to
    // it found first, as hosts load plug-ins; both need the full path. The
    // path comes from the command line in the ANSI code page, as the host's
    // other file names do, so the ANSI calls take it.
    std::string full = path;
    char buffer[MAX_PATH * 4];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (length > 0 && length < sizeof buffer)
        full = buffer;
    HMODULE library = LoadLibraryExA(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr)
        error = systemMessage(GetLastError());
    return reinterpret_cast<void*>(library);
}

void* findLibrarySymbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeSharedLibrary(void* library)
{
    FreeLibrary(static_cast<HMODULE>(library));
}

#else

void* openSharedLibrary(const std::string& path, std::string& error)
{
    // Without a slash dlopen would search the library path instead of the file.
    std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* library = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        error = why ? why : "unknown dlopen error";
    }
    return library;
}

void* findLibrarySymbol(void* library, const char* name)
{
    return dlsym(library, name);
}

void closeSharedLibrary(void* library)
{
    dlclose(library);
}

#endif

} // namespace TarvelHost
