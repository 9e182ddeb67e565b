#include "ui/window_classes.h"

#include "common/win32_handle.h"

#include <commctrl.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>

namespace kvr::ui {

namespace {

// The activation context of the toolkit module's manifest; INVALID_HANDLE_VALUE when there is
// none. Made once and kept for the life of the process (windows made under it may outlive any
// one dialog).
HANDLE manifest_context() {
    static const HANDLE context = [] {
        ACTCTXW request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.hModule = ToolkitModule();
        request.lpResourceName = MAKEINTRESOURCEW(2);
        return CreateActCtxW(&request);
    }();
    return context;
}

} // namespace

HINSTANCE ToolkitModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ToolkitModule), &module);
    return module;
}

void EnsureWindowClass(std::wstring_view name) {
    static std::mutex guard;
    static std::set<std::wstring, std::less<>> registered;
    std::lock_guard lock(guard);
    if (registered.contains(name)) return;
    const std::wstring class_name(name);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_DBLCLKS;
    // The class procedure stays valid after this module is unloaded: the controls subclass
    // each window for their own handling.
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = ToolkitModule();
    window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = class_name.c_str();
    if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw_last_error("RegisterClassExW");
    registered.insert(class_name);
}

int NextControlId() {
    static std::atomic<int> next{100};
    const int id = next++;
    return id < 0xFFFF ? id : (next = 100, 100); // identifiers are 16 bits in notifications
}

VisualStylesScope::VisualStylesScope() {
    const HANDLE context = manifest_context();
    if (context != INVALID_HANDLE_VALUE) active_ = ActivateActCtx(context, &cookie_) != FALSE;
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_WIN95_CLASSES;
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)registered;
}

VisualStylesScope::~VisualStylesScope() {
    if (active_) DeactivateActCtx(0, cookie_);
}

} // namespace kvr::ui
