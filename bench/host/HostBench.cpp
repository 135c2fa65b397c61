// Host overhead: reading and scheduling a song, and rendering it through
// Tarvel at several block sizes (the real-time factor is the song length
// divided by the time per iteration).

#include "host/MidiFile.h"
#include "host/Plugin.h"
#include "host/Renderer.h"
#include "host/Schedule.h"
#include "host/TempoMap.h"

#include <benchmark/benchmark.h>

using namespace TarvelHost;

namespace {

struct NullSink : AudioSink {
    void write(const float* left, const float*, int frames) override { benchmark::DoNotOptimize(left[frames - 1]); }
};

void ParseAndScheduleDemo(benchmark::State& state)
{
    for (auto _ : state) {
        MidiFile song = MidiFile::load(DEMO_SONG_PATH);
        TempoMap tempo(song, 44100);
        Schedule schedule(song, tempo);
        benchmark::DoNotOptimize(schedule.endFrame());
    }
}
BENCHMARK(ParseAndScheduleDemo);

void RenderDemoThroughTarvel(benchmark::State& state)
{
    MidiFile song = MidiFile::load(DEMO_SONG_PATH);
    TempoMap tempo(song, 44100);
    Schedule schedule(song, tempo);
    RenderSettings settings;
    settings.blockSize = static_cast<int>(state.range(0));
    settings.tailSeconds = 0.0;
    for (auto _ : state) {
        auto plugin = Plugin::load(TARVEL_PLUGIN_PATH);
        NullSink sink;
        RenderResult result = render(*plugin, tempo, schedule, settings, sink);
        state.counters["songSeconds"] = static_cast<double>(result.frames) / settings.sampleRate;
    }
}
BENCHMARK(RenderDemoThroughTarvel)->Arg(64)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
