#include "timers/timer_ex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

using namespace kvr;

namespace {
// Handles this thread's messages until `done` or the limit; answers `done()`.
template <class Done> bool pump_until(Done done, DWORD limit_ms = 20000) {
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < limit_ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(5);
    }
    return done();
}
void pump_for(DWORD ms) {
    pump_until([] { return false; }, ms);
}
} // namespace

TEST(TkvrTimerEx, FiresInTheOwningThread) {
    TkvrTimerEx timer;
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(1000u, timer.Interval());
    EXPECT_EQ(GetCurrentThreadId(), timer.OwnerThread());
    int fired = 0;
    DWORD fired_on = 0;
    timer.SetInterval(20);
    timer.SetOnTimer([&](TkvrTimerEx&) {
        ++fired;
        fired_on = GetCurrentThreadId();
    });
    EXPECT_TRUE(pump_until([&] { return fired >= 3; }));
    EXPECT_EQ(GetCurrentThreadId(), fired_on);
}

TEST(TkvrTimerEx, NoSystemTimerWithoutHandlerOrInterval) {
    TkvrTimerEx timer;
    int fired = 0;
    timer.SetInterval(0);
    timer.SetOnTimer([&](TkvrTimerEx&) { ++fired; });
    pump_for(300);
    EXPECT_EQ(0, fired);
    // A handler set to nothing kills the timer as well.
    timer.SetInterval(20);
    timer.SetOnTimer(nullptr);
    pump_for(300);
    EXPECT_EQ(0, fired);
}

TEST(TkvrTimerEx, DisablingFromAnotherThreadTakesEffectInTheOwningThread) {
    TkvrTimerEx timer;
    std::atomic<int> fired{0};
    timer.SetInterval(20);
    timer.SetOnTimer([&](TkvrTimerEx&) { ++fired; });
    ASSERT_TRUE(pump_until([&] { return fired >= 1; }));
    std::thread([&] { timer.SetEnabled(false); }).join(); // returns at once: only a post
    EXPECT_TRUE(timer.Enabled()) << "unchanged until the owning thread handles the request";
    EXPECT_TRUE(pump_until([&] { return !timer.Enabled(); }));
    pump_for(100); // a tick queued before the request may still arrive
    const int after = fired;
    pump_for(300);
    EXPECT_EQ(after, fired);
    std::thread([&] { timer.SetEnabled(true); }).join();
    EXPECT_TRUE(pump_until([&] { return fired > after; }));
}

TEST(TkvrTimerEx, DestroyedFromAnotherThreadWhileTheOwnerIsBusy) {
    auto timer = std::make_unique<TkvrTimerEx>();
    std::atomic<int> fired{0};
    timer->SetInterval(20);
    timer->SetOnTimer([&](TkvrTimerEx&) { ++fired; });
    const HWND window = timer->Window();
    // This thread handles no messages while the other one destroys the timer: the
    // destruction does not wait for it.
    std::thread([&] { timer.reset(); }).join();
    const int before = fired;
    pump_for(300); // the posted release runs now; no tick reaches the destroyed timer
    EXPECT_EQ(before, fired);
    EXPECT_FALSE(IsWindow(window));
}

// A handler may end its own timer: the tick that runs it returns into nothing that was freed.
TEST(TkvrTimerEx, ATickMayDestroyItsOwnTimer) {
    auto timer = std::make_unique<TkvrTimerEx>();
    const HWND window = timer->Window();
    int fired = 0;
    timer->SetInterval(20);
    timer->SetOnTimer([&, marker = std::string(64, 'x')](TkvrTimerEx&) {
        ++fired;
        timer.reset();
        EXPECT_EQ(64u, marker.size()) << "the running handler was destroyed under it";
    });
    EXPECT_TRUE(pump_until([&] { return !timer; }));
    pump_for(200);
    EXPECT_EQ(1, fired);
    EXPECT_FALSE(IsWindow(window));
}
