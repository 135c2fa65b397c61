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
// Any other host write is the host's own and reaches the engine. Echoes
// arrive with the next block or the one after, so a value is remembered for
// four blocks: a host that drops an echo itself (DPF's VST3 controller drops
// the one equal to the value it last saw) leaves no stale value behind to
// swallow a later write of the host's own.
//
// Threads: remember() runs on the editor's thread, blockProcessed() on the
// audio thread, isEcho() on any thread, concurrently with both. Nothing
// locks, waits or allocates.

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
    // The audio thread has rendered a block.
    void blockProcessed() { blocks_.fetch_add(1, std::memory_order_relaxed); }

    static constexpr int kDepth = 64;
    static constexpr uint32_t kLifetimeBlocks = 4;

private:
    struct Parameter {
        // Remembered values: the sequence number (from 1) in the high half,
        // the float's bits in the low half; 0 is an empty entry.
        std::array<std::atomic<uint64_t>, kDepth> entries{};
        // The block count when each entry was remembered.
        std::array<std::atomic<uint32_t>, kDepth> stamps{};
        std::atomic<uint32_t> sequence{0};
    };

    std::unique_ptr<Parameter[]> parameters_;
    int count_;
    std::atomic<uint32_t> blocks_{0};
};
