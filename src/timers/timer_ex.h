#pragma once
// A timer that belongs to the thread that creates it: OnTimer always runs in that thread,
// which must process window messages. Enabled may be set from any thread; from another
// thread the change is posted to the owning thread and takes effect when it is handled.
//
// The hidden windows belong to a window class of the module that holds this code (a DLL's own
// instance, with a name unique to it). A DLL calls UnregisterWindowClass when it is freed,
// after its last timer is gone, so that no class outlives the code it points to.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kvr {

class TkvrTimerEx {
  public:
    static constexpr UINT EnableRequest = 0x810;  // wParam 1 enables, anything else disables
    static constexpr UINT ReleaseRequest = 0x811; // destroys the hidden window

    TkvrTimerEx();
    // From another thread: waits only while the owning thread is inside OnTimer, then posts
    // the release of the hidden window, which its thread carries out when it next handles
    // messages. No tick reaches the timer once this has begun.
    ~TkvrTimerEx();
    TkvrTimerEx(const TkvrTimerEx&) = delete;
    TkvrTimerEx& operator=(const TkvrTimerEx&) = delete;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    uint32_t Interval() const { return interval_; }
    void SetInterval(uint32_t value);
    DWORD OwnerThread() const { return owner_thread_; }
    bool IsOwnerThread() const { return GetCurrentThreadId() == owner_thread_; }
    void SetOnTimer(std::function<void(TkvrTimerEx&)> handler);
    HWND Window() const { return window_; }

    // The hidden windows' class: registered on the first timer's creation, under this module's
    // instance. [any thread]
    static std::string WindowClassName();
    static void RegisterWindowClass();
    // Unregisters the class (the next timer registers it again); a class that still has
    // windows stays registered. [library shutdown]
    static void UnregisterWindowClass() noexcept;

    // Kills timer 1 and sets it again when Interval is not 0, Enabled is true and OnTimer is
    // assigned. Throws EOutOfResources("Not enough timers available") when refused.
    void UpdateTimer();

    struct Gate; // what the hidden window reaches this timer through (internal)

  private:
    static LRESULT CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
    void fire();

    // The hidden window reaches the timer only through this, under its lock, so a destruction
    // on another thread waits for a running tick and never for the owning thread's message
    // loop; the window loses it before the timer goes. A running tick holds the gate too, so
    // a tick that destroys its own timer still finds its gate when it returns.
    std::shared_ptr<Gate> gate_;

    DWORD owner_thread_;
    std::atomic<bool> enabled_{true};
    uint32_t interval_ = 1000;
    std::function<void(TkvrTimerEx&)> on_timer_;
    HWND window_ = nullptr;
};

} // namespace kvr
