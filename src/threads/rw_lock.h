#pragma once
// A multi-reader, exclusive-writer lock with the properties the shared containers rely on:
// - any number of threads hold it shared while nobody holds it exclusively;
// - the exclusive holder may take it exclusively again (nested) and shared without waiting;
// - a thread holding it shared may ask for it exclusively: while it waits, its own shared
//   hold does not count, so two upgrading readers never deadlock (another writer may run
//   between the request and the grant);
// - every take is released once, by the same thread, with a release of the same kind.

#include "common/fault_cleanup.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace kvr {

class ReentrantRWLock {
  public:
    ReentrantRWLock() { shared_holds_.reserve(8); }
    void lock();
    void unlock();
    void lock_shared();
    void unlock_shared();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread::id writer_{};
    int write_depth_ = 0;
    int waiting_writers_ = 0;
    // Shared holds that block writers: those of threads neither writing nor asking to write.
    int active_shared_ = 0;
    // Threads waiting on changed_: nobody is woken when nobody waits.
    int waiting_ = 0;
    // Shared holds per thread, only for threads that hold some: a short list whose storage is
    // kept, so taking the lock allocates nothing once as many threads held it before.
    using Holds = std::vector<std::pair<std::thread::id, int>>;
    Holds shared_holds_;
    Holds::iterator holds_of(std::thread::id thread);
    void wake_waiters(std::unique_lock<std::mutex>& guard);
};

// RAII guards; a lock is never released by hand. A memory fault that abandons a guard's frame
// releases its lock (common/fault_cleanup.h). A guard may move; the moved-from one holds
// nothing.
template <bool Exclusive> class [[nodiscard]] RWLockGuard {
  public:
    explicit RWLockGuard(ReentrantRWLock& lock) : lock_(take(&lock)) {}
    RWLockGuard(RWLockGuard&& other) noexcept : lock_(std::exchange(other.lock_, nullptr)) {}
    ~RWLockGuard() { release(); }
    RWLockGuard(const RWLockGuard&) = delete;
    RWLockGuard& operator=(const RWLockGuard&) = delete;
    RWLockGuard& operator=(RWLockGuard&&) = delete;

  private:
    static ReentrantRWLock* take(ReentrantRWLock* lock) {
        if constexpr (Exclusive)
            lock->lock();
        else
            lock->lock_shared();
        return lock;
    }
    void release() noexcept {
        if (!lock_) return;
        if constexpr (Exclusive)
            lock_->unlock();
        else
            lock_->unlock_shared();
        lock_ = nullptr;
    }
    static void release_after_fault(void* self) { static_cast<RWLockGuard*>(self)->release(); }

    ReentrantRWLock* lock_;
    FaultCleanup fault_cleanup_{&release_after_fault, this};
};
using WriteGuard = RWLockGuard<true>;
using ReadGuard = RWLockGuard<false>;

} // namespace kvr
