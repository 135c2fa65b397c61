// The saturator at "Drive" 0 (the oversampled path skipped), driven, and
// with the drive switching on and off every few blocks (the skipped
// histories caught up each time); and the voice summer. Nanoseconds per
// sample in the per_sample column.

#include "dsp/InstructionSet.h"
#include "dsp/Saturator.h"
#include "dsp/Summer.h"
#include "dsp/TanhShaper.h"
#include "dsp/Voice.h"

#include <cmath>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Vorn;

namespace {

class Noise : public Module {
public:
    explicit Noise(Effect* effect) : Module(effect, "Mixer") {}
    void process(int, int count) override
    {
        for (int i = 0; i < count; ++i) {
            seed_ = seed_ * 1664525u + 1013904223u;
            output[i] = static_cast<float>(seed_ >> 8) / 16777216.0f - 0.5f;
        }
    }

private:
    unsigned seed_ = 1;
};

void perSample(benchmark::State& state)
{
    state.counters["per_sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSubBlock,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void saturator(benchmark::State& state, const std::vector<float>& drives)
{
    Effect effect;
    Noise noise(&effect);
    Saturator sat(&effect, "Saturator", &noise);
    float& drive = effect.parameter(effect.findParameter("SaturatorDrive")).value;
    std::size_t block = 0;
    for (auto _ : state) {
        drive = drives[block++ % drives.size()];
        noise.process(44100, kSubBlock);
        sat.process(44100, kSubBlock);
        benchmark::DoNotOptimize(sat.output);
        benchmark::ClobberMemory();
    }
    perSample(state);
}

void BM_SaturatorDriveZero(benchmark::State& state)
{
    saturator(state, {0.0f});
}
void BM_SaturatorDriven(benchmark::State& state)
{
    saturator(state, {0.5f});
}
void BM_SaturatorDriveSwitching(benchmark::State& state)
{
    saturator(state, {0.5f, 0.0f, 0.0f, 0.0f});
}

void BM_SummerSixVoices(benchmark::State& state)
{
    Effect effect;
    std::vector<std::unique_ptr<Voice>> voices;
    Summer<Voice> summer(&effect, "sum");
    for (int v = 0; v < 6; ++v) {
        voices.push_back(std::make_unique<Voice>(&effect));
        for (int j = 0; j < kSubBlock; ++j)
            voices.back()->voiceOutput[j] = 0.01f * static_cast<float>(v * kSubBlock + j);
        summer.addVoice(voices.back().get());
    }
    for (auto _ : state) {
        summer.process(44100, kSubBlock);
        benchmark::DoNotOptimize(summer.output);
        benchmark::ClobberMemory();
    }
    perSample(state);
}

// The shaper over one oversampled sub-block (64 samples) at each level; the
// per_sample column is per oversampled sample.
void shaper(benchmark::State& state, InstructionSet level)
{
    if (!ScopedInstructionSet::available(level)) {
        state.SkipWithError("this processor lacks the level");
        return;
    }
    const ScopedInstructionSet scope(level);
    float in[64], work[64];
    for (int i = 0; i < 64; ++i)
        in[i] = 0.9f * std::sin(0.37f * static_cast<float>(i));
    for (auto _ : state) {
        std::copy(in, in + 64, work);
        TanhShaper::apply(work, 64, 16.0f);
        benchmark::DoNotOptimize(work);
        benchmark::ClobberMemory();
    }
    state.counters["per_sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * 64,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ShaperSse2(benchmark::State& state)
{
    shaper(state, InstructionSet::Sse2);
}
void BM_ShaperAvx2(benchmark::State& state)
{
    shaper(state, InstructionSet::Avx2);
}
void BM_ShaperAvx512(benchmark::State& state)
{
    shaper(state, InstructionSet::Avx512);
}

} // namespace

BENCHMARK(BM_ShaperSse2);
BENCHMARK(BM_ShaperAvx2);
BENCHMARK(BM_ShaperAvx512);
BENCHMARK(BM_SaturatorDriveZero);
BENCHMARK(BM_SaturatorDriven);
BENCHMARK(BM_SaturatorDriveSwitching);
BENCHMARK(BM_SummerSixVoices);

BENCHMARK_MAIN();
