#include "host_window.h"

#include <vector>

namespace kvrhost {

namespace {
constexpr const char* kClassName = "KvrHostWindow";
// Where the visible host window opens: a main window of modest size near the screen's corner.
constexpr int kVisibleLeft = 60, kVisibleTop = 40, kVisibleWidth = 800, kVisibleHeight = 600;
} // namespace

HostWindow::HostWindow(PluginLibrary& library, uint32_t instance_key, std::ostream& log_out,
                       bool visible)
    : library_(library), key_(instance_key), out_(log_out) {
    static const ATOM registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &HostWindow::procedure;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc);
    }();
    (void)registered;
    if (visible)
        window_ = CreateWindowExA(0, kClassName, "kvrhost", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  kVisibleLeft, kVisibleTop, kVisibleWidth, kVisibleHeight, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), this);
    else
        window_ = CreateWindowExA(0, kClassName, "kvrhost", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), this);
    if (!window_) throw std::runtime_error("cannot create the host window");
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

HostWindow::~HostWindow() {
    if (window_) DestroyWindow(window_);
}

void HostWindow::pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

std::string HostWindow::describe_line(const std::string& line) {
    if (line.empty()) return {};
    const int type = static_cast<unsigned char>(line[0]) - 1;
    static const char* const names[] = {"exception", "error", "info"};
    const char* name = type >= 0 && type < 3 ? names[type] : "unknown";
    return std::string("[") + name + "] " + line.substr(1);
}

void HostWindow::print_text(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) out_ << describe_line(text.substr(start, end - start)) << "\n";
        start = end + 2;
    }
    out_.flush();
}

void HostWindow::fetch_queued_lines() {
    HostCall call(key_);
    std::vector<char> buffer(4096);
    for (int attempt = 0; attempt < 2; ++attempt) {
        call.record.BufferSize = int32_t(buffer.size());
        call.record.Data = buffer.data();
        const int32_t copied = library_.GetLogEx(&call.record);
        if (copied > 0) {
            print_text(std::string(buffer.data(), size_t(copied)));
            return;
        }
        if (call.record.ResultValue <= int32_t(buffer.size())) return;
        buffer.resize(size_t(call.record.ResultValue)); // too small: ask again with the size
    }
}

LRESULT CALLBACK HostWindow::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self) {
        switch (message) {
        case KVR_MSG_LOG_NOTIFY:
            self->fetch_queued_lines();
            return 0;
        case KVR_MSG_RELOAD_SETTINGS:
            if (self->on_reload_request) self->on_reload_request(uint32_t(wparam));
            return 0;
        case WM_COPYDATA: {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
            self->print_text(std::string(static_cast<const char*>(data->lpData), data->cbData));
            return TRUE;
        }
        default:
            break;
        }
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

} // namespace kvrhost
