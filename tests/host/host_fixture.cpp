#include "host_fixture.h"

#include <atomic>

namespace {

std::vector<ReceivedMessage>* g_received = nullptr;
std::atomic<DWORD> g_hang_ms{0};

LRESULT CALLBACK record_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COPYDATA || message == KVR_MSG_LOG_NOTIFY ||
        message == KVR_MSG_RELOAD_SETTINGS) {
        if (DWORD hang = g_hang_ms.load()) Sleep(hang);
        ReceivedMessage received{message, wparam, 0, {}};
        if (message == WM_COPYDATA) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
            received.copy_kind = data->dwData;
            received.text.assign(static_cast<const char*>(data->lpData), data->cbData);
        }
        if (g_received) g_received->push_back(received);
        return TRUE;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

template <class F> void resolve(HMODULE module, const char* name, F& target) {
    target = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!target) {
        ADD_FAILURE() << "missing export " << name;
        std::abort();
    }
}

} // namespace

Plugin& Plugin::get() {
    static Plugin plugin = [] {
        Plugin p;
        p.module = LoadLibraryA("aggregation.dll");
        if (!p.module) {
            ADD_FAILURE() << "cannot load aggregation.dll: " << GetLastError();
            std::abort();
        }
        resolve(p.module, "GetPluginIntfVersion", p.GetPluginIntfVersion);
        resolve(p.module, "GetAppMinVersion", p.GetAppMinVersion);
        resolve(p.module, "GetModuleDescription", p.GetModuleDescription);
        resolve(p.module, "GetModuleType", p.GetModuleType);
        resolve(p.module, "MultiThreadSupport", p.MultiThreadSupport);
        resolve(p.module, "GetCustomCommands", p.GetCustomCommands);
        resolve(p.module, "GetLogEx", p.GetLogEx);
        resolve(p.module, "ShowOptionsDialog", p.ShowOptionsDialog);
        resolve(p.module, "ExecutePluginCommand", p.ExecutePluginCommand);
        resolve(p.module, "GetData", p.GetData);
        resolve(p.module, "GetEvents", p.GetEvents);
        resolve(p.module, "ProcessData", p.ProcessData);
        return p;
    }();
    return plugin;
}

HostWindow::HostWindow() {
    static ATOM window_class = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = record_message;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KvrTestHostWindow";
        return RegisterClassA(&wc);
    }();
    (void)window_class;
    window_ = CreateWindowExA(0, "KvrTestHostWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    static std::vector<ReceivedMessage> received;
    received.clear();
    g_received = &received;
    g_hang_ms = 0;
}

HostWindow::~HostWindow() {
    g_hang_ms = 0;
    DestroyWindow(window_);
}

std::vector<ReceivedMessage>& HostWindow::messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    return *g_received;
}

void HostWindow::set_hang_ms(DWORD ms) {
    g_hang_ms = ms;
}

Call::Call(uint32_t key) : params(kvr_list_new(0)) {
    rec.Signature = KVR_CALL_SIGNATURE;
    rec.InstanceKey = key;
    rec.ModuleId = 7;
    rec.Params = params;
}

Call::~Call() {
    kvr_list_free(params);
}

void Call::reset() {
    kvr_list_clear(params);
}

int32_t Call::command(const char* name) {
    kvr_list_add_text(params, "COMMAND", name);
    return Plugin::get().ExecutePluginCommand(&rec);
}

std::string Call::value_text(const char* name) const {
    const kvr_params_list_item* item = kvr_list_find(params, name);
    return item ? bstr_text(item->Value) : std::string("<missing>");
}

std::string bstr_text(const VARIANT& value) {
    if (value.vt != VT_BSTR) return "<not a string>";
    const int length = SysStringLen(value.bstrVal);
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, value.bstrVal, length, nullptr, 0, nullptr, nullptr);
    std::string text(size_t(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, value.bstrVal, length, text.data(), bytes, nullptr, nullptr);
    return text;
}

ForbiddenPage::ForbiddenPage() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    page_ = info.dwPageSize;
    base_ = static_cast<char*>(
        VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (!base_ || !VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old)) std::abort();
}

ForbiddenPage::~ForbiddenPage() {
    VirtualFree(base_, 0, MEM_RELEASE);
}

VARIANT ForbiddenPage::forbidden_text() const {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = reinterpret_cast<BSTR>(forbidden() + 64);
    return value;
}

std::string temp_ini_path(const std::string& stem) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + stem + "_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(fresh_key()) + ".ini";
}

uint32_t fresh_key() {
    static std::atomic<uint32_t> next{1000};
    return next++;
}

void release(uint32_t key) {
    TPluginCallRec rec{};
    rec.Signature = KVR_CALL_SIGNATURE;
    rec.InstanceKey = key;
    rec.CallMode = KVR_CALLMODE_RELEASE;
    Plugin::get().GetModuleType(&rec);
}

int32_t load(uint32_t key, HWND window, uint32_t module_id) {
    Call call(key);
    call.rec.ModuleId = module_id;
    call.integer("MessagesProcessorHandle", int32_t(reinterpret_cast<intptr_t>(window)));
    return call.command("LOAD");
}
