// Opens a plug-in's editor the way a Windows host does (a top-level window
// whose handle goes to effEditOpen, then effEditIdle from the message loop)
// and writes what the window shows as a PNG. A CLAP plug-in (a path ending
// in .clap) gets the window through its GUI extension and is driven by the
// host timer it asks for.
//
// usage: tarvel-editor-shot PLUGIN.dll|PLUGIN.clap OUT.png [MILLISECONDS]
// Exit codes: 0 written, 1 failure, 77 the plug-in has no editor.

#include "Capture.h"

#include "host/HostError.h"
#include "host/Plugin.h"

#ifdef TARVEL_EDITOR_SHOT_CLAP
#include "support/ClapPlugin.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace TarvelHost;

namespace {

bool save(HWND window, int width, int height, const char* path)
{
    auto pixels = Capture::grab(window, width, height);
    if (pixels.empty() || !Capture::writePng(pixels, width, height, path)) {
        std::fprintf(stderr, "cannot capture the window or write %s\n", path);
        return false;
    }
    std::printf("%d x %d editor written to %s\n", width, height, path);
    return true;
}

#ifdef TARVEL_EDITOR_SHOT_CLAP
int shootClap(const char* path, const char* out, int milliseconds)
{
    constexpr int kWidth = 740, kHeight = 520;
    ClapPlugin plugin(path);
    if (!plugin.error.empty()) {
        std::fprintf(stderr, "error: %s\n", plugin.error.c_str());
        return 1;
    }
    plugin.activate(44100, 512);
    HWND window = Capture::hostWindow(kWidth, kHeight, L"Tarvel");
    if (!window || !plugin.openEditor(reinterpret_cast<uintptr_t>(window))) {
        std::fprintf(stderr, "the plug-in cannot show its editor in a window\n");
        return 1;
    }
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
        Capture::pumpThread();
        plugin.idleEditor();
        Sleep(30);
    } while (static_cast<LONG>(GetTickCount() - end) < 0);
    Capture::pumpThread();
    plugin.idleEditor();
    const bool ok = save(window, kWidth, kHeight, out);
    plugin.closeEditor();
    DestroyWindow(window);
    return ok ? 0 : 1;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s PLUGIN.dll|PLUGIN.clap OUT.png [MILLISECONDS]\n", argv[0]);
        return 2;
    }
    const int milliseconds = argc == 4 ? std::atoi(argv[3]) : 500;
#ifdef TARVEL_EDITOR_SHOT_CLAP
    const std::size_t length = std::strlen(argv[1]);
    if (length > 5 && std::strcmp(argv[1] + length - 5, ".clap") == 0)
        return shootClap(argv[1], argv[2], milliseconds);
#endif
    try {
        std::unique_ptr<Plugin> plugin = Plugin::load(argv[1]);
        if (!(plugin->effect()->flags & effFlagsHasEditor)) {
            std::printf("%s has no editor\n", argv[1]);
            return 77;
        }
        plugin->start(44100, 512);
        ERect* rect = nullptr;
        plugin->dispatch(effEditGetRect, 0, 0, &rect);
        if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) {
            std::fprintf(stderr, "the editor reports no size\n");
            return 1;
        }
        int width = rect->right - rect->left;
        int height = rect->bottom - rect->top;
        HWND window = Capture::hostWindow(width, height, L"Tarvel");
        if (!window) {
            std::fprintf(stderr, "cannot open a window\n");
            return 1;
        }
        if (plugin->dispatch(effEditOpen, 0, 0, window) == 0)
            std::fprintf(stderr, "warning: effEditOpen returned 0\n");
        // An editor may only know its size once open; hosts ask again then
        // and fit their window to it.
        rect = nullptr;
        plugin->dispatch(effEditGetRect, 0, 0, &rect);
        if (rect && rect->right > rect->left && rect->bottom > rect->top &&
            (rect->right - rect->left != width || rect->bottom - rect->top != height)) {
            width = rect->right - rect->left;
            height = rect->bottom - rect->top;
            RECT outer{0, 0, width, height};
            AdjustWindowRect(&outer, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE);
            SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                         SWP_NOMOVE | SWP_NOZORDER);
        }
        // Hosts call the editor's idle some 30 times a second from their loop.
        const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
        do {
            Capture::pumpThread();
            plugin->dispatch(effEditIdle);
            Sleep(30);
        } while (static_cast<LONG>(GetTickCount() - end) < 0);
        Capture::pumpThread();
        plugin->dispatch(effEditIdle);
        const bool ok = save(window, width, height, argv[2]);
        plugin->dispatch(effEditClose);
        DestroyWindow(window);
        return ok ? 0 : 1;
    } catch (const HostError& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
