#pragma once
// Note-ons and note-offs that the editor's bend gestures start, handed to
// the audio thread, which plays them at the start of its next block. One
// producer at a time (the store's lock serialises them), one consumer (the
// audio thread); neither side ever waits.

#include <array>
#include <atomic>
#include <cstdint>

class NoteQueue {
public:
    struct Command {
        uint8_t note;
        uint8_t velocity; // 0 means note-off
    };

    bool push(Command command)
    {
        const uint32_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) >= kCapacity)
            return false;
        slots_[head % kCapacity] = command;
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    template <typename Handler>
    void drain(Handler&& handler)
    {
        uint32_t tail = tail_.load(std::memory_order_relaxed);
        const uint32_t head = head_.load(std::memory_order_acquire);
        while (tail != head) {
            handler(slots_[tail % kCapacity]);
            ++tail;
        }
        tail_.store(tail, std::memory_order_release);
    }

private:
    static constexpr uint32_t kCapacity = 64;
    std::array<Command, kCapacity> slots_{};
    std::atomic<uint32_t> head_{0};
    std::atomic<uint32_t> tail_{0};
};
