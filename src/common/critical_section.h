#pragma once
// A Win32 critical section as a lock: re-entrant for the thread that holds it, and given back
// to the system when it goes. (On this toolchain std::recursive_mutex allocates on its first
// lock and never frees it: one lost block per lock object.) Windows builds only.

#include "common/fault_cleanup.h"

#include <windows.h>

namespace kvr {

class CriticalSection {
  public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }
    bool try_lock() { return TryEnterCriticalSection(&section_) != 0; }

  private:
    CRITICAL_SECTION section_;
};

// Holds a critical section for its scope; a memory fault that abandons the scope lets it go too,
// so a later call does not wait for ever.
class [[nodiscard]] CriticalSectionGuard {
  public:
    explicit CriticalSectionGuard(CriticalSection& section) : section_(take(section)) {}
    ~CriticalSectionGuard() { release(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

  private:
    static CriticalSection* take(CriticalSection& section) {
        section.lock();
        return &section;
    }
    void release() noexcept {
        if (section_) section_->unlock();
        section_ = nullptr;
    }
    static void release_after_fault(void* self) {
        static_cast<CriticalSectionGuard*>(self)->release();
    }

    CriticalSection* section_;
    FaultCleanup fault_cleanup_{&release_after_fault, this};
};

} // namespace kvr
