#include "plugin/rows_lists.h"

#include <windows.h>

namespace kvr {

namespace {

bool thread_still_runs(uint32_t thread_id) {
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, thread_id);
    if (!thread) return false;
    DWORD code = 0;
    const bool running = GetExitCodeThread(thread, &code) && code == STILL_ACTIVE;
    CloseHandle(thread);
    return running;
}

} // namespace

void ReleaseQuietly(ParamsListPtr& list) {
    try {
        if (list) list->Clear();
    } catch (...) {
    }
    try {
        list.reset();
    } catch (...) {
    }
}

void TThreadRowsLists::Prepare() {
    std::lock_guard lock(guard_);
    prepared_ = true;
}

void TThreadRowsLists::Release() {
    std::lock_guard lock(guard_);
    prepared_ = false;
    for (auto& [thread, list] : lists_)
        ReleaseQuietly(list);
    lists_.clear();
}

bool TThreadRowsLists::Prepared() const {
    std::lock_guard lock(guard_);
    return prepared_;
}

TkvrParamsList* TThreadRowsLists::ForThisThread() {
    std::lock_guard lock(guard_);
    if (!prepared_) return nullptr;
    const uint32_t thread = GetCurrentThreadId();
    if (const auto found = lists_.find(thread); found != lists_.end()) return found->second.get();
    // Hosts that start a thread per job would otherwise leave one list behind per job.
    if (lists_.size() >= prune_at_) {
        forget_finished_threads();
        prune_at_ = 2 * lists_.size() + 16;
    }
    return lists_.emplace(thread, make_params_list(true)).first->second.get();
}

void TThreadRowsLists::forget_finished_threads() {
    for (auto it = lists_.begin(); it != lists_.end();) {
        if (thread_still_runs(it->first)) {
            ++it;
        } else {
            ReleaseQuietly(it->second);
            it = lists_.erase(it);
        }
    }
}

} // namespace kvr
