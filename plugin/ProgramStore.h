#pragma once
// The 32 programs, the one that all parameter traffic goes to, and the
// chunks ("vqps" for one program, "vqbk" for the bank) that save and
// restore them.
//
// Threads
// - The audio thread only reads: current(), the stored values, the bends
//   through BendList::view(), and it moves the cursors of the current
//   program. It never takes the lock, never allocates, and brackets every
//   block it renders with enterBlock() and leaveBlock().
// - The host's threads and the editor's thread write. Atomic without the
//   lock: select() (one pointer), value() and setValue() (one float each;
//   two writers of one value race to the last word, which is what a host
//   automating a knob that the user turns expects). Everything else (names,
//   bends, chunks) runs under the writers' lock, a recursive mutex, so that
//   an operation made of others (Init clears the bends, then writes every
//   value) holds it throughout. The lock serialises writers only; the audio
//   thread never waits for it. Where the audio thread itself writes a bend
//   point (a host automating on its audio thread while recording is armed)
//   it uses tryLock() and gives the point up when a writer holds the lock.
// - Reclaiming bend storage: a bend that outgrows its buffer moves to a
//   larger copy, and the old buffer is retired, not freed, because the
//   audio thread may be reading it. enterBlock() and leaveBlock() each move
//   an epoch on by one, so an odd epoch means a block is running. A buffer
//   retired at an even epoch was unreachable already (every later block
//   loads the new buffer); one retired at an odd epoch is freed once the
//   epoch has changed, that is once the block running then has ended.
//   Retired buffers are freed by later writers under the lock, and by the
//   store's destructor, never on the audio thread.

#include "plugin/BendList.h"
#include "plugin/Program.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace Vorn {
class Effect;
}

class ProgramStore {
public:
    static constexpr int kProgramCount = 32;
    using Lock = std::unique_lock<std::recursive_mutex>;

    // Fills every program with the values the container's parameters hold
    // now (their defaults); all of them must be registered by now. The container also
    // gives the full names that chunks carry and the lookup that loads them.
    explicit ProgramStore(const Vorn::Effect& parameters);
    ProgramStore(const ProgramStore&) = delete;
    ProgramStore& operator=(const ProgramStore&) = delete;

    int parameterCount() const { return parameterCount_; }
    bool validIndex(int index) const { return index >= 0 && index < parameterCount_; }

    // ---- Any thread, without the lock ----
    // Makes program `index` the current one; an index outside 0..31 is ignored.
    void select(int index);
    Program& current() { return *current_.load(); }
    Program& program(int index) { return *programs_[static_cast<std::size_t>(index)]; }
    // The current program's stored value of a valid parameter index.
    float value(int index) { return current().param(index).value.load(std::memory_order_relaxed); }
    void setValue(int index, float value) { current().param(index).value.store(value, std::memory_order_relaxed); }

    // ---- Writers ----
    Lock lock() { return Lock(mutex_); }
    Lock tryLock() { return Lock(mutex_, std::try_to_lock); }

    // Each takes the lock itself.
    void setName(const char* text);
    // Copy `length` bytes of the current program's (or program `index`'s)
    // name and a terminator after them: `text` holds length + 1 bytes.
    void copyName(char* text, std::size_t length);
    void copyName(int index, char* text, std::size_t length);
    bool hasBend(int index);
    std::vector<BendPoint> bendPoints(int index);
    void clearBend(int index);
    void clearBends();

    // Appends a point to the current program's bend of a valid index; the
    // caller proves that it holds the lock.
    void appendBendPoint(int index, BendPoint point, const Lock& held);

    // The chunk of the current program (`isPreset`) or of the whole bank.
    // The bytes stay valid until the next call.
    const std::vector<uint8_t>& saveChunk(bool isPreset);
    // Loads a chunk written by saveChunk (or a damaged one: the reader never
    // leaves the data and applies what it could read whole).
    void loadChunk(const void* data, std::size_t size, bool isPreset);

    // ---- Audio thread ----
    void enterBlock() { reclaimer_.enter(); }
    void leaveBlock() { reclaimer_.leave(); }

    // Inspection (tests): retired bend buffers not yet freed.
    std::size_t retiredBuffers() const { return reclaimer_.pending(); }

private:
    friend class ProgramChunks;

    const Vorn::Effect& parameters_;
    const int parameterCount_;
    std::recursive_mutex mutex_;
    BufferReclaimer reclaimer_;
    std::vector<std::unique_ptr<Program>> programs_;
    std::atomic<Program*> current_{nullptr};
    std::vector<uint8_t> chunkBuffer_;
};
