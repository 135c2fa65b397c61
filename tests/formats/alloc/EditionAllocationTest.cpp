// The editions' audio functions (LV2 run, CLAP process, VST3 process),
// framework and engine together, never allocate and never take a lock that
// can wait, whatever the block brings: notes, controllers, the transport and
// the host's parameter writes, with bends playing. A try-lock, which never
// waits, is allowed: DPF's CLAP wrapper takes one to collect the editor's
// edits, and goes on without them when the editor holds it.

#include "../../alloc/CountingAllocator.h"
#include "support/Editions.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <cstdlib>
#include <cstring>
#include <vector>

class EditionAllocation : public ::testing::TestWithParam<Edition> {};

TEST_P(EditionAllocation, TheAudioFunctionNeitherAllocatesNorWaitsForALock)
{
    auto plugin = started(GetParam().load(), 4096);
    ASSERT_TRUE(plugin && plugin->error.empty()) << (plugin ? plugin->error : "not built");
    // The factory bank, and its program whose cutoff bend has many points.
    const std::vector<uint8_t> saved = plugin->saveState();
    ASSERT_TRUE(
        plugin->loadState(replacedInState(saved, plugin->stateValue("bank"), encodeBase64(factoryBankChunk()))));
    if (!plugin->choosePreset(1)) {
        ASSERT_TRUE(plugin->loadState(withProgram(plugin->saveState(), 1)));
    }
    ASSERT_EQ(plugin->stateValue("program"), "1");
    const std::pair<int, float> patch[] = {{18, 0.3f}, {22, 0.6f}, {25, 0.5f}, {26, 0.5f}, {41, 0.5f},
                                           {42, 0.4f}, {47, 1.0f}, {51, 1.0f}, {55, 0.5f}, {53, 1.0f}};
    for (auto [index, value] : patch)
        plugin->setParameter(index, value);

    std::vector<float> left(4096), right(4096);
    VstTimeInfo time{};
    time.sampleRate = 44100.0;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.flags = kVstPpqPosValid | kVstTempoValid | kVstTransportPlaying;
    std::vector<VstMidiEvent> midi(3);
    std::vector<char> listStorage(sizeof(VstEvents) + 3 * sizeof(VstEvent*));
    auto* list = reinterpret_cast<VstEvents*>(listStorage.data());
    plugin->process(nullptr, time, left.data(), right.data(), 64); // lazily made tables settle uncounted

    audioCallBegins = &Counting::begin;
    audioCallEnds = &Counting::end;
    Counting::reset();
    double samples = 64;
    for (int block = 0; block < 300; ++block) {
        const uint8_t messages[3][3] = {{0x90, uint8_t(36 + block % 48), 100},
                                        {0x80, uint8_t(36 + (block + 20) % 48), 0},
                                        {0xB0, block % 97 == 0 ? uint8_t(123) : uint8_t(1), 0}};
        list->numEvents = block % 3 == 0 ? 3 : 1;
        for (int i = 0; i < list->numEvents; ++i) {
            midi[static_cast<std::size_t>(i)] = VstMidiEvent{};
            midi[static_cast<std::size_t>(i)].type = kVstMidiType;
            std::memcpy(midi[static_cast<std::size_t>(i)].midiData, messages[i], 3);
            list->events[i] = reinterpret_cast<VstEvent*>(&midi[static_cast<std::size_t>(i)]);
        }
        if (block % 5 == 0)
            plugin->setParameter(27, static_cast<float>(block % 50) / 50.0f);
        const int frames = 1 + (block * 37) % 4096;
        time.samplePos = samples;
        time.ppqPos = samples / 22050.0;
        plugin->process(list, time, left.data(), right.data(), frames);
        samples += frames;
    }
    audioCallBegins = nullptr;
    audioCallEnds = nullptr;
    EXPECT_EQ(Counting::allocations.load(), 0);
    EXPECT_EQ(Counting::blockingLocks.load(), 0);
    RecordProperty("tryLocks", std::to_string(Counting::tryLocks.load()));

    // The counters see what happens in the scope (through pointers the
    // compiler cannot see through, so that nothing is optimised away).
    {
        Counting::Scope scope;
        void* (*volatile allocate)(std::size_t) = &std::malloc;
        std::free(allocate(10));
        int (*volatile lock)(pthread_mutex_t*) = &pthread_mutex_lock;
        pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
        lock(&mutex);
        pthread_mutex_unlock(&mutex);
    }
    EXPECT_EQ(Counting::allocations.load(), 1);
    EXPECT_EQ(Counting::blockingLocks.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(Editions, EditionAllocation, ::testing::Values(kLv2, kClap, kVst3), editionName);
