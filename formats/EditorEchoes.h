#pragma once
// Tells the host's copies of the editor's own parameter writes from the
// host's own writes.
//
// The editor stores a value in the engine and then tells the host, and every
// plug-in format sends that value back to the plug-in: at once from the
// controller (VST3), with the next block (CLAP, and the VST3 host), or as the
// control port's value at the next block, where several writes made between
// two blocks arrive as the last of them (LV2). Applied a second time, such an
// echo would append a second bend point while recording is armed, and an
// echo that arrives late would briefly put an older value back.
//
// So each value told to the host is remembered per parameter, in order. A
// host write that equals a remembered value is taken for its echo: it and
// every value remembered before it are forgotten (a host that delivers only
// the last of several never sends the others), and the engine is left alone.
// Any other host write is the host's own and reaches the engine. A value is
// remembered for two seconds after the parameter's last edit; echoes arrive
// within a few blocks.
//
// Threads: remember() runs on the editor's thread; isEcho() on any thread
// (the host's, the audio thread), concurrently with both. Nothing locks,
// waits or allocates.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class EditorEchoes {
public:
    explicit EditorEchoes(int parameterCount);

    // The editor has told the host that `index` is now `value`.
    void remember(int index, float value);
    // True when `value` arriving from the host for `index` is the copy of a
    // remembered value; that value and the older ones are then forgotten.
    bool isEcho(int index, float value);

    static constexpr int kDepth = 64;
    static constexpr int64_t kLifetimeMs = 2000;

private:
    struct Parameter {
        // Remembered values: the sequence number (from 1) in the high half,
        // the float's bits in the low half; 0 is an empty entry.
        std::array<std::atomic<uint64_t>, kDepth> entries{};
        std::atomic<uint32_t> sequence{0};
        std::atomic<int64_t> lastEditMs{0};
    };

    std::unique_ptr<Parameter[]> parameters_;
    int count_;
};
