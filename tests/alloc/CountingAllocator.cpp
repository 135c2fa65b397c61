#include "CountingAllocator.h"

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>

#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

namespace Counting {

std::atomic<long> allocations{0};
std::atomic<long> blockingLocks{0};
std::atomic<long> tryLocks{0};
std::atomic<long> live{0};
thread_local long failAt = 0;
thread_local long attempts = 0;

namespace {

thread_local bool counting = false;

void noteAllocation()
{
    if (counting)
        allocations.fetch_add(1);
}

bool shouldFail()
{
    return failAt > 0 && ++attempts == failAt;
}

void noteLock(std::atomic<long>& counter)
{
    if (counting)
        counter.fetch_add(1);
}

// The C library's own functions, looked up on first use. No function-local
// static: its guard may itself take a lock, which would come back here.
template <typename F>
F resolve(std::atomic<F>& slot, const char* name)
{
    F function = slot.load(std::memory_order_acquire);
    if (!function) {
        function = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
        slot.store(function, std::memory_order_release);
    }
    return function;
}

using MutexFunction = int (*)(pthread_mutex_t*);
using TimedMutexFunction = int (*)(pthread_mutex_t*, const timespec*);
using RwLockFunction = int (*)(pthread_rwlock_t*);
using CondWaitFunction = int (*)(pthread_cond_t*, pthread_mutex_t*);
using SemWaitFunction = int (*)(sem_t*);
std::atomic<MutexFunction> realMutexLock{nullptr}, realMutexTryLock{nullptr};
std::atomic<TimedMutexFunction> realMutexTimedLock{nullptr};
std::atomic<RwLockFunction> realReadLock{nullptr}, realWriteLock{nullptr};
std::atomic<CondWaitFunction> realCondWait{nullptr};
std::atomic<SemWaitFunction> realSemWait{nullptr};

} // namespace

void reset()
{
    allocations = 0;
    blockingLocks = 0;
    tryLocks = 0;
}

void begin()
{
    counting = true;
}

void end()
{
    counting = false;
}

Scope::Scope()
{
    begin();
}

Scope::~Scope()
{
    end();
}

} // namespace Counting

using namespace Counting;

extern "C" void* malloc(std::size_t size)
{
    noteAllocation();
    if (shouldFail())
        return nullptr;
    void* p = __libc_malloc(size);
    if (p)
        live.fetch_add(1);
    return p;
}
extern "C" void* calloc(std::size_t n, std::size_t size)
{
    noteAllocation();
    if (shouldFail())
        return nullptr;
    void* p = __libc_calloc(n, size);
    if (p)
        live.fetch_add(1);
    return p;
}
extern "C" void* realloc(void* p, std::size_t size)
{
    noteAllocation();
    if (shouldFail())
        return nullptr;
    void* q = __libc_realloc(p, size);
    if (q && !p)
        live.fetch_add(1);
    return q;
}
extern "C" void free(void* p)
{
    if (p)
        live.fetch_sub(1);
    __libc_free(p);
}

void* operator new(std::size_t size)
{
    if (void* p = malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void operator delete(void* p) noexcept
{
    free(p);
}
void operator delete[](void* p) noexcept
{
    free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    free(p);
}

extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    noteLock(blockingLocks);
    return resolve(realMutexLock, "pthread_mutex_lock")(mutex);
}
extern "C" int pthread_mutex_trylock(pthread_mutex_t* mutex)
{
    noteLock(tryLocks);
    return resolve(realMutexTryLock, "pthread_mutex_trylock")(mutex);
}
extern "C" int pthread_mutex_timedlock(pthread_mutex_t* mutex, const timespec* until)
{
    noteLock(blockingLocks);
    return resolve(realMutexTimedLock, "pthread_mutex_timedlock")(mutex, until);
}
extern "C" int pthread_rwlock_rdlock(pthread_rwlock_t* lock)
{
    noteLock(blockingLocks);
    return resolve(realReadLock, "pthread_rwlock_rdlock")(lock);
}
extern "C" int pthread_rwlock_wrlock(pthread_rwlock_t* lock)
{
    noteLock(blockingLocks);
    return resolve(realWriteLock, "pthread_rwlock_wrlock")(lock);
}
extern "C" int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex)
{
    noteLock(blockingLocks);
    return resolve(realCondWait, "pthread_cond_wait")(condition, mutex);
}
extern "C" int sem_wait(sem_t* semaphore)
{
    noteLock(blockingLocks);
    return resolve(realSemWait, "sem_wait")(semaphore);
}
