#pragma once
// The test binary's own allocator and lock functions: every allocation and
// every lock taken on a thread while it counts is counted. Plug-ins loaded
// into the process share them, so their allocations and locks land here too.

#include <atomic>

namespace Counting {

// Allocations made by counting threads since the last reset.
extern std::atomic<long> allocations;
// Locks that can wait (mutex, read-write lock, condition, semaphore) taken
// by counting threads, and try-locks (which never wait), since the last reset.
extern std::atomic<long> blockingLocks;
extern std::atomic<long> tryLocks;
// Allocations still held: every successful allocation minus every free.
extern std::atomic<long> live;
// When positive, this thread's allocation with this number (from 1) fails.
extern thread_local long failAt;
extern thread_local long attempts;

void reset();
// This thread counts from begin() to end().
void begin();
void end();

// Counts on this thread while it exists.
struct Scope {
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

} // namespace Counting
