// The store's one lock-free reader against its writers: while bends grow
// through many buffers, are emptied and are reloaded from chunks, the audio
// thread sees in each bend a prefix of the points as they were written,
// never a torn or freed one. Run under ThreadSanitizer and AddressSanitizer
// in the test suite.

#include "Parameters.h"
#include "plugin/ProgramStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

namespace {

// Every point written anywhere is this one, so any prefix read is checkable.
BendPoint pointAt(int parameter, int k)
{
    return {static_cast<float>(k), static_cast<float>(parameter * 10000 + k)};
}

} // namespace

TEST(Concurrency, TheAudioThreadReadsWholePointsOfLiveBuffers)
{
    Parameters names{"A", "B", "C", "D"};
    ProgramStore store(names);
    std::atomic<bool> done{false};
    std::atomic<long> blocks{0}, faults{0};

    std::thread audio([&] {
        while (!done.load()) {
            store.enterBlock();
            for (int i = 0; i < 4; ++i) {
                const BendList::View bend = store.current().param(i).bend.view();
                for (int k = 0; k < bend.count; ++k) {
                    const BendPoint point = bend.at(k), expected = pointAt(i, k);
                    if (point.time != expected.time || point.value != expected.value)
                        ++faults;
                }
            }
            store.leaveBlock();
            ++blocks;
        }
    });

    std::minstd_rand rng(5);
    int length[4] = {};
    for (int round = 0; round < 400; ++round) {
        const int i = static_cast<int>(rng() % 4);
        switch (rng() % 8) {
        case 0:
            store.clearBend(i);
            length[i] = 0;
            break;
        case 1: {
            // A whole program reloaded: every bend assigned afresh.
            const std::vector<uint8_t> chunk = store.saveChunk(true);
            store.loadChunk(chunk.data(), chunk.size(), true);
            break;
        }
        default: {
            const ProgramStore::Lock held = store.lock();
            for (int n = static_cast<int>(rng() % 300); n > 0; --n, ++length[i])
                store.appendBendPoint(i, pointAt(i, length[i]), held);
        }
        }
    }
    while (blocks.load() < 1000)
        std::this_thread::yield();
    done = true;
    audio.join();
    EXPECT_EQ(faults.load(), 0);
}
