// Cost per sample of each module of the voice's signal path and of the whole
// path from the modulation matrix to the amplifier, checked against a
// straightforward rendering of the same arithmetic before timing.

#include "dsp/Amplifier.h"
#include "dsp/InstructionSet.h"
#include "dsp/Mixer.h"
#include "dsp/ModMatrix.h"
#include "dsp/SVFilter.h"
#include "dsp/Saturator.h"
#include "dsp/TanhShaper.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Vorn;

namespace {

constexpr int kTableLength = 4096; // 256 blocks of input, then it repeats
constexpr int kSampleRate = 44100;

class Tape : public Module {
public:
    Tape(Effect* effect, const char* moduleName, std::vector<float> samples)
        : Module(effect, moduleName), samples_(std::move(samples))
    {
    }
    void process(int, int count) override
    {
        std::memcpy(output, samples_.data() + position_, sizeof(float) * static_cast<std::size_t>(count));
        position_ = (position_ + count) % kTableLength;
    }
    float at(long n) const { return samples_[static_cast<std::size_t>(n % kTableLength)]; }

private:
    std::vector<float> samples_;
    int position_ = 0;
};

std::vector<float> wave(double cycles, double amplitude, double offset, double harmonics)
{
    std::vector<float> out(kTableLength);
    for (int n = 0; n < kTableLength; ++n) {
        const double phase = 2.0 * M_PI * cycles * n / kTableLength;
        out[static_cast<std::size_t>(n)] =
            static_cast<float>(offset + amplitude * (std::sin(phase) + harmonics * std::sin(3.0 * phase)));
    }
    return out;
}

const char* const kRoutes[10] = {"L1Cutoff", "L1Balance", "L2Pitch", "L2Position", "MCutoff",
                                 "MLFOAmp",  "MBalance",  "MPitch",  "MPosition",  "MRingMod"};
const float kDepths[10] = {0.5f, 0.3f, 0.2f, 0.4f, 0.6f, 0.1f, 0.25f, 0.15f, 0.35f, 0.45f};

// A voice's signal path with tapes in place of the envelopes, LFOs and
// oscillators, and the settings every benchmark uses.
struct Voice {
    Voice()
        : ampEnv(&effect, "AmpEnv", wave(1, 0.4, 0.5, 0)),
          modEnv(&effect, "ModEnv", wave(2, 0.5, 0.5, 0)),
          lfo1(&effect, "LFO1", wave(3, 1.0, 0.0, 0)),
          lfo2(&effect, "LFO2", wave(5, 1.0, 0.0, 0)),
          mod(&effect, "Mod"),
          osc1(&effect, "Osc1", wave(41, 0.7, 0.0, 0.3)),
          osc2(&effect, "Osc2", wave(61, 0.6, 0.1, 0.2)),
          mixer(&effect, "Mixer", &osc1, &osc2),
          saturator(&effect, "Saturator", &mixer),
          filter(&effect, "Filter", &saturator),
          amplifier(&effect, "Amplifier", &filter, &ampEnv)
    {
        float* destinations[10][2] = {{filter.cutoffInput, nullptr},
                                      {mixer.balanceInput, nullptr},
                                      {pitch1, pitch2},
                                      {position1, position2},
                                      {filter.cutoffInput, nullptr},
                                      {lfoAmp1, lfoAmp2},
                                      {mixer.balanceInput, nullptr},
                                      {pitch1, pitch2},
                                      {position1, position2},
                                      {mixer.ringModInput, nullptr}};
        Module* sources[10] = {&lfo1, &lfo1, &lfo2, &lfo2, &modEnv, &modEnv, &modEnv, &modEnv, &modEnv, &modEnv};
        const float scales[10] = {1, 1, 1, 1, 2, 1, 1, 2, 1, 1};
        for (int r = 0; r < 10; ++r)
            mod.addRoute(kRoutes[r], sources[r], nullptr, scales[r], destinations[r][0], destinations[r][1]);
        mod.registerDepths();
        for (int r = 0; r < 10; ++r)
            set(std::string("Mod") + kRoutes[r], kDepths[r]);
        set("MixerBalance", 0.3f);
        set("MixerRingMod", 0.2f);
        set("SaturatorDrive", 0.5f);
        set("FilterCutoff", 0.4f);
        set("FilterMode", 0.0f);
        set("FilterResonance", 0.6f);
        set("AmplifierGain", 0.5f);
    }
    void set(const std::string& name, float value)
    {
        effect.parameter(effect.findParameter(name.c_str())).value = value;
    }
    void sources(int count)
    {
        for (Tape* t : {&ampEnv, &modEnv, &lfo1, &lfo2, &osc1, &osc2})
            t->process(kSampleRate, count);
    }
    void path(int count)
    {
        mod.process(kSampleRate, count);
        mixer.process(kSampleRate, count);
        saturator.process(kSampleRate, count);
        filter.process(kSampleRate, count);
        amplifier.process(kSampleRate, count);
    }

    Effect effect;
    Tape ampEnv, modEnv, lfo1, lfo2;
    ModMatrix mod;
    Tape osc1, osc2;
    Mixer mixer;
    Saturator saturator;
    SVFilter filter;
    Amplifier amplifier;
    float pitch1[kSubBlock] = {}, pitch2[kSubBlock] = {}, position1[kSubBlock] = {}, position2[kSubBlock] = {};
    float lfoAmp1[kSubBlock] = {}, lfoAmp2[kSubBlock] = {};
};

// The same path written out plainly, one sample and one formula at a time.
struct PlainPath {
    explicit PlainPath(const Voice& v) : voice(v) {}

    float fir(const float* history, int position, int phase) const
    {
        float s = 0.0f;
        for (int k = 0; k < 8; ++k)
            s += kOversampleFir[phase + 4 * k] * history[((position - k) % 8 + 8) % 8];
        return s;
    }

    // Renders one block of `count` samples starting at sample n.
    void block(long n, int count, float* out)
    {
        const float* depth[10];
        for (int r = 0; r < 10; ++r)
            depth[r] =
                &voice.effect.parameter(voice.effect.findParameter((std::string("Mod") + kRoutes[r]).c_str())).value;
        auto amount = [&](int r, float scale) { return *depth[r] * *depth[r] * scale; };
        auto value = [&](const char* name) { return voice.effect.parameter(voice.effect.findParameter(name)).value; };
        const long mid = n + count / 2;

        // Modulation read at the middle sample.
        const float cutoffMod = 0.0f + amount(0, 1) * voice.lfo1.at(mid) + amount(4, 2) * voice.modEnv.at(mid);
        const float balanceMod = 0.0f + amount(1, 1) * voice.lfo1.at(mid) + amount(6, 1) * voice.modEnv.at(mid);
        const float ringMod = 0.0f + amount(9, 1) * voice.modEnv.at(mid);

        float b = std::clamp(balanceMod + value("MixerBalance"), 0.0f, 1.0f);
        float r = ringMod + value("MixerRingMod");
        float mix[kSubBlock];
        for (int j = 0; j < count; ++j) {
            const float A = voice.osc1.at(n + j), B = voice.osc2.at(n + j);
            mix[j] = (1.0f - r) * (0.5f * b * B + 0.5f * (1.0f - b) * A) + r * (B * A);
        }

        const float drive = value("SaturatorDrive");
        const float g = 32.0f * std::clamp(drive, 0.03125f, 1.0f);
        float sat[kSubBlock];
        for (int j = 0; j < count; ++j) {
            upHistory[upPosition] = mix[j];
            upPosition = (upPosition + 1) % 8;
            float s = 0.0f;
            for (int i = 0; i < 4; ++i) {
                const float w =
                    static_cast<float>(std::tanh(static_cast<double>(g * (4.0f * fir(upHistory, upPosition, i)))));
                downHistory[downPosition] = w;
                downPosition = (downPosition + 1) % 8;
                s += fir(downHistory, downPosition, i);
            }
            sat[j] = (1.0f - drive) * mix[j] + drive * (4.0f * s);
        }

        cutoffSmooth = value("FilterCutoff") * 0.5f + 0.5f * cutoffSmooth;
        const double c =
            std::min((0.5 * static_cast<double>(cutoffMod) + static_cast<double>(cutoffSmooth)) * 0.25, 0.25);
        const double f = std::sin(M_PI * c);
        resonanceSmooth = value("FilterResonance") * 0.5f + 0.5f * resonanceSmooth;
        const float res = std::clamp(resonanceSmooth, 0.01f, 0.99f);
        const double m = std::min(static_cast<double>(2.0f * (1.0f - static_cast<float>(std::pow(res, 0.25)))),
                                  std::min(2.0 / f - 0.5 * f, 2.0));
        const float k = 2.0f * value("AmplifierGain");
        for (int j = 0; j < count; ++j) {
            low = low + f * band;
            band = band + f * ((static_cast<double>(sat[j]) - m * band) - low);
            const float y1 = static_cast<float>(low);
            low = low + f * band;
            band = band + f * ((-m * band) - low);
            const float y = static_cast<float>((static_cast<double>(y1) + low) * 0.5);
            out[j] = k * y * voice.ampEnv.at(n + j);
        }
    }

    const Voice& voice;
    float upHistory[8] = {}, downHistory[8] = {};
    int upPosition = 0, downPosition = 0;
    float cutoffSmooth = 1.0f, resonanceSmooth = 0.1f; // the defaults the voice was built with
    double low = 0.0, band = 0.0;
};

// Renders a second of audio both ways; returns the largest difference.
double deviation()
{
    Voice voice;
    PlainPath plain(voice);
    double worst = 0.0;
    float out[kSubBlock];
    for (long n = 0; n < kSampleRate; n += kSubBlock) {
        voice.sources(kSubBlock);
        voice.path(kSubBlock);
        plain.block(n, kSubBlock, out);
        for (int j = 0; j < kSubBlock; ++j)
            worst = std::max(worst, static_cast<double>(std::fabs(out[j] - voice.amplifier.output[j])));
    }
    return worst;
}

template <typename Render>
void run(benchmark::State& state, Voice& voice, Render render)
{
    for (auto _ : state) {
        render();
        benchmark::DoNotOptimize(voice.amplifier.output);
        benchmark::ClobberMemory();
    }
    state.counters["ns/sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSubBlock,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ModMatrix(benchmark::State& state)
{
    Voice v;
    v.sources(kSubBlock);
    run(state, v, [&] { v.mod.process(kSampleRate, kSubBlock); });
}

void BM_Mixer(benchmark::State& state)
{
    Voice v;
    v.sources(kSubBlock);
    v.mod.process(kSampleRate, kSubBlock);
    run(state, v, [&] { v.mixer.process(kSampleRate, kSubBlock); });
}

void BM_Saturator(benchmark::State& state)
{
    Voice v;
    v.sources(kSubBlock);
    v.mod.process(kSampleRate, kSubBlock);
    v.mixer.process(kSampleRate, kSubBlock);
    run(state, v, [&] { v.saturator.process(kSampleRate, kSubBlock); });
}

void BM_SVFilter(benchmark::State& state)
{
    Voice v;
    v.sources(kSubBlock);
    v.path(kSubBlock);
    run(state, v, [&] { v.filter.process(kSampleRate, kSubBlock); });
}

void BM_Amplifier(benchmark::State& state)
{
    Voice v;
    v.sources(kSubBlock);
    v.path(kSubBlock);
    run(state, v, [&] { v.amplifier.process(kSampleRate, kSubBlock); });
}

void voicePath(benchmark::State& state, InstructionSet level)
{
    const ScopedInstructionSet scope(level);
    const double worst = deviation();
    state.counters["max_diff"] = worst;
    if (worst > 1e-6) {
        std::fprintf(stderr, "largest difference %g\n", worst);
        state.SkipWithError("output differs from the plain rendering by more than 1e-6");
        return;
    }
    Voice v;
    run(state, v, [&] {
        v.sources(kSubBlock);
        v.path(kSubBlock);
    });
    state.counters["max_diff"] = worst;
}

// Matrix to amplifier at drive 0.5; the tapes that stand in for the
// envelopes, LFOs and oscillators (BM_VoiceSourcesOnly) are included.
void BM_VoicePath(benchmark::State& state)
{
    voicePath(state, widestInstructionSet());
}

// The same with the plain forms only: no vector kernel.
void BM_VoicePathPlain(benchmark::State& state)
{
    voicePath(state, InstructionSet::Scalar);
}

void BM_VoiceSourcesOnly(benchmark::State& state)
{
    Voice v;
    run(state, v, [&] { v.sources(kSubBlock); });
}

// The shaper's 64 tanh per sub-block: the library's tanh as the arithmetic
// states it, and the vector form the saturator uses.
std::vector<float> shaperInput()
{
    std::vector<float> in(64);
    for (int i = 0; i < 64; ++i)
        in[static_cast<std::size_t>(i)] = 0.9f * std::sin(0.37f * static_cast<float>(i));
    return in;
}

void BM_ShapeLibraryTanh(benchmark::State& state)
{
    const std::vector<float> in = shaperInput();
    float work[64];
    const float g = 16.0f;
    for (auto _ : state) {
        std::memcpy(work, in.data(), sizeof work);
        for (float& w : work)
            w = static_cast<float>(std::tanh(static_cast<double>(g * w)));
        benchmark::DoNotOptimize(work);
        benchmark::ClobberMemory();
    }
    state.counters["ns/sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSubBlock,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ShapeVectorTanh(benchmark::State& state)
{
    const std::vector<float> in = shaperInput();
    float work[64];
    for (auto _ : state) {
        std::memcpy(work, in.data(), sizeof work);
        TanhShaper::apply(work, 64, 16.0f);
        benchmark::DoNotOptimize(work);
        benchmark::ClobberMemory();
    }
    state.counters["ns/sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSubBlock,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The saturator's two resamplers in the phase-by-phase forms it uses.
void BM_Resamplers(benchmark::State& state)
{
    FirResampler up(kOversampleFir), down(kOversampleFir);
    const std::vector<float> in = wave(41, 0.7, 0.0, 0.3);
    float work[64], out[kSubBlock];
    for (auto _ : state) {
        up.upsamplePlanar(kSubBlock, in.data(), work);
        down.downsamplePlanar(kSubBlock, work, out);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.counters["ns/sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSubBlock,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_ShapeLibraryTanh);
BENCHMARK(BM_ShapeVectorTanh);
BENCHMARK(BM_Resamplers);
BENCHMARK(BM_ModMatrix);
BENCHMARK(BM_Mixer);
BENCHMARK(BM_Saturator);
BENCHMARK(BM_SVFilter);
BENCHMARK(BM_Amplifier);
BENCHMARK(BM_VoicePath);
BENCHMARK(BM_VoicePathPlain);
BENCHMARK(BM_VoiceSourcesOnly);

BENCHMARK_MAIN();
