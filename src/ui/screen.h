#pragma once
// What the screen looks like now: the desktop of all monitors, window rectangles, the monitor
// under the mouse cursor. Windows builds only.

#include "ui/placement.h"

#include <windows.h>

#include <optional>

namespace kvr::ui {

// The area all monitors cover together.
Rect DesktopRect();
// A window's rectangle on the screen; nothing for a window that does not exist.
std::optional<Rect> WindowScreenRect(HWND window);
// The bounds of the monitor nearest to the mouse cursor; nothing when the cursor position
// cannot be had.
std::optional<Rect> MonitorUnderCursor();

} // namespace kvr::ui
