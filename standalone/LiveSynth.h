#pragma once
// The engine as the application plays it live: each audio block's MIDI
// messages and transport, gathered by the audio callback, go to the engine
// the way a VST 2.4 host would hand them over. A program change (a message
// the engine itself ignores) cannot be carried out on the audio thread,
// which must not allocate or wait, so it is left for the main thread to
// pick up; the newest one wins.
//
// Threads: beginBlock(), addMidi() and render() run on the audio thread and
// never allocate, lock or wait; takeProgramChange() runs on the main thread.

#include "formats/HostedSynth.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

class LiveSynth {
public:
    explicit LiveSynth(HostedSynth& synth) : synth_(synth) {}

    void beginBlock() { synth_.beginBlock(); }
    // One message of the block, `frame` frames into it. Messages beyond the
    // block's capacity, and system exclusive ones, are left out.
    void addMidi(uint32_t frame, const uint8_t* data, std::size_t size);
    void render(const HostedSynth::Transport& transport, float* left, float* right, uint32_t frames);

    // The program a program change asked for since the last call, or -1.
    int takeProgramChange() { return pendingProgram_.exchange(-1); }

private:
    HostedSynth& synth_;
    std::atomic<int> pendingProgram_{-1};
};
