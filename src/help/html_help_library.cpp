#include "help/html_help_library.h"

#include "common/win32_handle.h"
#include "help/help_path.h"

#include <mutex>

namespace kvr::html_help {

namespace {

using HtmlHelpAFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

constexpr const char* kViewerRegistration =
    "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32";

struct ViewerState {
    std::mutex guard;
    UniqueLibrary library;
    HtmlHelpAFunction html_help = nullptr;
    DWORD cookie = 0;
    bool attempted = false; // loading was tried in this cycle
    bool ended = false;     // library shutdown: never load again
    int running_calls = 0;
};

ViewerState& state() {
    static ViewerState viewer; // process-wide
    return viewer;
}

std::string registered_viewer() {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kViewerRegistration, 0, KEY_QUERY_VALUE, &raw) !=
        ERROR_SUCCESS)
        return {};
    const UniqueRegKey key(raw);
    char value[MAX_PATH * 2] = {};
    DWORD type = 0;
    DWORD size = sizeof value - 1;
    if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    value[size < sizeof value ? size : sizeof value - 1] = '\0';
    return value;
}

// The system directory of this process's bitness: a 32-bit process on 64-bit Windows finds
// the 32-bit viewer in the WOW64 directory.
std::string system_directory() {
    char folder[MAX_PATH + 1] = {};
    HMODULE kernel = GetModuleHandleA("kernel32");
    using IsWow64Function = BOOL(WINAPI*)(HANDLE, PBOOL);
    using Wow64DirectoryFunction = UINT(WINAPI*)(LPSTR, UINT);
    const auto is_wow64 = reinterpret_cast<IsWow64Function>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    if (is_wow64 && is_wow64(GetCurrentProcess(), &wow64) && wow64) {
        const auto wow64_directory = reinterpret_cast<Wow64DirectoryFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "GetSystemWow64DirectoryA")));
        if (wow64_directory && wow64_directory(folder, MAX_PATH)) return folder;
    }
    return GetSystemDirectoryA(folder, MAX_PATH) ? folder : "";
}

// Under the state's lock.
void load(ViewerState& viewer) {
    viewer.attempted = true;
    const std::string registered = registered_viewer();
    if (registered.empty()) return;
    const std::string file = help::ViewerFile(registered, system_directory());
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    UniqueLibrary library(LoadLibraryA(file.c_str()));
    if (!library) return;
    const auto ansi = reinterpret_cast<HtmlHelpAFunction>(
        reinterpret_cast<void*>(GetProcAddress(library.get(), "HtmlHelpA")));
    const bool wide = GetProcAddress(library.get(), "HtmlHelpW") != nullptr;
    if (!ansi || !wide) return; // the library goes again with `library`
    DWORD cookie = 0;
    ansi(nullptr, nullptr, kInitialize, reinterpret_cast<DWORD_PTR>(&cookie));
    viewer.library = std::move(library);
    viewer.html_help = ansi;
    viewer.cookie = cookie;
}

} // namespace

bool Available() {
    ViewerState& viewer = state();
    std::lock_guard lock(viewer.guard);
    if (!viewer.html_help && !viewer.attempted && !viewer.ended) load(viewer);
    return viewer.html_help != nullptr;
}

HWND Call(HWND owner, const std::string& path, UINT command, DWORD_PTR data) {
    ViewerState& viewer = state();
    HtmlHelpAFunction html_help = nullptr;
    {
        std::lock_guard lock(viewer.guard);
        if (!viewer.html_help && !viewer.attempted && !viewer.ended) load(viewer);
        html_help = viewer.html_help;
        if (!html_help) return nullptr;
        ++viewer.running_calls; // keeps the library loaded while it runs
    }
    HWND answer = nullptr;
    try {
        answer = html_help(owner, path.c_str(), command, data);
    } catch (...) {
    }
    std::lock_guard lock(viewer.guard);
    --viewer.running_calls;
    return answer;
}

void Unload(bool for_good) {
    ViewerState& viewer = state();
    std::lock_guard lock(viewer.guard);
    viewer.attempted = false;
    if (for_good) viewer.ended = true;
    if (!viewer.html_help || viewer.running_calls > 0) return;
    viewer.html_help(nullptr, nullptr, kCloseAll, 0);
    Sleep(0); // let the viewer's windows go before its session ends
    if (viewer.cookie) viewer.html_help(nullptr, nullptr, kUninitialize, viewer.cookie);
    viewer.html_help = nullptr;
    viewer.cookie = 0;
    viewer.library.reset();
}

} // namespace kvr::html_help
