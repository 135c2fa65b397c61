// Voices rendered together (modules that run their peers side by side, in
// the vector lanes of each level) must give every voice exactly what it gets
// rendered alone.

#include "dsp/SVFilter.h"
#include "dsp/Voice.h"

#if defined(VORN_X86_KERNELS)
#include "dsp/x86/SVFilterLanes.h"
#endif

#include "tests/support/Feed.h"
#include "tests/support/Param.h"
#include "Levels.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

using namespace Vorn;

namespace {


// Any other module, to break up a group.
class Echo : public Module {
public:
    Echo(Effect* owner, const char* name, const Module* input) : Module(owner, name), input_(input) {}
    void process(int, int count) override
    {
        for (int j = 0; j < count; ++j)
            output[j] = 0.5f * input_->output[j];
    }
private:
    const Module* input_;
};

// One filter per voice on its own settings (an Effect of its own), twice:
// one set processed alone, the other as a group.
struct Twins {
    static constexpr int kVoices = 6;
    std::array<std::unique_ptr<Effect>, kVoices> effects;
    std::array<std::unique_ptr<Feed>, 2 * kVoices> feeds;
    std::array<std::unique_ptr<SVFilter>, 2 * kVoices> filters;

    Twins()
    {
        for (int v = 0; v < kVoices; ++v) {
            effects[v] = std::make_unique<Effect>();
            for (int copy = 0; copy < 2; ++copy) {
                const int i = copy * kVoices + v;
                feeds[i] = std::make_unique<Feed>(effects[v].get(), "Sat");
                filters[i] = std::make_unique<SVFilter>(effects[v].get(), "Filter", feeds[i].get());
            }
        }
    }
    float& param(int v, const char* name) { return ::param(*effects[v], name); }
};

bool sameBits(const float* a, const float* b, int n) { return std::memcmp(a, b, sizeof(float) * n) == 0; }

} // namespace

using VoiceGroups = AtLevel;

TEST_P(VoiceGroups, FiltersSideBySideMatchEachAloneInEveryMode)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> signal(-1.5f, 1.5f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int size : {2, 3, 6}) {
        Twins t;
        for (int block = 0; block < 3000; ++block) {
            // Settings move every so often: all modes, resonance up to the
            // top, cutoffs below 0 (the undamped case) and above 1.
            if (block % 50 == 0) {
                const bool mixedModes = block % 400 == 200;
                const float mode = unit(random);
                for (int v = 0; v < size; ++v) {
                    t.param(v, "FilterMode") = mixedModes ? unit(random) : mode;
                    t.param(v, "FilterCutoff") = -0.3f + 1.6f * unit(random);
                    t.param(v, "FilterResonance") = unit(random);
                }
            }
            const int count = block % 7 == 3 ? 1 + block % 16 : kSubBlock;
            const float dc = block % 500 < 100 ? 0.8f : 0.0f;
            for (int v = 0; v < size; ++v) {
                for (int j = 0; j < count; ++j)
                    t.feeds[v]->output[j] = t.feeds[Twins::kVoices + v]->output[j] = dc + signal(random);
                const float modulation = block % 3 == 0 ? signal(random) : 0.0f;
                for (int j = 0; j < kSubBlock; ++j)
                    t.filters[v]->cutoffInput[j] = t.filters[Twins::kVoices + v]->cutoffInput[j] = modulation;
            }
            Module* group[Twins::kVoices];
            for (int v = 0; v < size; ++v) {
                t.filters[v]->process(44100, count);
                group[v] = t.filters[Twins::kVoices + v].get();
            }
            group[0]->processGroup(group, size, 44100, count);
            for (int v = 0; v < size; ++v) {
                const SVFilter& alone = *t.filters[v];
                const SVFilter& grouped = *t.filters[Twins::kVoices + v];
                ASSERT_TRUE(sameBits(alone.output, grouped.output, count)) << "size " << size << " block " << block << " voice " << v;
                ASSERT_EQ(alone.lowPass(), grouped.lowPass());
                ASSERT_EQ(alone.bandPass(), grouped.bandPass());
                ASSERT_EQ(alone.damping(), grouped.damping());
            }
        }
    }
}

TEST_P(VoiceGroups, NonFiniteInputRestartsOnlyItsOwnLane)
{
    Twins t;
    for (int v = 0; v < Twins::kVoices; ++v)
        t.param(v, "FilterCutoff") = 0.4f;
    Module* group[Twins::kVoices];
    for (int block = 0; block < 20; ++block) {
        for (int v = 0; v < Twins::kVoices; ++v) {
            for (int j = 0; j < kSubBlock; ++j)
                t.feeds[v]->output[j] = t.feeds[Twins::kVoices + v]->output[j] =
                    (block == 5 && v == 2 && j == 4) ? NAN : std::sin(0.1f * static_cast<float>(j + block * 16 + v));
            t.filters[v]->process(44100, kSubBlock);
            group[v] = t.filters[Twins::kVoices + v].get();
        }
        group[0]->processGroup(group, Twins::kVoices, 44100, kSubBlock);
        for (int v = 0; v < Twins::kVoices; ++v)
            ASSERT_TRUE(std::memcmp(t.filters[v]->output, t.filters[Twins::kVoices + v]->output, sizeof(float) * kSubBlock) == 0)
                << block << " " << v;
    }
    EXPECT_EQ(t.filters[Twins::kVoices + 2]->lowPass(), t.filters[2]->lowPass());
    EXPECT_TRUE(std::isfinite(t.filters[Twins::kVoices + 2]->lowPass()));
    EXPECT_NE(t.filters[Twins::kVoices + 3]->lowPass(), 0.0);
}

// Voices of a source, a filter and another module: rendering them together
// gives each the output and age it gets alone, whichever voices sound.
TEST_P(VoiceGroups, VoicesRenderedTogetherMatchVoicesRenderedAlone)
{
    constexpr int kVoices = 6;
    Effect effect;
    std::vector<std::unique_ptr<Voice>> voices;
    std::vector<Feed*> feeds;
    for (int v = 0; v < 2 * kVoices; ++v) {
        voices.push_back(std::make_unique<Voice>(&effect));
        auto* feed = new Feed(&effect, "Sat");
        voices.back()->addModule(feed);
        auto* filter = new SVFilter(&effect, "Filter", feed);
        voices.back()->addModule(filter);
        voices.back()->addModule(new Echo(&effect, "Echo", filter));
        feeds.push_back(feed);
    }
    param(effect, "FilterCutoff") = 0.3f;
    param(effect, "FilterResonance") = 0.9f;
    std::mt19937 random(3);
    std::uniform_real_distribution<float> signal(-1.0f, 1.0f);
    for (int block = 0; block < 500; ++block) {
        Voice* together[kVoices];
        int sounding = 0;
        for (int v = 0; v < kVoices; ++v) {
            if ((block / 40 + v) % 4 == 0)
                continue; // this voice rests for a while
            for (int j = 0; j < kSubBlock; ++j)
                feeds[v]->output[j] = feeds[kVoices + v]->output[j] = signal(random);
            voices[v]->renderVoice(44100, kSubBlock);
            together[sounding++] = voices[kVoices + v].get();
        }
        Voice::renderVoices(together, sounding, 44100, kSubBlock);
        for (int v = 0; v < kVoices; ++v) {
            ASSERT_TRUE(sameBits(voices[v]->voiceOutput, voices[kVoices + v]->voiceOutput, kSubBlock)) << block << " " << v;
            ASSERT_EQ(voices[v]->age, voices[kVoices + v]->age);
        }
    }
    EXPECT_GT(voices[0]->age, 0);
}

AT_LEVELS(VoiceGroups, InstructionSet::Sse2, InstructionSet::Avx2, InstructionSet::Avx512);

#if defined(VORN_X86_KERNELS)
// The lanes' buffers in and out, element by element and in vector registers.
using LaneBuffers = AtLevel;

TEST_P(LaneBuffers, TransposeExactlyForAnyCountAndLaneNumber)
{
    float buffers[SVFilterLanes::kLanes][kSubBlock];
    for (int v = 0; v < SVFilterLanes::kLanes; ++v)
        for (int j = 0; j < kSubBlock; ++j)
            buffers[v][j] = static_cast<float>(100 * v + j) + 0.25f;
    const float* inputs[SVFilterLanes::kLanes];
    for (int v = 0; v < SVFilterLanes::kLanes; ++v)
        inputs[v] = buffers[v];
    for (int count : {1, 7, 8, 15, kSubBlock}) {
        for (int used = 1; used <= SVFilterLanes::kLanes; ++used) {
            SVFilterLanes lanes;
            for (auto& row : lanes.in)
                for (float& x : row)
                    x = -1.0f;
            lanes.loadInputs(inputs, used, count, GetParam());
            for (int j = 0; j < count; ++j)
                for (int v = 0; v < SVFilterLanes::kLanes; ++v)
                    ASSERT_EQ(lanes.in[j][v], v < used ? buffers[v][j] : 0.0f) << count << " " << used;

            for (int j = 0; j < kSubBlock; ++j)
                for (int v = 0; v < SVFilterLanes::kLanes; ++v)
                    lanes.out[j][v] = static_cast<float>(1000 * j + v);
            float written[SVFilterLanes::kLanes][kSubBlock];
            float* outputs[SVFilterLanes::kLanes];
            for (int v = 0; v < SVFilterLanes::kLanes; ++v) {
                outputs[v] = written[v];
                for (float& x : written[v])
                    x = -1.0f;
            }
            lanes.storeOutputs(outputs, used, count, GetParam());
            for (int v = 0; v < SVFilterLanes::kLanes; ++v)
                for (int j = 0; j < kSubBlock; ++j)
                    ASSERT_EQ(written[v][j], v < used && j < count ? lanes.out[j][v] : -1.0f)
                        << count << " " << used << " " << v << " " << j;
        }
    }
}

AT_LEVELS(LaneBuffers, InstructionSet::Sse2, InstructionSet::Avx2);
#endif
