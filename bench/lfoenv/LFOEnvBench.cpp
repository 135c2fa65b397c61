// Cost per sample of the envelope and the LFO, rendered in full sub-blocks
// as a voice renders them. Each iteration is one sub-block of 16 samples.

#include "dsp/ADSREnvelope.h"
#include "dsp/LFO.h"
#include "dsp/WaveTable.h"

#include <benchmark/benchmark.h>

using namespace Vorn;

namespace {

constexpr int kRate = 44100;

void setParameter(Effect& effect, const char* name, float value)
{
    effect.parameter(effect.findParameter(name)).value = value;
}

void EnvelopeAttackDecay(benchmark::State& state)
{
    Effect effect;
    ADSREnvelope env(&effect, "AmpEnv");
    // Slow segments so the envelope keeps moving through attack and decay.
    setParameter(effect, "AmpEnvAttack", 1.0f);
    setParameter(effect, "AmpEnvDecay", 1.0f);
    setParameter(effect, "AmpEnvSustain", 0.0f);
    int blocks = 0;
    env.noteOn(60, 100);
    for (auto _ : state) {
        env.process(kRate, kSubBlock);
        benchmark::DoNotOptimize(env.output);
        if (++blocks == 20000) {
            blocks = 0;
            env.noteOn(60, 100);
        }
    }
    state.SetItemsProcessed(state.iterations() * kSubBlock);
}
BENCHMARK(EnvelopeAttackDecay);

void EnvelopeSustain(benchmark::State& state)
{
    Effect effect;
    ADSREnvelope env(&effect, "AmpEnv");
    setParameter(effect, "AmpEnvSustain", 0.5f);
    env.noteOn(60, 100);
    for (int i = 0; i < 100; ++i)
        env.process(kRate, kSubBlock);
    for (auto _ : state) {
        env.process(kRate, kSubBlock);
        benchmark::DoNotOptimize(env.output);
    }
    state.SetItemsProcessed(state.iterations() * kSubBlock);
}
BENCHMARK(EnvelopeSustain);

void LFOFree(benchmark::State& state)
{
    auto table = WaveTable::shared();
    Effect effect;
    LFO lfo(&effect, "LFO1", table.get());
    setParameter(effect, "LFO1Speed", 0.6f);
    setParameter(effect, "LFO1Wave", 0.25f);
    for (auto _ : state) {
        lfo.process(kRate, kSubBlock);
        benchmark::DoNotOptimize(lfo.output);
    }
    state.SetItemsProcessed(state.iterations() * kSubBlock);
}
BENCHMARK(LFOFree);

void LFOSynced(benchmark::State& state)
{
    auto table = WaveTable::shared();
    Effect effect;
    LFO lfo(&effect, "LFO1", table.get());
    setParameter(effect, "LFO1Sync", 1.0f);
    setParameter(effect, "LFO1Speed", 0.6f);
    effect.setTempo(120.0f);
    double position = 1.0;
    int blocks = 0;
    for (auto _ : state) {
        // A host block of 512 samples: one lock per 32 sub-blocks.
        if (blocks++ % 32 == 0) {
            position += 0.02;
            effect.setSongPosition(position);
            lfo.prepare();
        }
        lfo.process(kRate, kSubBlock);
        benchmark::DoNotOptimize(lfo.output);
    }
    state.SetItemsProcessed(state.iterations() * kSubBlock);
}
BENCHMARK(LFOSynced);

} // namespace

BENCHMARK_MAIN();
