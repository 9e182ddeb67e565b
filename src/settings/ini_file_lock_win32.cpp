// The INI file lock on Windows: a lock count, the holder's thread id and its recursion count
// in 16 bytes of named shared memory, and a named auto-reset event on which waiters block.
// A thread that finds the lock taken spins a while before it blocks; the holder that lets go
// while others wait sets the event for one of them. Every module built on this framework uses
// the same names and layout for the same file.
//
// A holder whose thread ends without letting go (its process crashed or was killed) would
// keep everyone out for ever. So a blocked thread wakes every kOwnerCheckMs to look whether
// the holder's thread still exists (thread ids are unique on the machine while the thread
// lives, whatever process it belongs to); when it is gone, one waiter takes the lock over
// and removes the dead holder's nesting from the lock count. Modules that do not check keep
// waiting until the lock is handed on as usual.

#include "settings/ini_file_lock.h"

#include "common/win32_handle.h"

namespace kvr {

namespace {

// The shared block, 16 bytes. The lock count is the number of threads that hold or want the
// lock (the holder counts once per nesting).
struct SharedLockState {
    volatile LONG spin_count;
    volatile LONG lock_count;
    volatile LONG owner_thread;
    LONG recursion; // touched by the holder only
};
static_assert(sizeof(SharedLockState) == 16);

LONG read_shared(volatile LONG& value) {
    return InterlockedCompareExchange(&value, 0, 0);
}

constexpr DWORD kOwnerCheckMs = 100;

// False only when the thread is known to have ended. A thread that this process may not look
// at counts as alive.
bool thread_alive(LONG thread_id) {
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, static_cast<DWORD>(thread_id));
    if (!thread) return GetLastError() == ERROR_ACCESS_DENIED;
    const UniqueHandleNull owner(thread);
    return WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
}

} // namespace

struct IniFileLock::Held {
    UniqueHandleNull event;
    UniqueHandleNull mapping;
    UniqueView view;
    SharedLockState* state = nullptr;

    void enter();
    void leave();
    void wait_for_handover(LONG thread);
    void take_ownership(LONG thread) {
        InterlockedExchange(&state->owner_thread, thread);
        state->recursion = 1;
    }
};

void IniFileLock::Held::enter() {
    const LONG thread = static_cast<LONG>(GetCurrentThreadId());
    for (int spin = kSpinCount; spin > 0; --spin) {
        if (InterlockedCompareExchange(&state->lock_count, 1, 0) == 0) {
            take_ownership(thread);
            return;
        }
        if (read_shared(state->owner_thread) == thread) {
            InterlockedIncrement(&state->lock_count);
            ++state->recursion;
            return;
        }
        YieldProcessor();
    }
    if (InterlockedIncrement(&state->lock_count) == 1) {
        take_ownership(thread);
    } else if (read_shared(state->owner_thread) == thread) {
        ++state->recursion;
    } else {
        wait_for_handover(thread);
    }
}

void IniFileLock::Held::wait_for_handover(LONG thread) {
    for (;;) {
        if (WaitForSingleObject(event.get(), kOwnerCheckMs) == WAIT_OBJECT_0) {
            take_ownership(thread);
            return;
        }
        // Owner 0: the lock is being handed on or taken right now; look again later.
        const LONG owner = read_shared(state->owner_thread);
        if (owner == 0 || thread_alive(owner)) continue;
        if (InterlockedCompareExchange(&state->owner_thread, thread, owner) != owner)
            continue; // another waiter took it over first
        InterlockedExchangeAdd(&state->lock_count, -state->recursion); // the dead holder's share
        state->recursion = 1;
        return;
    }
}

void IniFileLock::Held::leave() {
    if (--state->recursion > 0) {
        InterlockedDecrement(&state->lock_count);
        return;
    }
    InterlockedExchange(&state->owner_thread, 0);
    if (InterlockedDecrement(&state->lock_count) > 0) SetEvent(event.get());
}

IniFileLock::IniFileLock(std::string_view ini_path) : held_(std::make_unique<Held>()) {
    const std::string name = IniLockName(ini_path);
    held_->event.reset(CreateEventA(nullptr, FALSE, FALSE, ("Optex_Event_" + name).c_str()));
    if (!held_->event) throw_last_error("CreateEventA");
    const HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                           sizeof(SharedLockState), ("Optex_MMF_" + name).c_str());
    const bool made_here = mapping && GetLastError() != ERROR_ALREADY_EXISTS;
    held_->mapping.reset(mapping);
    if (!held_->mapping) throw_last_error("CreateFileMappingA");
    held_->view.reset(MapViewOfFile(held_->mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!held_->view) throw_last_error("MapViewOfFile");
    held_->state = static_cast<SharedLockState*>(held_->view.get());
    if (made_here) InterlockedExchange(&held_->state->spin_count, kSpinCount);
    held_->enter();
}

IniFileLock::~IniFileLock() {
    held_->leave();
}

} // namespace kvr
