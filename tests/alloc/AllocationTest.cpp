// Rendering must never allocate: every allocation made on a thread while it
// is inside the plug-in's processEvents or processReplacing is counted (see
// CountingAllocator.h).

#include "CountingAllocator.h"
#include "plugin/Synth.h"
#include "support/TestHost.h"
#include "tests/support/ChunkBuilder.h"
#include "tests/support/NonFiniteSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

using Counting::allocations;
using Counting::attempts;
using Counting::failAt;
using Counting::live;
using Counted = Counting::Scope;

TEST(Allocation, BusyRenderingAllocatesNothing)
{
    TestHost host;
    ASSERT_NE(host.start(), nullptr) << host.error;
    // A rich patch: every module busy, effects wet, bends playing.
    const std::pair<int, float> patch[] = {{18, 0.3f}, {22, 0.6f}, {25, 0.5f}, {26, 0.5f}, {31, 0.7f},
                                           {33, 0.3f}, {35, 0.5f}, {41, 0.5f}, {42, 0.4f}, {47, 1.0f},
                                           {51, 1.0f}, {55, 0.5f}, {53, 1.0f}, {10, 1.0f}};
    for (auto [index, value] : patch)
        host.setParameter(index, value);
    // A bend on the cutoff from a chunk, so playback walks its points.
    std::vector<BendPoint> points;
    for (int i = 0; i < 50; ++i)
        points.push_back({float(i) * 0.01f, float(i) / 50.0f});
    ChunkBuilder chunk;
    chunk.header("vqps", 1, "");
    chunk.entry("FilterCutoff", 0.5f, points);
    host.dispatch(effSetChunk, 1, static_cast<VstIntPtr>(chunk.out.size()), chunk.out.data());

    std::vector<float> left(4096), right(4096);
    float* outputs[2] = {left.data(), right.data()};
    host.render(64); // let lazily computed tables settle outside the count

    Counting::reset();
    for (int block = 0; block < 400; ++block) {
        std::vector<std::vector<uint8_t>> midi;
        midi.push_back({0x90, uint8_t(36 + block % 48), 100});
        if (block % 3 == 0)
            midi.push_back({0x80, uint8_t(36 + (block + 20) % 48), 0});
        if (block % 97 == 0)
            midi.push_back({0xB0, 123, 0});
        {
            // Build the event list before counting; only the plug-in's work counts.
            std::vector<VstMidiEvent> events(midi.size());
            std::vector<char> storage(sizeof(VstEvents) + midi.size() * sizeof(VstEvent*));
            auto* list = reinterpret_cast<VstEvents*>(storage.data());
            list->numEvents = static_cast<VstInt32>(midi.size());
            for (std::size_t i = 0; i < midi.size(); ++i) {
                events[i] = VstMidiEvent{};
                events[i].type = kVstMidiType;
                events[i].byteSize = sizeof(VstMidiEvent);
                std::memcpy(events[i].midiData, midi[i].data(), 3);
                list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
            }
            const int frames = 1 + (block * 37) % 4096;
            Counted scope;
            host.effect->dispatcher(host.effect, effProcessEvents, 0, 0, list, 0.0f);
            host.effect->processReplacing(host.effect, nullptr, outputs, frames);
        }
    }
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(Counting::blockingLocks.load(), 0);

    // The counter itself works: an allocation inside the scope is seen.
    {
        Counted scope;
        // Through a pointer the compiler cannot see through, so that the
        // allocation is not optimised away.
        void* (*volatile allocate)(std::size_t) = &std::malloc;
        std::free(allocate(10));
    }
    EXPECT_EQ(allocations.load(), 1);
}

TEST(Allocation, SilencingANonFiniteOutputAllocatesNothing)
{
    // The output's last line of defence runs on the audio thread too: it
    // silences the fault and clears the voice and every effect line.
    Synth synth([](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
        return opcode == audioMasterVersion ? 2400 : 0;
    });
    synth.setSampleRate(44100.0f);
    for (int i : {47, 51, 55})
        synth.setParameter(i, 0.5f);
    NonFiniteSource* source = NonFiniteSource::attach(synth.voice(0));
    std::vector<float> left(512), right(512);
    float* outputs[2] = {left.data(), right.data()};
    synth.processReplacing(nullptr, outputs, 512);

    allocations = 0;
    for (int round = 0; round < 20; ++round) {
        synth.noteOn(60, 100);
        synth.processReplacing(nullptr, outputs, 512);
        source->samplesLeft = 1 + round;
        Counted scope;
        synth.processReplacing(nullptr, outputs, 512);
    }
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_TRUE(synth.voiceIdle(0)); // the guard did run
}

TEST(Allocation, RunningOutOfMemoryDuringCreationLeavesNothingBehind)
{
    TestHost host;
    ASSERT_TRUE(host.error.empty()) << host.error;
    // Count the allocations one creation makes.
    attempts = 0;
    failAt = 1L << 40;
    ASSERT_NE(host.create(), nullptr);
    const long total = attempts;
    failAt = 0;
    host.close();
    ASSERT_GT(total, 100);

    // Fail each of a spread of them in turn, and each of the last few (the
    // editor's, made after everything else): the host gets no plug-in and
    // every allocation made before the failure has been given back.
    std::vector<long> failures;
    for (long n = 1; n <= total; n += 1 + total / 150)
        failures.push_back(n);
    for (long n = std::max(1L, total - 15); n <= total; ++n)
        failures.push_back(n);
    int refused = 0;
    for (const long n : failures) {
        const long before = live.load();
        attempts = 0;
        failAt = n;
        AEffect* effect = host.create();
        failAt = 0;
        if (effect) {
            host.close(); // the failure hit something that copes without memory
            continue;
        }
        ++refused;
        EXPECT_EQ(live.load(), before) << "after failing allocation " << n << " of " << total;
    }
    EXPECT_GT(refused, 100);
}
