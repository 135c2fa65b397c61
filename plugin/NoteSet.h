#pragma once
// The set of held note numbers as a fixed 128-bit set: inserting a note on
// the audio thread never allocates, and other threads may ask whether any
// note is held.

#include <atomic>
#include <cstdint>

class NoteSet {
public:
    void insert(int note) { word(note).fetch_or(bit(note), std::memory_order_relaxed); }
    void erase(int note) { word(note).fetch_and(~bit(note), std::memory_order_relaxed); }
    void clear()
    {
        words_[0].store(0, std::memory_order_relaxed);
        words_[1].store(0, std::memory_order_relaxed);
    }
    bool contains(int note) const { return (words_[(note >> 6) & 1].load(std::memory_order_relaxed) & bit(note)) != 0; }
    bool empty() const
    {
        return words_[0].load(std::memory_order_relaxed) == 0 && words_[1].load(std::memory_order_relaxed) == 0;
    }
    int size() const
    {
        return __builtin_popcountll(words_[0].load(std::memory_order_relaxed)) +
               __builtin_popcountll(words_[1].load(std::memory_order_relaxed));
    }

private:
    std::atomic<uint64_t>& word(int note) { return words_[(note >> 6) & 1]; }
    static uint64_t bit(int note) { return uint64_t(1) << (note & 63); }
    std::atomic<uint64_t> words_[2] = {{0}, {0}};
};
