// Cost of each global effect per sample, processed in full 16-sample
// sub-blocks with the effect switched on.

#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/Phaser.h"
#include "dsp/Redux.h"
#include "dsp/WaveTable.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace Vorn;

namespace {

class Noise : public Module {
public:
    explicit Noise(Effect* effect) : Module(effect, "noise") {}
    void process(int, int count) override
    {
        for (int i = 0; i < count; ++i) {
            seed_ = seed_ * 1664525u + 1013904223u;
            output[i] = static_cast<float>(seed_ >> 8) / 8388608.0f - 1.0f;
        }
    }

private:
    unsigned seed_ = 1;
};

void set(Effect& effect, const char* name, float value)
{
    effect.parameter(effect.findParameter(name)).value = value;
}

void runBlocks(benchmark::State& state, Noise& noise, Module& module)
{
    noise.process(44100, kSubBlock);
    for (auto _ : state) {
        module.process(44100, kSubBlock);
        benchmark::DoNotOptimize(module.output);
        benchmark::ClobberMemory();
    }
    // Shown as seconds per sample with an SI prefix ("3.1n" = 3.1 ns).
    state.counters["per_sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSubBlock,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Redux(benchmark::State& state)
{
    Effect effect;
    Noise noise(&effect);
    Redux redux(&effect, "Digi", &noise);
    set(effect, "DigiRate", 0.3f);
    set(effect, "DigiCrush", 0.5f);
    runBlocks(state, noise, redux);
}

void BM_Phaser(benchmark::State& state)
{
    auto table = WaveTable::shared();
    Effect effect;
    Noise noise(&effect);
    Phaser phaser(&effect, "Phaser", &noise, table.get());
    set(effect, "PhaserWet", 0.5f);
    runBlocks(state, noise, phaser);
}

void BM_Chorus(benchmark::State& state)
{
    auto table = WaveTable::shared();
    Effect effect;
    Noise noise(&effect);
    Chorus chorus(&effect, "Chorus", &noise, table.get());
    set(effect, "ChorusWet", 0.5f);
    set(effect, "ChorusFeedback", 0.3f);
    runBlocks(state, noise, chorus);
}

void BM_Delay(benchmark::State& state)
{
    Effect effect;
    Noise noise(&effect);
    Delay delay(&effect, "Delay", &noise);
    set(effect, "DelayWet", 0.5f);
    runBlocks(state, noise, delay);
}

} // namespace

BENCHMARK(BM_Redux);
BENCHMARK(BM_Phaser);
BENCHMARK(BM_Chorus);
BENCHMARK(BM_Delay);

BENCHMARK_MAIN();
