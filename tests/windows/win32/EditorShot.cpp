// Opens a plug-in's editor the way a Windows host does (a top-level window
// whose handle goes to effEditOpen, then effEditIdle from the message loop)
// and writes what the window shows as a PNG.
//
// usage: tarvel-editor-shot PLUGIN.dll OUT.png [MILLISECONDS]
// Exit codes: 0 written, 1 failure, 77 the plug-in has no editor.

#include "Capture.h"

#include "host/HostError.h"
#include "host/Plugin.h"

#include <cstdio>
#include <cstdlib>

using namespace TarvelHost;

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s PLUGIN.dll OUT.png [MILLISECONDS]\n", argv[0]);
        return 2;
    }
    const int milliseconds = argc == 4 ? std::atoi(argv[3]) : 500;
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
        auto pixels = Capture::grab(window, width, height);
        plugin->dispatch(effEditClose);
        DestroyWindow(window);
        if (pixels.empty() || !Capture::writePng(pixels, width, height, argv[2])) {
            std::fprintf(stderr, "cannot capture the window or write %s\n", argv[2]);
            return 1;
        }
        std::printf("%d x %d editor written to %s\n", width, height, argv[2]);
        return 0;
    } catch (const HostError& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
