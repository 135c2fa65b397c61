#pragma once
// A recorded knob motion: points in recording order. Written by the host's
// and the editor's threads (one writer at a time, under the store's lock)
// and read by the audio thread without any lock. The audio thread always
// sees a buffer that stays valid for the whole block it renders: a full
// buffer is replaced by a larger copy and the old one is only freed once the
// audio thread can no longer hold it (see BufferReclaimer).

#include <atomic>
#include <cstdint>
#include <vector>

struct BendPoint {
    float time;  // seconds on the bend clock
    float value; // normalised parameter value
};

class BufferReclaimer;

class BendList {
public:
    struct Slot {
        std::atomic<float> time;
        std::atomic<float> value;
    };

    // What the audio thread reads: a consistent prefix of the points.
    struct View {
        const Slot* points;
        int count;
        BendPoint at(int i) const
        {
            return {points[i].time.load(std::memory_order_relaxed), points[i].value.load(std::memory_order_relaxed)};
        }
    };

    BendList() = default;
    ~BendList();
    BendList(const BendList&) = delete;
    BendList& operator=(const BendList&) = delete;

    // Audio thread (or any reader).
    View view() const;
    int size() const;
    bool empty() const { return size() == 0; }

    // Writers only, serialised by the caller.
    void append(BendPoint point, BufferReclaimer& reclaimer);
    void clear();
    void assign(const std::vector<BendPoint>& points, BufferReclaimer& reclaimer);
    std::vector<BendPoint> points() const;

    struct Buffer;

private:
    std::atomic<Buffer*> buffer_{nullptr};
};

// Frees replaced bend buffers once the audio thread cannot be reading them.
// The audio thread brackets every block with enter()/leave(); a buffer
// retired while no block was running, or once the block that was running
// has ended, is no longer reachable by the audio thread.
class BufferReclaimer {
public:
    ~BufferReclaimer();
    void enter() { epoch_.fetch_add(1, std::memory_order_seq_cst); }
    void leave() { epoch_.fetch_add(1, std::memory_order_seq_cst); }

    // Writers only, serialised by the caller.
    void retire(BendList::Buffer* buffer);
    void collect();
    std::size_t pending() const { return retired_.size(); }

private:
    struct Retired {
        BendList::Buffer* buffer;
        uint64_t epoch;
    };
    std::atomic<uint64_t> epoch_{0};
    std::vector<Retired> retired_;
};
