#include "formats/EditorEchoes.h"

#include <cstring>

namespace {

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
    const std::size_t slot = sequence % kDepth;
    p.stamps[slot].store(blocks_.load(std::memory_order_relaxed), std::memory_order_relaxed);
    p.entries[slot].store(entry, std::memory_order_release);
}

bool EditorEchoes::isEcho(int index, float value)
{
    if (index < 0 || index >= count_)
        return false;
    Parameter& p = parameters_[static_cast<std::size_t>(index)];
    const uint32_t now = blocks_.load(std::memory_order_relaxed);
    const uint32_t bits = bitsOf(value);
    for (;;) {
        // The oldest remembered value that matches: echoes come in the order
        // of the edits, so a value edited twice is matched first by its
        // earlier edit.
        uint64_t match = 0;
        int matchSlot = -1;
        for (int i = 0; i < kDepth; ++i) {
            const auto slot = static_cast<std::size_t>(i);
            const uint64_t entry = p.entries[slot].load(std::memory_order_acquire);
            if (entry == 0 || now - p.stamps[slot].load(std::memory_order_relaxed) > kLifetimeBlocks)
                continue;
            if (static_cast<uint32_t>(entry) == bits && (matchSlot < 0 || sequenceOf(entry) < sequenceOf(match))) {
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
