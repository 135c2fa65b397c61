// One idle pass of the open editor with nothing changing, as a host calls
// it 60 times a second: the toolkit's idle step (events, timers, pending
// redraws) and the poll of every knob's live value. Budget: 1 % of one core
// at 60 Hz, i.e. under 166 microseconds a pass.
//
// The window variant needs an X server (run under xvfb-run); without one it
// reports an error and the offscreen variant still runs.

#include "editor/SynthEditor.h"
#include "plugin/Synth.h"

#include <benchmark/benchmark.h>

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>

namespace {

VstIntPtr VST_CALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

void runIdle(benchmark::State& state, void* parentWindow)
{
    auto synth = std::make_unique<Synth>(&quietHost, &SynthEditor::create);
    AEffEditor* editor = synth->getEditor();
    editor->open(parentWindow);
    // The first passes paint the whole window and refresh every knob.
    for (int i = 0; i < 10; ++i)
        editor->idle();
    for (auto _ : state)
        editor->idle();
    // Seconds per pass times 60: the fraction of one core at 60 Hz.
    state.counters["core_share_at_60Hz"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / 60.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    editor->close();
}

void BM_IdlePassNothingChangingOffscreen(benchmark::State& state)
{
    runIdle(state, nullptr);
}
BENCHMARK(BM_IdlePassNothingChangingOffscreen);

void BM_IdlePassNothingChangingInAWindow(benchmark::State& state)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        state.SkipWithError("no X display");
        for (auto _ : state) {
        }
        return;
    }
    Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 740, 520, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    runIdle(state, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)));
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}
BENCHMARK(BM_IdlePassNothingChangingInAWindow);

} // namespace

BENCHMARK_MAIN();
