#include "plugin/rows_lists.h"

#include "common/win32_handle.h"

#include <windows.h>

namespace kvr {

struct TThreadRowsLists::Slot {
    ParamsListPtr list = make_params_list(true);
    UniqueHandleNull thread; // keeps the thread's id from going to another thread
    bool released = false;   // UNLOAD has let go of it (guarded by the lists' guard)
    ~Slot() { ReleaseQuietly(list); }
};

namespace {

// The calling thread's running leases, the innermost first.
thread_local TThreadRowsLists::Lease* t_leases = nullptr;

bool thread_has_ended(HANDLE thread) {
    return thread && WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
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

SharedRowsList make_shared_rows_list() {
    return SharedRowsList(TkvrParamsList::Create(true), [](TkvrParamsList* list) {
        ParamsListPtr owned(list);
        ReleaseQuietly(owned);
    });
}

TThreadRowsLists::Lease::Lease(TThreadRowsLists& lists)
    : lists_(lists), slot_(lists.slot_for_this_thread()), outer_(t_leases) {
    t_leases = this;
}

TkvrParamsList* TThreadRowsLists::Lease::list() const {
    return slot_ ? slot_->list.get() : nullptr;
}

void TThreadRowsLists::Lease::end(PPluginCallRec rec) noexcept {
    if (t_leases == this) t_leases = outer_;
    if (!slot_) return;
    std::lock_guard lock(lists_.guard_);
    if (slot_->released && rec && rec->ResultKind == KVR_RESULTKIND_ROWS_LIST &&
        rec->ResultValue == reinterpret_cast<intptr_t>(slot_->list.get())) {
        rec->ResultKind = KVR_RESULTKIND_NONE;
        rec->ResultValue = 0;
    }
    slot_.reset(); // the last holder of a released list frees it
}

TThreadRowsLists::TThreadRowsLists() = default;
TThreadRowsLists::~TThreadRowsLists() = default;

void TThreadRowsLists::Prepare() {
    std::lock_guard lock(guard_);
    prepared_ = true;
}

void TThreadRowsLists::Release() {
    std::lock_guard lock(guard_);
    prepared_ = false;
    for (auto& [thread, slot] : lists_)
        slot->released = true;
    for (auto& slot : kept_)
        slot->released = true;
    lists_.clear(); // frees every list no call holds
    kept_.clear();
}

bool TThreadRowsLists::Prepared() const {
    std::lock_guard lock(guard_);
    return prepared_;
}

TkvrParamsList* TThreadRowsLists::ForThisThread() const {
    for (const Lease* lease = t_leases; lease; lease = lease->outer_)
        if (&lease->lists_ == this) return lease->list();
    return nullptr;
}

std::shared_ptr<TThreadRowsLists::Slot> TThreadRowsLists::slot_for_this_thread() {
    std::lock_guard lock(guard_);
    if (!prepared_) return nullptr;
    const uint32_t thread = GetCurrentThreadId();
    if (const auto found = lists_.find(thread); found != lists_.end()) return found->second;
    // Hosts that start a thread per job would otherwise leave one list behind per job.
    if (lists_.size() >= prune_at_) {
        forget_finished_threads();
        prune_at_ = 2 * lists_.size() + 16;
    }
    auto slot = std::make_shared<Slot>();
    slot->thread.reset(OpenThread(SYNCHRONIZE, FALSE, thread));
    return lists_.emplace(thread, std::move(slot)).first->second;
}

void TThreadRowsLists::forget_finished_threads() {
    for (auto it = lists_.begin(); it != lists_.end();) {
        Slot& slot = *it->second;
        if (!thread_has_ended(slot.thread.get())) {
            ++it;
            continue;
        }
        slot.thread.reset();
        if (slot.list->GetCount() > 0) kept_.push_back(std::move(it->second));
        it = lists_.erase(it);
    }
}

void TSharedRowsList::Prepare() {
    std::lock_guard lock(guard_);
    if (!list_) list_ = make_shared_rows_list();
}

void TSharedRowsList::Release() {
    SharedRowsList released;
    std::lock_guard lock(guard_);
    released.swap(list_);
}

SharedRowsList TSharedRowsList::Hold() const {
    std::lock_guard lock(guard_);
    return list_;
}

bool TSharedRowsList::LetGo(SharedRowsList& held) {
    std::lock_guard lock(guard_);
    const bool current = held && held == list_;
    held.reset();
    return current;
}

} // namespace kvr
