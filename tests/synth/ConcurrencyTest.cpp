// The store is shared by the audio thread, the host's threads and the
// editor. One thread renders and plays MIDI while others write parameters,
// record bends with gestures, arm and disarm, switch programs and load
// chunks. Run under ThreadSanitizer and AddressSanitizer in the test suite.

#include "SynthFixture.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>

using Concurrency = SynthFixture;

TEST_F(Concurrency, RenderingWhileTheEditorAndHostWriteTheStore)
{
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<bool> finite{true};

    std::thread audio([&] {
        std::vector<float> left(256), right(256);
        float* outputs[2] = {left.data(), right.data()};
        VstMidiEvent event{};
        event.type = kVstMidiType;
        event.byteSize = sizeof event;
        struct {
            VstInt32 numEvents;
            VstIntPtr reserved;
            VstEvent* events[1];
        } list{1, 0, {reinterpret_cast<VstEvent*>(&event)}};
        std::minstd_rand rng(1);
        while (!stop.load()) {
            event.midiData[0] = char(rng() % 2 ? 0x90 : 0x80);
            event.midiData[1] = char(36 + rng() % 48);
            event.midiData[2] = char(100);
            synth->processEvents(reinterpret_cast<VstEvents*>(&list));
            synth->processReplacing(nullptr, outputs, 1 + int(rng() % 256));
            if (!std::isfinite(left[0]))
                finite = false;
            ++blocks;
        }
    });

    std::thread editor([&] {
        std::minstd_rand rng(2);
        while (!stop.load()) {
            const int index = int(rng() % 56);
            synth->armBend();
            synth->beginParameterGesture(index);
            for (int k = 0; k < 40; ++k)
                synth->setParameter(index, float(rng() % 1000) / 1000.0f);
            synth->endParameterGesture(index);
            (void)synth->hasBend(index);
            (void)synth->liveValue(index);
            if (rng() % 50 == 0)
                synth->randomise();
        }
    });

    std::thread hostThread([&] {
        std::minstd_rand rng(3);
        void* data = nullptr;
        while (!stop.load()) {
            synth->setParameter(int(rng() % 56), float(rng() % 1000) / 1000.0f);
            if (rng() % 20 == 0)
                synth->setProgram(int(rng() % 4));
            if (rng() % 30 == 0) {
                const VstInt32 size = synth->getChunk(&data, rng() % 2 == 0);
                std::vector<uint8_t> copy(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
                synth->setChunk(copy.data(), size, size < 5000);
            }
            char name[64];
            synth->getProgramName(name);
        }
    });

    std::this_thread::sleep_for(std::chrono::seconds(3));
    stop = true;
    audio.join();
    editor.join();
    hostThread.join();
    EXPECT_GT(blocks.load(), 100);
    EXPECT_TRUE(finite.load());
}
