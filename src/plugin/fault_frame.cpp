#include "plugin/fault_frame.h"

#include "common/fault_cleanup.h"

#include <windows.h>

#include <cstdint>

// The handler the system calls for a fault frame, and (64-bit) the function that carries it.
extern "C" EXCEPTION_DISPOSITION kvr_fault_frame_handler(EXCEPTION_RECORD* record, void* frame,
                                                         CONTEXT* context, void* dispatcher);
#ifdef _WIN64
extern "C" void kvr_call_in_fault_frame(void (*body)(void*), void* context);

// Calls body(context) in a frame whose exception handler is kvr_fault_frame_handler. The
// handler never unwinds this frame: the thread comes back through __builtin_longjmp into
// RunInFaultFrame, which called this one.
asm(R"(
    .text
    .p2align 4
    .globl kvr_call_in_fault_frame
    .def kvr_call_in_fault_frame; .scl 2; .type 32; .endef
    .seh_proc kvr_call_in_fault_frame
kvr_call_in_fault_frame:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
    addq $40, %rsp
    ret
    .seh_handler kvr_fault_frame_handler, @except
    .seh_endproc
)");
#endif

namespace kvr {

namespace {

struct Frame {
    void* resume[5]; // __builtin_setjmp's buffer: where the thread comes back after a fault
    Frame* outer;    // the frame this one is nested in, or null
    std::uint64_t cleanup_mark;
    volatile bool recovering;
#ifndef _WIN64
    // The frame's registration on the thread's handler chain (fs:[0]).
    struct Registration {
        Registration* next;
        void* handler;
    } registration;
    unsigned short fpu_control; // the x87 control word at the frame's start
#endif
};

// The innermost fault frame of each thread.
class FrameSlot {
  public:
    FrameSlot() : index_(TlsAlloc()) {}
    ~FrameSlot() {
        if (usable()) TlsFree(index_);
    }
    FrameSlot(const FrameSlot&) = delete;
    FrameSlot& operator=(const FrameSlot&) = delete;
    bool usable() const { return index_ != TLS_OUT_OF_INDEXES; }
    Frame* get() const { return usable() ? static_cast<Frame*>(TlsGetValue(index_)) : nullptr; }
    void set(Frame* frame) const { TlsSetValue(index_, frame); }

  private:
    DWORD index_;
};
const FrameSlot g_frames;

// Faults that bad pointers (or code reached through them) cause; the runtime this interface
// was designed on turns the same ones into ordinary exceptions. A stack overflow is not among
// them: the stack's guard page would not be there for the next one.
bool is_memory_fault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
        return true;
    default:
        return false;
    }
}

#ifndef _WIN64
// The head of the thread's handler chain, at fs:[0] (the ExceptionList of its NT_TIB).
void* handler_chain() {
    void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}
void set_handler_chain(void* head) {
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
#endif

// Where a faulting thread resumes, on its own stack below the fault: the dispatch of the fault
// is over, so this is ordinary code. It undoes what the abandoned frames hold and jumps back
// into RunInFaultFrame.
[[noreturn]] __attribute__((noinline)) void resume_after_fault() {
    Frame* const frame = g_frames.get();
#ifndef _WIN64
    // Handler registrations of abandoned frames would dangle on the chain; the x87 stack may
    // hold values of abandoned code.
    set_handler_chain(frame->registration.next);
    asm volatile("fninit\n\tfldcw %0" : : "m"(frame->fpu_control));
#endif
    RunFaultCleanupsSince(frame->cleanup_mark);
    __builtin_longjmp(frame->resume, 1);
}

} // namespace

bool RunInFaultFrame(void (*body)(void*), void* context) noexcept {
    if (!g_frames.usable()) {
        body(context);
        return true;
    }
    Frame frame{};
    frame.outer = g_frames.get();
    frame.cleanup_mark = FaultCleanupMark();
    if (__builtin_setjmp(frame.resume)) {
        // Back from a fault; the handler chain is already as it was before this frame.
        Frame* const faulted = g_frames.get();
        g_frames.set(faulted->outer);
        return false;
    }
#ifdef _WIN64
    g_frames.set(&frame);
    kvr_call_in_fault_frame(body, context);
#else
    asm volatile("fnstcw %0" : "=m"(frame.fpu_control));
    frame.registration.next = static_cast<Frame::Registration*>(handler_chain());
    frame.registration.handler = reinterpret_cast<void*>(&kvr_fault_frame_handler);
    g_frames.set(&frame);
    set_handler_chain(&frame.registration);
    body(context);
    set_handler_chain(frame.registration.next);
#endif
    g_frames.set(frame.outer);
    return true;
}

} // namespace kvr

// Called by the system for a fault inside a frame, after every handler nearer to the fault
// has passed it on. It never unwinds: it points the thread at resume_after_fault and lets it
// continue there.
extern "C" EXCEPTION_DISPOSITION kvr_fault_frame_handler(EXCEPTION_RECORD* record, void*,
                                                         CONTEXT* context, void*) {
    using namespace kvr;
    const DWORD passing = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND | EXCEPTION_NONCONTINUABLE;
    if ((record->ExceptionFlags & passing) || !is_memory_fault(record->ExceptionCode))
        return ExceptionContinueSearch;
    Frame* const frame = g_frames.get();
    if (!frame || frame->recovering) return ExceptionContinueSearch; // a fault while recovering
    frame->recovering = true;
    // A stack aligned as at a function's entry, some way below the faulting code's.
#ifdef _WIN64
    context->Rsp = ((context->Rsp - 256) & ~DWORD64(15)) - 8;
    context->Rip = reinterpret_cast<DWORD64>(&resume_after_fault);
#else
    context->Esp = ((context->Esp - 256) & ~DWORD(15)) - 4;
    context->Eip = reinterpret_cast<DWORD>(&resume_after_fault);
#endif
    context->EFlags &= ~DWORD(0x400); // the direction flag, as compiled code expects it
    return ExceptionContinueExecution;
}
