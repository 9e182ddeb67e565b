// Where the options dialog opens: over the host's window the first time, where the user left
// it when the host passes its window, centred again when the stored place is off every
// monitor, over the monitor under the cursor without a host window, and on screen whatever
// the stored geometry holds.

#include "dialog_driver.h"
#include "dialog_fixture.h"

namespace {

// A visible top-level window of the test's thread, as a host's main window.
class OwnerWindow {
  public:
    OwnerWindow() {
        window_ =
            CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, kLeft, kTop,
                            kWidth, kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~OwnerWindow() { DestroyWindow(window_); }
    HWND handle() const { return window_; }
    static constexpr int kLeft = 100, kTop = 80, kWidth = 600, kHeight = 400;

  private:
    HWND window_;
};

// Opens the dialog and answers where it showed; it is cancelled with Escape after `moved_to`,
// when given, has moved it.
RECT open_dialog(const Instance& instance, HWND owner, const POINT* moved_to = nullptr) {
    RECT shown{};
    instance.show_dialog(
        [&](Dialog& dialog) {
            shown = dialog.screen_rect(dialog.window());
            if (moved_to)
                SetWindowPos(dialog.window(), nullptr, moved_to->x, moved_to->y, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            dialog.key(dialog.button(L"Cancel"), VK_ESCAPE);
        },
        owner);
    return shown;
}

void expect_centred_over(const RECT& reference, const RECT& dialog) {
    const LONG width = dialog.right - dialog.left;
    const LONG height = dialog.bottom - dialog.top;
    EXPECT_EQ(reference.left + (reference.right - reference.left - width) / 2, dialog.left);
    EXPECT_EQ(reference.top + (reference.bottom - reference.top - height) / 2, dialog.top);
}

} // namespace

TEST(DialogPlacement, FirstOpeningIsCentredOverTheOwnerThenWhereTheUserLeftIt) {
    SettingsFile settings("");
    Instance instance(settings);
    OwnerWindow owner;
    RECT owner_rect;
    GetWindowRect(owner.handle(), &owner_rect);
    const POINT moved{40, 500};
    const RECT first = open_dialog(instance, owner.handle(), &moved);
    expect_centred_over(owner_rect, first);
    EXPECT_EQ(389, first.right - first.left);
    EXPECT_EQ(336, first.bottom - first.top);
    const RECT second = open_dialog(instance, owner.handle());
    EXPECT_EQ(moved.x, second.left);
    EXPECT_EQ(moved.y, second.top);
}

TEST(DialogPlacement, AStoredPlaceOffEveryMonitorIsCentredAgain) {
    SettingsFile settings("Left=5000\r\nTop=-4000\r\nWidth=420\r\nHeight=350\r\n");
    Instance instance(settings);
    OwnerWindow owner;
    RECT owner_rect;
    GetWindowRect(owner.handle(), &owner_rect);
    const RECT shown = open_dialog(instance, owner.handle());
    expect_centred_over(owner_rect, shown);
    EXPECT_EQ(420, shown.right - shown.left) << "the stored size stays";
}

TEST(DialogPlacement, WithoutAnOwnerWindowItIsCentredOnTheMonitorUnderTheCursor) {
    SettingsFile settings("Left=40\r\nTop=30\r\n"); // kept only when the host passes its window
    Instance instance(settings);
    POINT cursor{200, 150};
    SetCursorPos(cursor.x, cursor.y);
    GetCursorPos(&cursor);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
    expect_centred_over(monitor.rcMonitor, open_dialog(instance, nullptr));
}

TEST(DialogPlacement, StoredGeometryOfAnyValueLeavesTheDialogOnScreen) {
    const RECT desktop{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                       GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                       GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    OwnerWindow owner;
    for (const char* geometry : {"Left=-2147483648\r\nTop=abc\r\nWidth=-50\r\nHeight=-9999\r\n",
                                 "Left=2147483647\r\nTop=2147483647\r\nWidth=2147483647\r\n"
                                 "Height=99999999\r\n",
                                 "Left=1e9\r\nTop=\r\nWidth=0x7FFFFFFF\r\nHeight=12.5\r\n"}) {
        SCOPED_TRACE(geometry);
        SettingsFile settings(geometry);
        Instance instance(settings);
        const RECT shown = open_dialog(instance, owner.handle());
        const LONG centre_x = shown.left + (shown.right - shown.left) / 2;
        const LONG centre_y = shown.top + (shown.bottom - shown.top) / 2;
        EXPECT_TRUE(centre_x >= desktop.left && centre_x <= desktop.right);
        EXPECT_TRUE(centre_y >= desktop.top && centre_y <= desktop.bottom);
        EXPECT_GE(shown.right - shown.left, 350);
        EXPECT_GE(shown.bottom - shown.top, 300);
        EXPECT_LE(shown.right - shown.left, GetSystemMetrics(SM_CXMAXTRACK));
        EXPECT_LE(shown.bottom - shown.top, GetSystemMetrics(SM_CYMAXTRACK));
    }
}
