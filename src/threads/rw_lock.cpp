#include "threads/rw_lock.h"

namespace kvr {

void ReentrantRWLock::lock() {
    const auto me = std::this_thread::get_id();
    std::unique_lock guard(mutex_);
    if (writer_ == me) {
        ++write_depth_;
        return;
    }
    // Our own shared holds stop counting while we wait, so that upgrading readers never
    // wait for each other.
    const auto found = shared_holds_.find(me);
    const int own_shared = found == shared_holds_.end() ? 0 : found->second;
    active_shared_ -= own_shared;
    ++waiting_writers_;
    changed_.wait(guard, [&] { return writer_ == std::thread::id{} && active_shared_ == 0; });
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
    const auto found = shared_holds_.find(me);
    if (found != shared_holds_.end()) active_shared_ += found->second;
    guard.unlock();
    changed_.notify_all();
}

void ReentrantRWLock::lock_shared() {
    const auto me = std::this_thread::get_id();
    std::unique_lock guard(mutex_);
    int& holds = shared_holds_[me];
    if (writer_ == me) {
        ++holds; // taken under our own exclusive hold; counts again once that is released
        return;
    }
    if (holds == 0) {
        // New readers give way to waiting writers; nested reads never wait.
        changed_.wait(guard, [&] { return writer_ == std::thread::id{} && waiting_writers_ == 0; });
    }
    ++shared_holds_[me];
    ++active_shared_;
}

void ReentrantRWLock::unlock_shared() {
    const auto me = std::this_thread::get_id();
    std::unique_lock guard(mutex_);
    const auto found = shared_holds_.find(me);
    if (found == shared_holds_.end() || found->second == 0) return;
    if (--found->second == 0) shared_holds_.erase(found);
    if (writer_ != me) --active_shared_;
    guard.unlock();
    changed_.notify_all();
}

} // namespace kvr
