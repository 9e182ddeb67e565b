#include "timers/timer_ex.h"

#include "common/critical_section.h"
#include "common/errors.h"
#include "common/this_module.h"

#include <cstdio>
#include <mutex>

namespace kvr {

namespace {

constexpr UINT_PTR kTimerId = 1;

// The module (DLL or program) that holds this code: the hidden windows' class belongs to it,
// so that its window procedure is never looked for in another module.
HINSTANCE timer_module() {
    return ThisModule();
}

// Registration state of the class; changed under class_guard().
struct WindowClass {
    ATOM atom = 0;
    std::string name;
};

std::mutex& class_guard() {
    static std::mutex guard;
    return guard;
}

WindowClass& window_class() {
    static WindowClass state;
    return state;
}

} // namespace

struct TkvrTimerEx::Gate : std::enable_shared_from_this<Gate> {
    CriticalSection lock; // re-entrant: a tick may destroy its own timer
    TkvrTimerEx* timer = nullptr;
};

namespace {

// Held only while a window's gate is looked up and entered, or taken from the window: after
// that a gate is either entered (its destruction waits) or unreachable.
CriticalSection& handoff_lock() {
    static CriticalSection lock;
    return lock;
}

// The gate of a timer window, entered for this object's life; empty once the timer is gone.
class GateEntry {
  public:
    explicit GateEntry(HWND window) {
        const std::lock_guard handoff(handoff_lock());
        // A gate the window still names belongs to a living timer: the timer takes it from the
        // window under this same lock before it lets the gate go.
        auto* const named =
            reinterpret_cast<TkvrTimerEx::Gate*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (!named) return;
        gate_ = named->shared_from_this();
        gate_->lock.lock();
    }
    ~GateEntry() {
        if (gate_) gate_->lock.unlock();
    }
    GateEntry(const GateEntry&) = delete;
    GateEntry& operator=(const GateEntry&) = delete;

    TkvrTimerEx* timer() const { return gate_ ? gate_->timer : nullptr; }

  private:
    std::shared_ptr<TkvrTimerEx::Gate> gate_;
};

} // namespace

std::string TkvrTimerEx::WindowClassName() {
    // Unique to the module: another plug-in built on this code, or this one loaded again at
    // another address, registers a class of its own.
    char name[64];
    std::snprintf(name, sizeof name, "TkvrTimerExWindow.%p", static_cast<void*>(timer_module()));
    return name;
}

void TkvrTimerEx::RegisterWindowClass() {
    std::lock_guard lock(class_guard());
    WindowClass& state = window_class();
    if (state.atom) return;
    const std::string name = WindowClassName();
    WNDCLASSA wc{};
    wc.lpfnWndProc = &TkvrTimerEx::procedure;
    wc.hInstance = timer_module();
    wc.lpszClassName = name.c_str();
    ATOM atom = RegisterClassA(&wc);
    if (!atom && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        // Left behind by an earlier life of this module at the same address (a host that
        // freed it without its shutdown running): replace it, so that it leads here.
        UnregisterClassA(name.c_str(), wc.hInstance);
        atom = RegisterClassA(&wc);
    }
    if (!atom) throw EOSError("RegisterClassA", GetLastError());
    state.atom = atom;
    state.name = name;
}

void TkvrTimerEx::UnregisterWindowClass() noexcept {
    try {
        std::lock_guard lock(class_guard());
        WindowClass& state = window_class();
        if (!state.atom) return;
        if (UnregisterClassA(state.name.c_str(), timer_module())) state = {};
    } catch (...) {
    }
}

TkvrTimerEx::TkvrTimerEx() : owner_thread_(GetCurrentThreadId()) {
    RegisterWindowClass();
    window_ = CreateWindowExA(0, WindowClassName().c_str(), "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, timer_module(), nullptr);
    if (!window_) throw EOSError("CreateWindowExA", GetLastError());
    gate_ = std::make_shared<Gate>();
    gate_->timer = this;
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(gate_.get()));
}
TkvrTimerEx::~TkvrTimerEx() {
    try {
        if (gate_) {
            // From here on no tick or enable request reaches this object: the window loses its
            // gate, and a tick already inside it is waited for.
            {
                const std::lock_guard handoff(handoff_lock());
                if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
            }
            const std::lock_guard closing(gate_->lock);
            gate_->timer = nullptr;
        }
        on_timer_ = nullptr;
        enabled_ = false;
        if (!window_) return;
        if (IsOwnerThread()) {
            DestroyWindow(window_);
        } else {
            KillTimer(window_, kTimerId); // refused from another thread; the release kills it
            PostMessageA(window_, ReleaseRequest, 0, 0);
        }
    } catch (...) {
    }
}

void TkvrTimerEx::SetEnabled(bool value) {
    if (value == enabled_) return;
    if (!window_ || IsOwnerThread()) {
        enabled_ = value;
        UpdateTimer();
    } else {
        PostMessageA(window_, EnableRequest, value ? 1 : 0, 0);
    }
}

void TkvrTimerEx::SetInterval(uint32_t value) {
    if (value == interval_) return;
    interval_ = value;
    UpdateTimer();
}

void TkvrTimerEx::SetOnTimer(std::function<void(TkvrTimerEx&)> handler) {
    on_timer_ = std::move(handler);
    UpdateTimer();
}

void TkvrTimerEx::UpdateTimer() {
    if (!window_) return;
    KillTimer(window_, kTimerId);
    if (interval_ != 0 && enabled_ && on_timer_) {
        if (SetTimer(window_, kTimerId, interval_, nullptr) == 0)
            throw EOutOfResources("Not enough timers available");
    }
}

void TkvrTimerEx::fire() {
    try {
        // A copy runs: a handler that destroys its own timer destroys the timer's handler.
        if (const auto handler = on_timer_) handler(*this);
    } catch (...) {
        // A failing handler must not take the owning thread's message loop down.
    }
}

LRESULT CALLBACK TkvrTimerEx::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_TIMER: {
        const GateEntry gate(window);
        if (TkvrTimerEx* const timer = gate.timer())
            timer->fire();
        else
            KillTimer(window, kTimerId);
        return 0;
    }
    case EnableRequest: {
        const GateEntry gate(window);
        TkvrTimerEx* const timer = gate.timer();
        if (timer && timer->enabled_ != (wparam == 1)) {
            timer->enabled_ = wparam == 1;
            try {
                timer->UpdateTimer();
            } catch (...) {
            }
        }
        return 0;
    }
    case ReleaseRequest: // posted by a timer destroyed on another thread
        KillTimer(window, kTimerId);
        DestroyWindow(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

} // namespace kvr
