#include "dialog_driver.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr auto kPatience = std::chrono::seconds(30);

std::wstring class_of(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

struct ChildSearch {
    HWND parent;
    std::wstring_view class_name;
    std::wstring_view text;
    int skip;
    const Dialog* dialog;
    HWND found = nullptr;
};

BOOL CALLBACK visit_top_level(HWND window, LPARAM data) {
    if (!IsWindowVisible(window) || class_of(window) != L"TfrmOption") return TRUE;
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
}

BOOL CALLBACK visit_child(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<ChildSearch*>(data);
    if (GetParent(window) != search.parent) return TRUE; // direct children only
    if (_wcsicmp(class_of(window).c_str(), std::wstring(search.class_name).c_str()) != 0)
        return TRUE;
    if (!search.text.empty() && search.dialog->text(window) != search.text) return TRUE;
    if (search.skip-- > 0) return TRUE;
    search.found = window;
    return FALSE;
}

} // namespace

Dialog::Dialog(DWORD ui_thread) : thread_(ui_thread) {
    wait_for([&] {
        EnumThreadWindows(thread_, visit_top_level, reinterpret_cast<LPARAM>(&window_));
        return window_ != nullptr;
    });
}

HWND Dialog::child(HWND parent, std::wstring_view class_name, std::wstring_view text,
                   int index) const {
    ChildSearch search{parent, class_name, text, index, this};
    EnumChildWindows(parent, visit_child, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Dialog::combo(int index) const {
    const HWND box = child(window_, L"Button", L"Aggregate variables");
    return child(box, L"ComboBox", {}, index);
}

HWND Dialog::combo_edit(int index) const {
    return child(combo(index), L"Edit", {});
}

HWND Dialog::button(std::wstring_view caption) const {
    return child(child(window_, L"KvrPanel", {}), L"Button", caption);
}

HWND Dialog::spin_edit() const {
    return child(child(window_, L"KvrSpinEdit", {}), L"Edit", {});
}

HWND Dialog::check_box() const {
    return child(window_, L"Button", L"Do not reset aggregation state (data grouping)");
}

HWND Dialog::focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread_, &info) ? info.hwndFocus : nullptr;
}

std::wstring Dialog::text(HWND control) const {
    wchar_t buffer[1024] = {};
    SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::vector<std::wstring> Dialog::items(int combo_index) const {
    const HWND list = combo(combo_index);
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t item[512] = {};
        SendMessageW(list, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(item));
        items.emplace_back(item);
    }
    return items;
}

RECT Dialog::screen_rect(HWND control) const {
    RECT rect{};
    GetWindowRect(control, &rect);
    return rect;
}

RECT Dialog::rect_in_parent(HWND control) const {
    RECT rect = screen_rect(control);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void Dialog::click(HWND control) const {
    const LPARAM inside = MAKELPARAM(4, 4);
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    PostMessageW(control, WM_LBUTTONUP, 0, inside);
}

void Dialog::key(HWND control, WORD virtual_key) const {
    const LPARAM scan = LPARAM(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(control, WM_KEYDOWN, virtual_key, scan | 1);
    PostMessageW(control, WM_KEYUP, virtual_key, scan | 1 | (LPARAM(3) << 30));
}

void Dialog::type(HWND control, std::wstring_view text) const {
    for (const wchar_t c : text)
        PostMessageW(control, WM_CHAR, c, 1);
}

bool Dialog::replace_text(HWND edit, std::wstring_view text) const {
    click(edit);
    PostMessageW(edit, EM_SETSEL, 0, -1); // after the click, which puts the caret where it hit
    type(edit, text);
    return wait_for([&] { return this->text(edit) == text; });
}

bool Dialog::wait_for(const std::function<bool()>& condition) {
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void drive_dialog(const std::function<void()>& show, const std::function<void(Dialog&)>& script) {
    const DWORD ui_thread = GetCurrentThreadId();
    std::atomic<bool> returned{false};
    std::thread driver([&] {
        Dialog dialog(ui_thread);
        if (!dialog.found()) {
            ADD_FAILURE() << "the options dialog did not show";
            return;
        }
        script(dialog);
        if (!Dialog::wait_for([&] { return returned.load(); })) {
            ADD_FAILURE() << "the options dialog stayed open";
            PostMessageW(dialog.window(), WM_CLOSE, 0, 0);
        }
    });
    struct JoinDriver {
        std::thread& driver;
        std::atomic<bool>& returned;
        ~JoinDriver() {
            returned = true;
            driver.join();
        }
    } join{driver, returned};
    show();
}

int32_t run_dialog(Call& call, const std::function<void(Dialog&)>& script) {
    drive_dialog([&] { Plugin::get().ShowOptionsDialog(&call.rec); }, script);
    return static_cast<int32_t>(call.rec.ResultValue);
}

std::wstring wide_from_ansi(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}
