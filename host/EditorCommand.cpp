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

// The plug-in, loaded and opened as a host opens it; switched off, closed
// and unloaded when this goes.
class LoadedPlugin {
public:
    LoadedPlugin() = default;
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;
    ~LoadedPlugin()
    {
        if (effect) {
            dispatch(effMainsChanged, 0, 0);
            dispatch(effClose);
        }
        if (library_)
            dlclose(library_);
    }

    // Loads the plug-in and, if it has an editor, opens it and switches it
    // on; false (with the reason printed) otherwise.
    bool load(const char* path)
    {
        library_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!library_) {
            const char* why = dlerror();
            std::fprintf(stderr, "editor: cannot load %s: %s\n", path, why ? why : "unknown error");
            return false;
        }
        auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library_, "VSTPluginMain"));
        AEffect* candidate = entry ? entry(&hostCallback) : nullptr;
        if (!candidate || candidate->magic != kEffectMagic) {
            std::fprintf(stderr, "editor: %s is not a VST 2.4 plug-in\n", path);
            return false;
        }
        effect = candidate;
        if (!(effect->flags & effFlagsHasEditor)) {
            std::fprintf(stderr, "editor: %s has no editor\n", path);
            return false;
        }
        dispatch(effOpen);
        dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kSampleRate));
        dispatch(effSetBlockSize, 0, kBlockSize);
        dispatch(effMainsChanged, 0, 1);
        return true;
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    // The editor's size as it reports it, if it reports one.
    bool editorSize(int& width, int& height)
    {
        ERect* rect = nullptr;
        if (!dispatch(effEditGetRect, 0, 0, &rect) || !rect || rect->right <= rect->left || rect->bottom <= rect->top)
            return false;
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
        return true;
    }

    AEffect* effect = nullptr;

private:
    void* library_ = nullptr;
};

// The top-level window the editor opens in, on its own display connection;
// destroyed and closed when this goes.
class EditorWindow {
public:
    EditorWindow() = default;
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;
    ~EditorWindow()
    {
        if (window)
            XDestroyWindow(display, window);
        if (display)
            XCloseDisplay(display);
    }

    // The window starts at the size the editor reports before it opens.
    bool create(LoadedPlugin& plugin)
    {
        display = XOpenDisplay(nullptr);
        if (!display) {
            std::fprintf(stderr, "editor: cannot open the X display\n");
            return false;
        }
        plugin.editorSize(width, height);
        const int screen = DefaultScreen(display);
        window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 0, BlackPixel(display, screen),
                                     BlackPixel(display, screen));
        XStoreName(display, window, "Tarvel");
        deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, window, &deleteWindow, 1);
        XSelectInput(display, window, StructureNotifyMask);
        return true;
    }

    // Opens the editor in the window, which then takes the size the editor
    // reports once open, fixed, and shows.
    bool openEditor(LoadedPlugin& plugin)
    {
        if (plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(window))) == 0)
            return false;
        if (plugin.editorSize(width, height)) {
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
        return true;
    }

    // Takes the window's pending events; true once the user closed it.
    bool closed()
    {
        bool done = false;
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
                done = true;
            else if (event.type == DestroyNotify && event.xdestroywindow.window == window)
                done = true;
        }
        return done;
    }

    Display* display = nullptr;
    Window window = 0;
    Atom deleteWindow = 0;
    int width = 100, height = 100;
};

// Audio to nowhere, block by block at the pace a sound card would ask, on a
// thread of its own until stop().
class AudioToNowhere {
public:
    explicit AudioToNowhere(AEffect* effect) : thread_([this, effect] { run(effect); }) {}
    AudioToNowhere(const AudioToNowhere&) = delete;
    AudioToNowhere& operator=(const AudioToNowhere&) = delete;
    ~AudioToNowhere() { stop(); }
    void stop()
    {
        running_.store(false);
        if (thread_.joinable())
            thread_.join();
    }

private:
    void run(AEffect* effect)
    {
        std::vector<float> left(kBlockSize), right(kBlockSize);
        float* outputs[2] = {left.data(), right.data()};
        const auto period = std::chrono::duration<double>(kBlockSize / kSampleRate);
        auto next = std::chrono::steady_clock::now();
        while (running_.load()) {
            effect->processReplacing(effect, nullptr, outputs, kBlockSize);
            transportSamples.store(transportSamples.load() + kBlockSize);
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
            std::this_thread::sleep_until(next);
        }
    }

    std::atomic<bool> running_{true};
    std::thread thread_;
};

// Idles the editor at 60 Hz until its window is closed or, with a
// screenshot asked for, until the screenshot is written. Returns the exit
// status.
int idleUntilDone(LoadedPlugin& plugin, EditorWindow& window, const Options& options)
{
    int status = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto frame = std::chrono::microseconds(1000000 / 60);
    auto next = start;
    bool done = false;
    while (!done) {
        done = window.closed();
        plugin.dispatch(effEditIdle);
        if (options.screenshot &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(options.afterMs)) {
            if (!writeScreenshot(window.display, window.window, window.width, window.height, options.screenshot)) {
                std::fprintf(stderr, "editor: cannot write %s\n", options.screenshot);
                status = 1;
            }
            done = true;
        }
        next += frame;
        std::this_thread::sleep_until(next);
    }
    return status;
}

} // namespace

int runEditorCommand(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options))
        return usage();
    LoadedPlugin plugin;
    if (!plugin.load(options.plugin))
        return 1;
    EditorWindow window;
    if (!window.create(plugin))
        return 1;
    if (!window.openEditor(plugin)) {
        std::fprintf(stderr, "editor: %s could not open its editor\n", options.plugin);
        return 1;
    }
    AudioToNowhere audio(plugin.effect);
    const int status = idleUntilDone(plugin, window, options);
    // The editor closes before the audio stops, as in a host; then the
    // window goes, then the plug-in.
    plugin.dispatch(effEditClose);
    audio.stop();
    return status;
}
