#pragma once
// A fault frame per entry point: a host that hands over a pointer that is not what it claims
// (a record, a list, an item, a string or a buffer) gets the entry point's failure answer
// instead of a crashed process.
//
// The frame is a structured-exception frame of the calling thread (a registration on the
// thread's handler chain in the 32-bit build, a handler in the function table in the 64-bit
// one). Handlers nearer to the fault come first, so a host's or the system's own handlers
// inside the call keep working; the frame takes what they leave: an access violation and its
// kin (below). It then resumes the thread below the fault, runs the cleanups registered since
// the frame began (common/fault_cleanup.h: locks, busy flags, references), and jumps back to
// the frame, which answers false. The frames in between are abandoned without their
// destructors: what they had allocated stays allocated.

namespace kvr {

// Runs body(context) inside a fault frame. Answers true when the body returned, false when a
// memory fault inside it was turned back here. The body must not throw.
bool RunInFaultFrame(void (*body)(void*), void* context) noexcept;

template <class Body> bool RunInFaultFrame(Body& body) noexcept {
    return RunInFaultFrame([](void* context) { (*static_cast<Body*>(context))(); }, &body);
}

// Runs `work` (which answers an R) at an entry point's boundary: a C++ exception or a memory
// fault inside it answers `failure`.
template <class R, class Work> R AtEntryBoundary(R failure, Work&& work) noexcept {
    R result = failure;
    auto body = [&]() noexcept {
        try {
            result = work();
        } catch (...) {
            result = failure;
        }
    };
    if (!RunInFaultFrame(body)) return failure;
    return result;
}

} // namespace kvr
