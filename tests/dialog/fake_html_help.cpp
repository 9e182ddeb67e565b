// A stand-in for the HTML Help viewer library: it answers the two entry points a viewer has
// and writes down every call, so that a test sees what the help requests handed to it. The
// test registers it in place of the system's viewer for its own process.

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {
std::mutex g_guard;
std::string g_calls; // one line per call: "command|path|data"
constexpr DWORD kCookie = 0x5EED;
} // namespace

extern "C" {

HWND WINAPI HtmlHelpA(HWND, LPCSTR path, UINT command, DWORD_PTR data) {
    std::lock_guard lock(g_guard);
    if (command == 28 && data) *reinterpret_cast<DWORD*>(data) = kCookie; // HH_INITIALIZE
    char line[64];
    std::snprintf(line, sizeof line, "|%llu\n", static_cast<unsigned long long>(data));
    g_calls +=
        std::to_string(command) + "|" + (path ? path : "") + (command == 28 ? "|cookie\n" : line);
    return nullptr;
}

HWND WINAPI HtmlHelpW(HWND, LPCWSTR, UINT, DWORD_PTR) {
    return nullptr;
}

// The calls so far; the text stays valid until the next call or FakeHelpClear.
const char* FakeHelpCalls() {
    std::lock_guard lock(g_guard);
    static std::string copy;
    copy = g_calls;
    return copy.c_str();
}

void FakeHelpClear() {
    std::lock_guard lock(g_guard);
    g_calls.clear();
}
}
