#pragma once
// The system's HTML Help viewer library, shared by the whole process. It is found through the
// class registration of the viewer's control (HKEY_CLASSES_ROOT), loaded on first use, and
// initialised once loaded; every call goes through its ANSI entry point. When it cannot be
// found or lacks an entry point, help is unavailable until the next loading cycle: help
// requests then do nothing. [any thread]

#include <windows.h>

#include <string>

namespace kvr::html_help {

// HTML Help commands this system sends.
inline constexpr UINT kDisplayToc = 1;
inline constexpr UINT kHelpContext = 15;
inline constexpr UINT kCloseAll = 18;
inline constexpr UINT kInitialize = 28;
inline constexpr UINT kUninitialize = 29;

// Loads the viewer unless it is loaded, or loading already failed in this cycle (or the
// process ended help for good); true when it can be called.
bool Available();

// Calls the viewer when it is available; answers what the viewer answers, nullptr otherwise.
HWND Call(HWND owner, const std::string& path, UINT command, DWORD_PTR data);

// Closes every help window, ends the viewer's session and frees the library, unless a call
// is running on another thread (the library then stays until the next unload). The next use
// loads it again, unless `for_good` (library shutdown) says never to.
void Unload(bool for_good);

} // namespace kvr::html_help
