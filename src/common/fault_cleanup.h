#pragma once
// What a thread must undo when a memory fault abandons the frames that hold it.
//
// An entry point of the library runs inside a fault frame (plugin/fault_frame.h): when the
// host hands over a pointer that is not what it claims and reading it faults, the frame
// returns the entry point's failure answer at once, and the frames between the fault and the
// entry point are abandoned without their destructors. Whatever those frames hold that other
// calls would wait for (a lock, a busy flag, a reference that keeps an object alive) registers
// a FaultCleanup for as long as it is held. The frame runs this thread's cleanups registered
// since it began, newest first, before it answers. Outside a fault frame nothing runs them:
// they only come and go.

#include <cstdint>

namespace kvr {

class FaultCleanup {
  public:
    using Action = void (*)(void* subject);

    // Registers `action(subject)` for this thread until the object goes. The action must not
    // throw; it runs on the thread that registered it, below the abandoned frames.
    FaultCleanup(Action action, void* subject) noexcept;
    ~FaultCleanup();
    FaultCleanup(const FaultCleanup&) = delete;
    FaultCleanup& operator=(const FaultCleanup&) = delete;

    struct Chain; // this thread's registrations

  private:
    friend void RunFaultCleanupsSince(std::uint64_t mark) noexcept;
    void unlink() noexcept;

    Action action_;
    void* subject_;
    Chain* chain_;
    std::uint64_t serial_;
    FaultCleanup* older_;
    FaultCleanup* newer_ = nullptr;
};

// This thread's latest registration number; a fault frame notes it when it begins.
std::uint64_t FaultCleanupMark() noexcept;
// Runs, newest first, and forgets this thread's cleanups registered after `mark`.
void RunFaultCleanupsSince(std::uint64_t mark) noexcept;

} // namespace kvr
