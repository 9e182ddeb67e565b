#include "ui/screen.h"

namespace kvr::ui {

namespace {
Rect from_rect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}
} // namespace

Rect DesktopRect() {
    const std::int64_t left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const std::int64_t top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
            top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

std::optional<Rect> WindowScreenRect(HWND window) {
    RECT rect;
    if (!window || !IsWindow(window) || !GetWindowRect(window, &rect)) return std::nullopt;
    return from_rect(rect);
}

std::optional<Rect> MonitorUnderCursor() {
    POINT cursor;
    if (!GetCursorPos(&cursor)) return std::nullopt;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &info))
        return std::nullopt;
    return from_rect(info.rcMonitor);
}

} // namespace kvr::ui
