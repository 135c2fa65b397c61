#include "plugin/BendList.h"

#include <new>

struct BendList::Buffer {
    int capacity;
    std::atomic<int> count;
    Slot* slots() { return reinterpret_cast<Slot*>(this + 1); }

    static Buffer* create(int capacity)
    {
        void* raw = ::operator new(sizeof(Buffer) + sizeof(Slot) * static_cast<std::size_t>(capacity));
        Buffer* buffer = new (raw) Buffer;
        buffer->capacity = capacity;
        buffer->count.store(0, std::memory_order_relaxed);
        for (int i = 0; i < capacity; ++i)
            new (&buffer->slots()[i]) Slot;
        return buffer;
    }
    static void destroy(Buffer* buffer)
    {
        if (!buffer)
            return;
        buffer->~Buffer(); // Slots hold only atomics of trivial type.
        ::operator delete(buffer);
    }
};

static_assert(sizeof(BendList::Slot) == 8, "slots are two packed floats");

BendList::~BendList()
{
    Buffer::destroy(buffer_.load());
}

BendList::View BendList::view() const
{
    Buffer* buffer = buffer_.load(std::memory_order_seq_cst);
    if (!buffer)
        return {nullptr, 0};
    return {buffer->slots(), buffer->count.load(std::memory_order_acquire)};
}

int BendList::size() const
{
    Buffer* buffer = buffer_.load(std::memory_order_seq_cst);
    return buffer ? buffer->count.load(std::memory_order_acquire) : 0;
}

void BendList::append(BendPoint point, BufferReclaimer& reclaimer)
{
    Buffer* buffer = buffer_.load(std::memory_order_relaxed);
    int count = buffer ? buffer->count.load(std::memory_order_relaxed) : 0;
    if (!buffer || count == buffer->capacity) {
        Buffer* grown = Buffer::create(buffer ? buffer->capacity * 2 : 64);
        for (int i = 0; i < count; ++i) {
            grown->slots()[i].time.store(buffer->slots()[i].time.load(std::memory_order_relaxed),
                                         std::memory_order_relaxed);
            grown->slots()[i].value.store(buffer->slots()[i].value.load(std::memory_order_relaxed),
                                          std::memory_order_relaxed);
        }
        grown->count.store(count, std::memory_order_relaxed);
        buffer_.store(grown, std::memory_order_seq_cst);
        if (buffer)
            reclaimer.retire(buffer);
        buffer = grown;
    }
    buffer->slots()[count].time.store(point.time, std::memory_order_relaxed);
    buffer->slots()[count].value.store(point.value, std::memory_order_relaxed);
    buffer->count.store(count + 1, std::memory_order_release);
}

void BendList::clear()
{
    Buffer* buffer = buffer_.load(std::memory_order_relaxed);
    if (buffer)
        buffer->count.store(0, std::memory_order_release);
}

void BendList::assign(const std::vector<BendPoint>& points, BufferReclaimer& reclaimer)
{
    clear();
    for (const BendPoint& p : points)
        append(p, reclaimer);
}

std::vector<BendPoint> BendList::points() const
{
    View v = view();
    std::vector<BendPoint> result;
    result.reserve(static_cast<std::size_t>(v.count));
    for (int i = 0; i < v.count; ++i)
        result.push_back(v.at(i));
    return result;
}

BufferReclaimer::~BufferReclaimer()
{
    for (const Retired& r : retired_)
        BendList::Buffer::destroy(r.buffer);
}

void BufferReclaimer::retire(BendList::Buffer* buffer)
{
    // Read after the new buffer was published: an even epoch means no block
    // was running, and every later block loads the new buffer.
    retired_.push_back({buffer, epoch_.load(std::memory_order_seq_cst)});
    collect();
}

void BufferReclaimer::collect()
{
    const uint64_t now = epoch_.load(std::memory_order_seq_cst);
    std::size_t kept = 0;
    for (const Retired& r : retired_) {
        if (r.epoch % 2 == 0 || now != r.epoch)
            BendList::Buffer::destroy(r.buffer);
        else
            retired_[kept++] = r;
    }
    retired_.resize(kept);
}
