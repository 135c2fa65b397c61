#include "dsp/WTOscillator.h"
#include "dsp/WaveTable.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace Vorn;

namespace {

// The build a plug-in instance pays when it is the first in the process:
// one construction, cold caches and fresh pages. Registered first so that it
// really is the first build of the run.
void BM_WaveTableFirstBuild(benchmark::State& state)
{
    for (auto _ : state) {
        auto table = std::make_unique<WaveTable>();
        benchmark::DoNotOptimize(table->data());
    }
}
BENCHMARK(BM_WaveTableFirstBuild)->Iterations(1)->Unit(benchmark::kMillisecond);

// Repeated builds, for a steadier figure of the same work.
void BM_WaveTableBuild(benchmark::State& state)
{
    for (auto _ : state) {
        auto table = std::make_unique<WaveTable>();
        benchmark::DoNotOptimize(table->data());
    }
}
BENCHMARK(BM_WaveTableBuild)->Unit(benchmark::kMillisecond);

// One oscillator rendering 16-sample blocks of "saw" at 44.1 kHz, with the
// plain read (position 0) or the two-read comb (position above 0).
void renderOscillator(benchmark::State& state, float position)
{
    std::shared_ptr<const WaveTable> table = WaveTable::shared();
    Effect effect;
    WTOscillator osc(&effect, "Osc1", table.get());
    effect.parameter(effect.findParameter("Osc1Position")).value = position;
    osc.noteOn(57, 100);
    for (auto _ : state) {
        osc.process(44100, kSubBlock);
        benchmark::DoNotOptimize(osc.output);
        benchmark::ClobberMemory();
    }
    state.counters["per_sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSubBlock,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_OscillatorPositionZero(benchmark::State& state)
{
    renderOscillator(state, 0.0f);
}
BENCHMARK(BM_OscillatorPositionZero);

void BM_OscillatorPositionAboveZero(benchmark::State& state)
{
    renderOscillator(state, 0.3f);
}
BENCHMARK(BM_OscillatorPositionAboveZero);

} // namespace

BENCHMARK_MAIN();
