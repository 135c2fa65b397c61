// Voices rendered together (modules that run their peers side by side, in
// the vector lanes of each level) must give every voice exactly what it gets
// rendered alone.

#include "dsp/SVFilter.h"
#include "dsp/Voice.h"

#if defined(VORN_X86_KERNELS)
#include "dsp/x86/SVFilterLanes.h"
#endif

#include "Levels.h"
#include "tests/support/Feed.h"
#include "tests/support/Param.h"

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
    Echo(Effect* effect, const char* moduleName, const Module* input) : Module(effect, moduleName), input_(input) {}
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
    static constexpr std::size_t kVoices = 6;
    std::array<std::unique_ptr<Effect>, kVoices> effects;
    std::array<std::unique_ptr<Feed>, 2 * kVoices> feeds;
    std::array<std::unique_ptr<SVFilter>, 2 * kVoices> filters;

    Twins()
    {
        for (std::size_t v = 0; v < kVoices; ++v) {
            effects[v] = std::make_unique<Effect>();
            for (std::size_t copy = 0; copy < 2; ++copy) {
                const std::size_t i = copy * kVoices + v;
                feeds[i] = std::make_unique<Feed>(effects[v].get(), "Sat");
                filters[i] = std::make_unique<SVFilter>(effects[v].get(), "Filter", feeds[i].get());
            }
        }
    }
    float& param(int v, const char* name) { return ::param(*effects[static_cast<std::size_t>(v)], name); }
    // Voice v's feed and filter: 0 .. kVoices - 1 the ones processed alone,
    // kVoices + v their twins processed as a group.
    Feed& feed(int v) { return *feeds[static_cast<std::size_t>(v)]; }
    SVFilter& filter(int v) { return *filters[static_cast<std::size_t>(v)]; }
};

constexpr int kTwins = static_cast<int>(Twins::kVoices);

bool sameBits(const float* a, const float* b, int n)
{
    return std::memcmp(a, b, sizeof(float) * static_cast<std::size_t>(n)) == 0;
}

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
                    t.feed(v).output[j] = t.feed(kTwins + v).output[j] = dc + signal(random);
                const float modulation = block % 3 == 0 ? signal(random) : 0.0f;
                for (int j = 0; j < kSubBlock; ++j)
                    t.filter(v).cutoffInput[j] = t.filter(kTwins + v).cutoffInput[j] = modulation;
            }
            Module* group[kTwins];
            for (int v = 0; v < size; ++v) {
                t.filter(v).process(44100, count);
                group[v] = &t.filter(kTwins + v);
            }
            group[0]->processGroup(group, size, 44100, count);
            for (int v = 0; v < size; ++v) {
                const SVFilter& alone = t.filter(v);
                const SVFilter& grouped = t.filter(kTwins + v);
                ASSERT_TRUE(sameBits(alone.output, grouped.output, count))
                    << "size " << size << " block " << block << " voice " << v;
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
    for (int v = 0; v < kTwins; ++v)
        t.param(v, "FilterCutoff") = 0.4f;
    Module* group[kTwins];
    for (int block = 0; block < 20; ++block) {
        for (int v = 0; v < kTwins; ++v) {
            for (int j = 0; j < kSubBlock; ++j)
                t.feed(v).output[j] = t.feed(kTwins + v).output[j] =
                    (block == 5 && v == 2 && j == 4) ? NAN : std::sin(0.1f * static_cast<float>(j + block * 16 + v));
            t.filter(v).process(44100, kSubBlock);
            group[v] = &t.filter(kTwins + v);
        }
        group[0]->processGroup(group, kTwins, 44100, kSubBlock);
        for (int v = 0; v < kTwins; ++v)
            ASSERT_TRUE(std::memcmp(t.filter(v).output, t.filter(kTwins + v).output, sizeof(float) * kSubBlock) == 0)
                << block << " " << v;
    }
    EXPECT_EQ(t.filter(kTwins + 2).lowPass(), t.filter(2).lowPass());
    EXPECT_TRUE(std::isfinite(t.filter(kTwins + 2).lowPass()));
    EXPECT_NE(t.filter(kTwins + 3).lowPass(), 0.0);
}

// Voices of a source, a filter and another module: rendering them together
// gives each the output and age it gets alone, whichever voices sound.
TEST_P(VoiceGroups, VoicesRenderedTogetherMatchVoicesRenderedAlone)
{
    constexpr std::size_t kVoices = 6;
    Effect effect;
    std::vector<std::unique_ptr<Voice>> voices;
    std::vector<Feed*> feeds;
    for (std::size_t v = 0; v < 2 * kVoices; ++v) {
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
        for (std::size_t v = 0; v < kVoices; ++v) {
            if ((static_cast<std::size_t>(block / 40) + v) % 4 == 0)
                continue; // this voice rests for a while
            for (int j = 0; j < kSubBlock; ++j)
                feeds[v]->output[j] = feeds[kVoices + v]->output[j] = signal(random);
            voices[v]->renderVoice(44100, kSubBlock);
            together[sounding++] = voices[kVoices + v].get();
        }
        Voice::renderVoices(together, sounding, 44100, kSubBlock);
        for (std::size_t v = 0; v < kVoices; ++v) {
            ASSERT_TRUE(sameBits(voices[v]->voiceOutput, voices[kVoices + v]->voiceOutput, kSubBlock))
                << block << " " << v;
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
