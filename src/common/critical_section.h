#pragma once
// A Win32 critical section as a lock: re-entrant for the thread that holds it, and given back
// to the system when it goes. (On this toolchain std::recursive_mutex allocates on its first
// lock and never frees it: one lost block per lock object.) Windows builds only.

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

} // namespace kvr
