#include "formats/EditorEchoes.h"

#include <chrono>
#include <cstring>

namespace {

int64_t nowMs()
{
    // The monotonic clock is read without a system call.
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint32_t bitsOf(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

uint32_t sequenceOf(uint64_t entry)
{
    return static_cast<uint32_t>(entry >> 32);
}

} // namespace

EditorEchoes::EditorEchoes(int parameterCount)
    : parameters_(new Parameter[static_cast<std::size_t>(parameterCount > 0 ? parameterCount : 0)]),
      count_(parameterCount > 0 ? parameterCount : 0)
{
}

void EditorEchoes::remember(int index, float value)
{
    if (index < 0 || index >= count_)
        return;
    Parameter& p = parameters_[static_cast<std::size_t>(index)];
    // Sequence numbers start at 1 so that an entry is never 0; after 2^32
    // edits of one parameter the count starts again from 1.
    uint32_t sequence = p.sequence.load(std::memory_order_relaxed) + 1;
    if (sequence == 0)
        sequence = 1;
    p.sequence.store(sequence, std::memory_order_relaxed);
    const uint64_t entry = (static_cast<uint64_t>(sequence) << 32) | bitsOf(value);
    p.entries[sequence % kDepth].store(entry, std::memory_order_release);
    p.lastEditMs.store(nowMs(), std::memory_order_release);
}

bool EditorEchoes::isEcho(int index, float value)
{
    if (index < 0 || index >= count_)
        return false;
    Parameter& p = parameters_[static_cast<std::size_t>(index)];
    const int64_t lastEdit = p.lastEditMs.load(std::memory_order_acquire);
    if (lastEdit == 0 || nowMs() - lastEdit > kLifetimeMs)
        return false;

    const uint32_t bits = bitsOf(value);
    for (;;) {
        // The oldest remembered value that matches: echoes come in the order
        // of the edits, so a value edited twice is matched first by its
        // earlier edit.
        uint64_t match = 0;
        int matchSlot = -1;
        for (int i = 0; i < kDepth; ++i) {
            const uint64_t entry = p.entries[static_cast<std::size_t>(i)].load(std::memory_order_acquire);
            if (entry != 0 && static_cast<uint32_t>(entry) == bits &&
                (matchSlot < 0 || sequenceOf(entry) < sequenceOf(match))) {
                match = entry;
                matchSlot = i;
            }
        }
        if (matchSlot < 0)
            return false;
        uint64_t expected = match;
        if (!p.entries[static_cast<std::size_t>(matchSlot)].compare_exchange_strong(expected, 0,
                                                                                    std::memory_order_acq_rel))
            continue; // another thread took that echo: look again
        // The values edited before it will not come back on their own.
        for (int i = 0; i < kDepth; ++i) {
            std::atomic<uint64_t>& slot = p.entries[static_cast<std::size_t>(i)];
            uint64_t entry = slot.load(std::memory_order_acquire);
            if (entry != 0 && sequenceOf(entry) < sequenceOf(match))
                slot.compare_exchange_strong(entry, 0, std::memory_order_acq_rel);
        }
        return true;
    }
}
