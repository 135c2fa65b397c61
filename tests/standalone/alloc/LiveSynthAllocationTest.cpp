// The application's audio callback hands each block's MIDI and transport to
// the engine and leaves program changes for the main thread: all of it,
// engine included, without allocating or taking a lock that can wait,
// whatever the blocks bring (notes, controllers, program changes, system
// exclusive, more messages than a block holds, a rolling transport).

#include "../../alloc/CountingAllocator.h"
#include "formats/FactoryBank.h"
#include "formats/HostedSynth.h"
#include "standalone/LiveSynth.h"

#include <gtest/gtest.h>

#include <vector>

TEST(LiveSynthAllocation, TheAudioCallbackNeitherAllocatesNorWaitsForALock)
{
    HostedSynth synth;
    synth.setSampleRate(48000.0);
    synth.setBlockSize(1024);
    synth.loadBankChunk(FactoryBank::bankChunk(), FactoryBank::bankChunkSize());
    synth.chooseProgram(31); // its delay feedback follows a recorded bend
    synth.activate();
    LiveSynth live(synth);
    std::vector<float> left(1024), right(1024);
    HostedSynth::Transport transport;
    transport.playing = true;
    transport.positionValid = true;
    transport.tempoValid = true;
    live.render(transport, left.data(), right.data(), 64); // lazily made tables settle uncounted

    int lastProgram = -1;
    Counting::reset();
    {
        const Counting::Scope counted;
        for (uint32_t block = 0; block < 300; ++block) {
            live.beginBlock();
            const uint8_t on[3] = {0x90, static_cast<uint8_t>(36 + block % 48), 100};
            const uint8_t off[3] = {0x80, static_cast<uint8_t>(36 + (block + 20) % 48), 0};
            const uint8_t controller[3] = {0xB0, block % 97 == 0 ? uint8_t{123} : uint8_t{1}, 64};
            const uint8_t program[2] = {0xC5, static_cast<uint8_t>(block % 40)};
            const uint8_t sysex[6] = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
            live.addMidi(0, on, sizeof on);
            live.addMidi(1, off, sizeof off);
            live.addMidi(2, controller, sizeof controller);
            if (block % 7 == 0)
                live.addMidi(3, program, sizeof program);
            live.addMidi(4, sysex, sizeof sysex);
            if (block % 50 == 0)
                for (int i = 0; i < HostedSynth::kMaxMidiMessages + 10; ++i)
                    live.addMidi(5, controller, sizeof controller);
            const uint32_t frames = 1 + (block * 37) % 1024;
            transport.quarterNotes += frames / 24000.0;
            transport.frame += frames;
            live.render(transport, left.data(), right.data(), frames);
            if (block % 7 == 0)
                lastProgram = static_cast<int>(block % 40);
        }
    }
    EXPECT_EQ(Counting::allocations.load(), 0);
    EXPECT_EQ(Counting::blockingLocks.load(), 0);
    // The newest program change waits for the main thread, once.
    EXPECT_EQ(live.takeProgramChange(), lastProgram);
    EXPECT_EQ(live.takeProgramChange(), -1);
    synth.deactivate();
}
