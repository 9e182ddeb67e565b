#include "plugin_host.h"

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace stress {

namespace {

bool names_class(const kvr_class_descriptor* descriptor, const char* name) {
    return descriptor && descriptor->ClassName && std::strcmp(descriptor->ClassName, name) == 0;
}

// True when `block` begins a block of the process heap at least `bytes` long.
bool heap_block(const void* block, size_t bytes) {
    const SIZE_T size = HeapSize(GetProcessHeap(), 0, block);
    return size != SIZE_T(-1) && size >= bytes;
}

// The module's 8-bit strings: a heap block [refcount][length][bytes][0], never empty here.
std::string ansi_problem(const char* text, const char* what) {
    if (!text) return std::string(what) + " is empty";
    const auto* header = reinterpret_cast<const int32_t*>(text - KVR_ANSI_HEADER);
    if (header[1] <= 0) return std::string(what) + " has length " + std::to_string(header[1]);
    if (header[0] != KVR_ANSI_CONSTANT_REFCOUNT && header[0] < 1)
        return std::string(what) + " has reference count " + std::to_string(header[0]);
    if (text[header[1]] != 0) return std::string(what) + " is not terminated";
    if (header[0] != KVR_ANSI_CONSTANT_REFCOUNT &&
        !heap_block(header, size_t(header[1]) + KVR_ANSI_HEADER + 1))
        return std::string(what) + " is not a block of the process heap";
    return {};
}

bool stored_type(VARTYPE type) {
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BOOL:
    case VT_ERROR:
    case VT_DECIMAL:
    case VT_BSTR:
        return true;
    default:
        return false; // the 8-bit runtime string among them: it is stored as an OLE string
    }
}

std::string item_problem(const kvr_params_list_item* item) {
    if (!item) return "a null item";
    if (!heap_block(item, sizeof *item)) return "an item that is not a block of the process heap";
    if (!names_class(item->Class, KVR_CLASS_PARAMS_LIST_ITEM)) return "an item of another class";
    if (std::string problem = ansi_problem(item->Name, "a name"); !problem.empty()) return problem;
    if (std::string problem = ansi_problem(item->LowerName, "a lower-case name"); !problem.empty())
        return problem;
    if (kvr_ansi_length(item->Name) != kvr_ansi_length(item->LowerName))
        return "a lower-case name of another length than its name";
    if (kvr_name_is_blank(item->Name, kvr_ansi_length(item->Name))) return "a blank name";
    if (item->State != 2) return "an item of state " + std::to_string(item->State);
    if (!stored_type(item->Value.vt)) return "a value of type " + std::to_string(item->Value.vt);
    return {};
}

bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool is_list_id(const char* id) {
    if (!id || kvr_ansi_length(id) != 38 || id[0] != '{' || id[37] != '}') return false;
    for (int i = 1; i < 37; ++i) {
        const bool hyphen = i == 9 || i == 14 || i == 19 || i == 24;
        if (hyphen ? id[i] != '-' : !is_hex_digit(id[i])) return false;
    }
    return true;
}

} // namespace

List& List::text(const char* name, const std::string& value) {
    kvr_list_add_text(list_, name, value.c_str());
    return *this;
}

List& List::integer(const char* name, int32_t value) {
    kvr_list_add_int(list_, name, value);
    return *this;
}

List& List::handle(const char* name, const void* value) {
    kvr_list_add_handle(list_, name, value);
    return *this;
}

TPluginCallRec record(uint32_t key, kvr_params_list* params) {
    TPluginCallRec rec{};
    rec.Signature = KVR_CALL_SIGNATURE;
    rec.InstanceKey = key;
    rec.ModuleId = key;
    rec.Params = params;
    return rec;
}

int32_t run_command(Plugin& plugin, uint32_t key, List& params, const char* command) {
    params.text("COMMAND", command);
    TPluginCallRec rec = record(key, params.get());
    return plugin.ExecutePluginCommand(&rec);
}

void release_instance(Plugin& plugin, uint32_t key) {
    TPluginCallRec rec = record(key);
    rec.CallMode = KVR_CALLMODE_RELEASE;
    plugin.GetModuleType(&rec);
}

std::string rows_list_problem(const kvr_params_list* rows, bool may_be_empty) {
    if (!rows) return "no list";
    if (!heap_block(rows, sizeof(kvr_rows_params_list)))
        return "the list is not a block of the process heap";
    if (!names_class(rows->Class, KVR_CLASS_ROWS_PARAMS_LIST)) return "not a rows list";
    if (rows->Magic != KVR_PARAMS_MAGIC) return "the list's tag is " + std::to_string(rows->Magic);
    if (!is_list_id(rows->ListId) || !heap_block(rows->ListId - KVR_ANSI_HEADER, 38))
        return "no list id";
    if (rows->Count == 0 && may_be_empty) return {};
    if (rows->Count <= 0 || rows->Count > rows->Capacity)
        return "count " + std::to_string(rows->Count) + " of capacity " +
               std::to_string(rows->Capacity);
    if (!heap_block(rows->Items, size_t(rows->Capacity) * sizeof(kvr_params_list_item*)))
        return "the item array is not a block of the process heap";
    for (int32_t i = 0; i < rows->Count; ++i)
        if (std::string problem = item_problem(rows->Items[i]); !problem.empty())
            return "item " + std::to_string(i) + ": " + problem;
    const kvr_params_list_item* last = rows->Items[rows->Count - 1];
    if (std::strcmp(last->Name, KVR_ROW_SEPARATOR) != 0 || last->Value.vt != VT_NULL)
        return "the last row is not closed";
    return {};
}

std::string log_text_problem(const std::string& text, bool one_line) {
    static const std::string title = "Aggregation. ";
    std::string_view rest = text;
    if (rest.empty()) return "an empty text";
    while (!rest.empty()) {
        size_t end = rest.size();
        if (!one_line) {
            end = rest.find("\r\n");
            if (end == std::string_view::npos) return "a line without CR LF";
        }
        const std::string_view line = rest.substr(0, end);
        if (line.empty() || line[0] < 1 || line[0] > 3) return "a line without a type";
        if (line.substr(1, title.size()) != title) return "a line without the title";
        if (line.size() == 1 + title.size()) return "a line without a text";
        if (line.find_first_of("\r\n") != std::string_view::npos) return "a line break in a line";
        rest.remove_prefix(one_line ? end : end + 2);
    }
    return {};
}

uint64_t heap_bytes_in_use() {
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(DWORD(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
    }
    uint64_t bytes = 0;
    for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return bytes;
}

std::string program_folder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::string(path, length)).parent_path().string();
}

std::string temp_file(const std::string& stem, const std::string& extension) {
    static std::atomic<int> counter{0};
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + stem + "_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(++counter) + extension;
}

LogWindow::LogWindow(Plugin& plugin) : plugin_(plugin) {
    std::mutex started_guard;
    std::condition_variable started;
    bool ready = false;
    thread_ = std::thread([&] {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = &LogWindow::procedure;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "KvrStressHostWindow";
        RegisterClassA(&window_class);
        HWND window = CreateWindowExA(0, window_class.lpszClassName, "", 0, 0, 0, 0, 0,
                                      HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        {
            std::lock_guard lock(started_guard);
            window_ = window;
            ready = true;
        }
        started.notify_one();
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchMessageA(&message);
        DestroyWindow(window);
    });
    std::unique_lock lock(started_guard);
    started.wait(lock, [&] { return ready; });
    if (!window_) throw std::runtime_error("cannot make the host window");
}

LogWindow::~LogWindow() {
    PostThreadMessageA(GetWindowThreadProcessId(window_, nullptr), WM_QUIT, 0, 0);
    thread_.join();
}

void LogWindow::drain() {
    // A message sent after everything that was posted or sent before returns last.
    for (int i = 0; i < 2; ++i)
        SendMessageA(window_, WM_NULL, 0, 0);
}

std::vector<std::string> LogWindow::problems() const {
    std::lock_guard lock(problems_guard_);
    return problems_;
}

void LogWindow::take(const std::string& text, bool one_line) {
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines_;
    if (one_line) ++lines_;
    if (std::string problem = log_text_problem(text, one_line); !problem.empty()) {
        std::lock_guard lock(problems_guard_);
        if (problems_.size() < 10) problems_.push_back(problem + ": \"" + text + "\"");
    }
}

void LogWindow::fetch(uint32_t key) {
    std::vector<char> buffer(4096);
    for (int attempt = 0; attempt < 3; ++attempt) {
        TPluginCallRec rec = record(key);
        rec.Data = buffer.data();
        rec.BufferSize = int32_t(buffer.size());
        const int32_t copied = plugin_.GetLogEx(&rec);
        if (copied > 0) return take(std::string(buffer.data(), size_t(copied)), false);
        if (rec.ResultValue <= rec.BufferSize) return; // nothing queued
        buffer.resize(size_t(rec.ResultValue));        // lines came meanwhile: ask again
    }
}

LRESULT CALLBACK LogWindow::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<LogWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
        const std::string text(static_cast<const char*>(data->lpData), data->cbData);
        self->take(text, data->dwData == KVR_COPYDATA_LOG_LINE);
        return TRUE;
    }
    if (self && message == KVR_MSG_LOG_NOTIFY) {
        if (self->fetching_) self->fetch(uint32_t(wparam));
        return 0;
    }
    if (message == KVR_MSG_RELOAD_SETTINGS) return 0;
    return DefWindowProcA(window, message, wparam, lparam);
}

} // namespace stress
