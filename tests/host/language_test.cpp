// The host's language through the exports: the module's outcome messages in the language the
// host selects, from the language file beside the DLL. And the DLL freed and loaded again (at
// another address) in one process: its timers' window class must lead into the new code.

#include "host_fixture.h"

#include <cstdio>
#include <filesystem>

namespace {

// The log line the module sends for an export call without data.
std::string no_data_line(uint32_t key, HostWindow& window, const char* language) {
    if (language) {
        Call call(key);
        call.text("LANGUAGE", language);
        EXPECT_EQ(0, call.command("EVENTS-SUPPORT"));
    }
    window.messages().clear();
    Call call(key);
    call.rec.ModuleTypes = KVR_MTT_DATA_EXPORT;
    EXPECT_EQ(0, Plugin::get().ProcessData(&call.rec));
    for (const ReceivedMessage& message : window.messages())
        if (message.message == WM_COPYDATA && message.copy_kind == KVR_COPYDATA_LOG_LINE)
            return message.text;
    return "<no log line>";
}

} // namespace

TEST(Language, TheHostsLanguageSelectsTheTranslatedOutcomeMessages) {
    HostWindow window;
    const uint32_t key = fresh_key();
    ASSERT_EQ(0, load(key, window.handle()));
    EXPECT_EQ("\x02"
              "Aggregation. No data for processing",
              no_data_line(key, window, nullptr));
    EXPECT_EQ("\x02"
              "Aggregation. Keine Daten zur Verarbeitung",
              no_data_line(key, window, "DE"));
    // A language the file does not have: English again, not the German left over.
    EXPECT_EQ("\x02"
              "Aggregation. No data for processing",
              no_data_line(key, window, "XX"));
    EXPECT_EQ("\x02"
              "Aggregation. Keine Daten zur Verarbeitung",
              no_data_line(key, window, "DE"));
    release(key);
}

namespace {

// A copy of the plug-in loaded under its own name, so that it can be freed while the shared
// one stays.
class PluginCopy {
  public:
    explicit PluginCopy(const std::filesystem::path& path)
        : module_(LoadLibraryW(path.wstring().c_str())) {}
    ~PluginCopy() { free(); }
    PluginCopy(const PluginCopy&) = delete;
    PluginCopy& operator=(const PluginCopy&) = delete;

    HMODULE module() const { return module_; }
    void free() {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
    template <class F> F entry(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }
    // LOAD for a key, an export call that sends a log line, and the release of the key.
    void use(uint32_t key, HWND window) const {
        Call load_call(key);
        load_call.integer("MessagesProcessorHandle", int32_t(reinterpret_cast<intptr_t>(window)));
        kvr_list_add_text(load_call.params, "COMMAND", "LOAD");
        EXPECT_EQ(0, entry<kvr_ExecutePluginCommand>("ExecutePluginCommand")(&load_call.rec));
        Call data(key);
        data.rec.ModuleTypes = KVR_MTT_DATA_EXPORT;
        EXPECT_EQ(0, entry<kvr_ProcessData>("ProcessData")(&data.rec));
    }
    void release(uint32_t key) const {
        TPluginCallRec rec{};
        rec.Signature = KVR_CALL_SIGNATURE;
        rec.InstanceKey = key;
        rec.CallMode = KVR_CALLMODE_RELEASE;
        entry<kvr_GetModuleType>("GetModuleType")(&rec);
    }
    std::string timer_class() const {
        char name[64];
        std::snprintf(name, sizeof name, "TkvrTimerExWindow.%p", static_cast<void*>(module_));
        return name;
    }

  private:
    HMODULE module_;
};

SIZE_T image_size(HMODULE module) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        reinterpret_cast<const char*>(module) + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfImage;
}

} // namespace

TEST(Language, FreedAndReloadedAtAnotherAddressTheTimersLeadIntoTheNewCode) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kvr_reload_" + std::to_string(GetTickCount()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path copy = folder / "aggregation_reload.dll";
    std::filesystem::copy_file("aggregation.dll", copy);
    HostWindow window;

    HMODULE first_address = nullptr;
    std::string first_class;
    {
        PluginCopy plugin(copy);
        ASSERT_NE(nullptr, plugin.module());
        first_address = plugin.module();
        first_class = plugin.timer_class();
        plugin.use(1, window.handle());
        WNDCLASSA info{};
        EXPECT_TRUE(GetClassInfoA(plugin.module(), first_class.c_str(), &info));
        plugin.release(1);
    }
    WNDCLASSA info{};
    EXPECT_FALSE(GetClassInfoA(first_address, first_class.c_str(), &info))
        << "the class outlives the DLL";

    // Keep the old place taken, so that the DLL must be loaded elsewhere.
    void* blocker = VirtualAlloc(first_address, image_size(GetModuleHandleA("aggregation.dll")),
                                 MEM_RESERVE, PAGE_NOACCESS);
    {
        PluginCopy plugin(copy);
        ASSERT_NE(nullptr, plugin.module());
        if (blocker) {
            EXPECT_NE(first_address, plugin.module());
        }
        plugin.use(2, window.handle());
        // The hidden window of the module's timer runs the new code's window procedure.
        HWND hidden = FindWindowExA(HWND_MESSAGE, nullptr, plugin.timer_class().c_str(), nullptr);
        ASSERT_NE(nullptr, hidden);
        SendMessageA(hidden, WM_TIMER, 1, 0);
        plugin.use(2, window.handle()); // still working after its timer ran
        plugin.release(2);
    }
    if (blocker) VirtualFree(blocker, 0, MEM_RELEASE);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
