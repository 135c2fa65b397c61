#include "host/EditorCommand.h"

#include "vst/VstAbi.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kSampleRate = 44100.0;
constexpr int kBlockSize = 512;
constexpr double kTempo = 120.0;

// The transport the plug-in sees: always playing, advanced by the audio
// thread after each block. The callback hands out a record owned by the
// calling thread, so the editor thread and the audio thread never share one.
std::atomic<double> transportSamples{0.0};

VstIntPtr VST_CALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime: {
        thread_local VstTimeInfo info;
        std::memset(&info, 0, sizeof info);
        info.samplePos = transportSamples.load();
        info.sampleRate = kSampleRate;
        info.tempo = kTempo;
        info.ppqPos = info.samplePos / kSampleRate * kTempo / 60.0;
        info.timeSigNumerator = 4;
        info.timeSigDenominator = 4;
        info.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
        return reinterpret_cast<VstIntPtr>(&info);
    }
    default:
        return 0;
    }
}

struct Options {
    const char* plugin = nullptr;
    const char* screenshot = nullptr;
    long afterMs = 0;
};

int usage()
{
    std::fprintf(stderr, "usage: tarvel-host editor PLUGIN.so [--screenshot FILE --after MS]\n");
    return 2;
}

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--screenshot" && i + 1 < argc) {
            options.screenshot = argv[++i];
        } else if (word == "--after" && i + 1 < argc) {
            char* end = nullptr;
            options.afterMs = std::strtol(argv[++i], &end, 10);
            if (!end || *end || options.afterMs < 0)
                return false;
        } else if (!word.empty() && word[0] != '-' && !options.plugin) {
            options.plugin = argv[i];
        } else {
            return false;
        }
    }
    return options.plugin != nullptr;
}

// Writes the window's pixels as the server has them (the plug-in's child
// window included) to a PNG.
bool writeScreenshot(Display* display, Window window, int width, int height, const char* path)
{
    XSync(display, False);
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image)
        return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned long redMask = image->red_mask, greenMask = image->green_mask, blueMask = image->blue_mask;
    auto channel = [](unsigned long pixel, unsigned long mask) -> std::uint32_t {
        if (!mask)
            return 0;
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        const unsigned long bits = mask >> shift;
        return static_cast<std::uint32_t>(((pixel & mask) >> shift) * 255 / bits);
    };
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            row[x] = (channel(p, redMask) << 16) | (channel(p, greenMask) << 8) | channel(p, blueMask);
        }
    }
    cairo_surface_mark_dirty(surface);
    XDestroyImage(image);
    const bool ok = cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace

int runEditorCommand(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options))
        return usage();

    void* library = dlopen(options.plugin, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        std::fprintf(stderr, "editor: cannot load %s: %s\n", options.plugin, why ? why : "unknown error");
        return 1;
    }
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
    AEffect* effect = entry ? entry(&hostCallback) : nullptr;
    if (!effect || effect->magic != kEffectMagic) {
        std::fprintf(stderr, "editor: %s is not a VST 2.4 plug-in\n", options.plugin);
        dlclose(library);
        return 1;
    }
    auto dispatch = [effect](VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                             float opt = 0.0f) { return effect->dispatcher(effect, opcode, index, value, ptr, opt); };
    auto shutDown = [&] {
        dispatch(effMainsChanged, 0, 0);
        dispatch(effClose);
        dlclose(library);
    };
    if (!(effect->flags & effFlagsHasEditor)) {
        std::fprintf(stderr, "editor: %s has no editor\n", options.plugin);
        shutDown();
        return 1;
    }
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kSampleRate));
    dispatch(effSetBlockSize, 0, kBlockSize);
    dispatch(effMainsChanged, 0, 1);

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "editor: cannot open the X display\n");
        shutDown();
        return 1;
    }

    // The window starts at the size the editor reports before it opens and
    // takes the size it reports once open.
    int width = 100, height = 100;
    ERect* rect = nullptr;
    if (dispatch(effEditGetRect, 0, 0, &rect) && rect && rect->right > rect->left && rect->bottom > rect->top) {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
    }
    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), 0, BlackPixel(display, screen),
                                        BlackPixel(display, screen));
    XStoreName(display, window, "Tarvel");
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XSelectInput(display, window, StructureNotifyMask);

    if (dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(window))) == 0) {
        std::fprintf(stderr, "editor: %s could not open its editor\n", options.plugin);
        XDestroyWindow(display, window);
        XCloseDisplay(display);
        shutDown();
        return 1;
    }
    rect = nullptr;
    if (dispatch(effEditGetRect, 0, 0, &rect) && rect && rect->right > rect->left && rect->bottom > rect->top) {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
        XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
        // A fixed-size editor: tell the window manager not to resize it.
        XSizeHints hints{};
        hints.flags = PMinSize | PMaxSize;
        hints.min_width = hints.max_width = width;
        hints.min_height = hints.max_height = height;
        XSetWMNormalHints(display, window, &hints);
    }
    XMapWindow(display, window);
    XFlush(display);

    // Audio to nowhere, block by block at the pace a sound card would ask.
    std::atomic<bool> running{true};
    std::thread audio([&] {
        std::vector<float> left(kBlockSize), right(kBlockSize);
        float* outputs[2] = {left.data(), right.data()};
        const auto period = std::chrono::duration<double>(kBlockSize / kSampleRate);
        auto next = std::chrono::steady_clock::now();
        while (running.load()) {
            effect->processReplacing(effect, nullptr, outputs, kBlockSize);
            transportSamples.store(transportSamples.load() + kBlockSize);
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
            std::this_thread::sleep_until(next);
        }
    });

    int status = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto frame = std::chrono::microseconds(1000000 / 60);
    auto next = start;
    bool done = false;
    while (!done) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
                done = true;
            else if (event.type == DestroyNotify && event.xdestroywindow.window == window)
                done = true;
        }
        dispatch(effEditIdle);
        if (options.screenshot &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(options.afterMs)) {
            if (!writeScreenshot(display, window, width, height, options.screenshot)) {
                std::fprintf(stderr, "editor: cannot write %s\n", options.screenshot);
                status = 1;
            }
            done = true;
        }
        next += frame;
        std::this_thread::sleep_until(next);
    }

    dispatch(effEditClose);
    running.store(false);
    audio.join();
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    shutDown();
    return status;
}
