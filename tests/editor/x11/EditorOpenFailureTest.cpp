// Asked to open its editor where no window of its own can exist (no parent,
// a handle that names no window, no display at all), the plug-in answers
// failure, so the host shows nothing rather than an empty frame; a real
// window still opens. Run under xvfb-run.

#include "editor/SynthEditor.h"
#include "gui/CFrame.h"
#include "plugin/Synth.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

VstIntPtr VST_CALLBACK versionHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

void* handle(Window window)
{
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
}

} // namespace

TEST(EditorOpen, FailsWhereNoWindowCanBeMadeAndSucceedsInARealOne)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no X server: run under xvfb-run";
    Window gone = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 740, 520, 0, 0, 0);
    XDestroyWindow(display, gone);
    Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 740, 520, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);

    Synth synth(&versionHost, &SynthEditor::create);
    const auto open = [&](void* window) { return synth.dispatcher(effEditOpen, 0, 0, window, 0.0f); };
    const auto frame = [&] { return static_cast<SynthEditor*>(synth.getEditor())->getFrame(); };

    EXPECT_EQ(open(nullptr), 0);
    EXPECT_EQ(frame(), nullptr);
    EXPECT_EQ(open(handle(gone)), 0) << "a destroyed window";
    EXPECT_EQ(frame(), nullptr);
    EXPECT_EQ(open(handle(0x7ffffff0)), 0) << "an id that names no window";
    EXPECT_EQ(frame(), nullptr);
    synth.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f); // harmless with nothing open

    // No display: the same handle that opens below cannot be used.
    const std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", ":9999", 1);
    EXPECT_EQ(open(handle(parent)), 0) << "no display";
    EXPECT_EQ(frame(), nullptr);
    setenv("DISPLAY", saved.c_str(), 1);

    ASSERT_EQ(open(handle(parent)), 1);
    ASSERT_NE(frame(), nullptr);
    EXPECT_TRUE(frame()->isOpen());
    synth.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);

    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}
