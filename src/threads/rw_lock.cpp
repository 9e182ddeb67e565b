#include "threads/rw_lock.h"

#include <algorithm>

namespace kvr {

ReentrantRWLock::Holds::iterator ReentrantRWLock::holds_of(std::thread::id thread) {
    return std::find_if(shared_holds_.begin(), shared_holds_.end(),
                        [thread](const auto& holds) { return holds.first == thread; });
}

void ReentrantRWLock::wake_waiters(std::unique_lock<std::mutex>& guard) {
    const bool anyone_waits = waiting_ > 0;
    guard.unlock();
    if (anyone_waits) changed_.notify_all();
}

void ReentrantRWLock::lock() {
    const auto me = std::this_thread::get_id();
    std::unique_lock guard(mutex_);
    if (writer_ == me) {
        ++write_depth_;
        return;
    }
    // Our own shared holds stop counting while we wait, so that upgrading readers never
    // wait for each other.
    const auto found = holds_of(me);
    const int own_shared = found == shared_holds_.end() ? 0 : found->second;
    active_shared_ -= own_shared;
    ++waiting_writers_;
    ++waiting_;
    changed_.wait(guard, [&] { return writer_ == std::thread::id{} && active_shared_ == 0; });
    --waiting_;
    --waiting_writers_;
    writer_ = me;
    write_depth_ = 1;
}

void ReentrantRWLock::unlock() {
    const auto me = std::this_thread::get_id();
    std::unique_lock guard(mutex_);
    if (writer_ != me || write_depth_ == 0) return;
    if (--write_depth_ > 0) return;
    writer_ = std::thread::id{};
    const auto found = holds_of(me);
    if (found != shared_holds_.end()) active_shared_ += found->second;
    wake_waiters(guard);
}

void ReentrantRWLock::lock_shared() {
    const auto me = std::this_thread::get_id();
    std::unique_lock guard(mutex_);
    auto found = holds_of(me);
    if (found == shared_holds_.end()) {
        if (writer_ != me) {
            // New readers give way to waiting writers; nested reads never wait.
            ++waiting_;
            changed_.wait(guard,
                          [&] { return writer_ == std::thread::id{} && waiting_writers_ == 0; });
            --waiting_;
        }
        shared_holds_.emplace_back(me, 0);
        found = shared_holds_.end() - 1;
    }
    ++found->second;
    // Taken under our own exclusive hold, it counts once that hold is released.
    if (writer_ != me) ++active_shared_;
}

void ReentrantRWLock::unlock_shared() {
    const auto me = std::this_thread::get_id();
    std::unique_lock guard(mutex_);
    const auto found = holds_of(me);
    if (found == shared_holds_.end()) return;
    if (--found->second == 0) {
        *found = shared_holds_.back();
        shared_holds_.pop_back();
    }
    if (writer_ != me) --active_shared_;
    wake_waiters(guard);
}

} // namespace kvr
