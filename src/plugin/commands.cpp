#include "plugin/commands.h"

#include "common/errors.h"
#include "common/fault_cleanup.h"

#include <windows.h>

#include <atomic>
#include <cctype>

namespace kvr {

namespace {

constexpr const char* kUnitPath = "kvrShared\\Private\\Plugins\\kvrPluginModule";

// Library-wide count of loaded instances that share the host's icon, and the icon.
std::atomic<int> g_icon_users{0};
std::atomic<HICON> g_application_icon{nullptr};

TkvrParamsList* params_of(PPluginCallRec rec) {
    return TkvrParamsList::from(rec->Params);
}

// A value that is neither empty nor null, or an empty Variant.
Variant present_value(PPluginCallRec rec, const char* name) {
    return params_of(rec)->GetValue(name);
}

std::string text_or_empty(PPluginCallRec rec, const char* name) {
    const Variant value = present_value(rec, name);
    return value.is_empty_or_null() ? std::string() : value.to_ansi();
}

std::string trim(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32)
        --last;
    return text.substr(first, last - first);
}

// Splits on one separator; an empty last field is dropped, empty fields in between stay.
std::vector<std::string> split_fields(const std::string& text, char separator) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            if (start < text.size()) fields.push_back(text.substr(start));
            break;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

// Holds CommandLock and counts the command in CommandDepth for as long as it runs; a memory
// fault that abandons the command gives both back, so later commands neither wait for ever nor
// count as nested.
class [[nodiscard]] CommandScope {
  public:
    explicit CommandScope(TkvrPlugin& plugin) : plugin_(enter(plugin)) {}
    ~CommandScope() { leave(); }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;
    // True for a command that a command of the same thread started.
    bool nested() const { return depth_ != 1; }

  private:
    static TkvrPlugin* enter(TkvrPlugin& plugin) {
        plugin.CommandLock.lock();
        return &plugin;
    }
    void leave() noexcept {
        if (!plugin_) return;
        --plugin_->CommandDepth;
        plugin_->CommandLock.unlock();
        plugin_ = nullptr;
    }
    static void leave_after_fault(void* self) { static_cast<CommandScope*>(self)->leave(); }

    TkvrPlugin* plugin_;
    int32_t depth_ = ++plugin_->CommandDepth;
    FaultCleanup fault_cleanup_{&leave_after_fault, this};
};

bool ieq(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

void TakeLanguage(TkvrPlugin& plugin, PPluginCallRec rec) {
    const std::string language = text_or_empty(rec, "LANGUAGE");
    if (plugin.Language.empty() || language.empty() || language == plugin.Language) return;
    plugin.Translated = false;
    plugin.Language = language;
    plugin.AfterLanguageChange();
    try {
        if (plugin.OnChangeLanguage) plugin.OnChangeLanguage(plugin);
    } catch (...) {
    }
}

namespace {

void take_host_handles(TkvrPlugin& plugin, PPluginCallRec rec) {
    const Variant window = present_value(rec, "MessagesProcessorHandle");
    if (!window.is_empty_or_null()) plugin.HostWindow = reinterpret_cast<HWND>(window.to_handle());
    const Variant owner = present_value(rec, "OWNERFORM");
    if (!owner.is_empty_or_null()) plugin.OwnerForm = reinterpret_cast<HWND>(owner.to_handle());
}

void share_host_icon(TkvrPlugin& plugin) {
    if (g_icon_users.fetch_add(1) == 0) {
        try {
            if (HICON icon = LoadIconA(plugin.HostModule, "MAINICON")) g_application_icon = icon;
        } catch (...) {
        }
    }
}

void release_host_icon() {
    if (g_icon_users.fetch_sub(1) == 1) {
        // Icons loaded with LoadIcon are shared and need no destroying; forget it.
        g_application_icon = nullptr;
    }
}

int32_t run_load(TkvrPlugin& plugin, PPluginCallRec rec) {
    if (++plugin.LoadCount > 1) return 0;
    plugin.OwnerThreadId = GetCurrentThreadId();
    plugin.InOptionsDialog = false;
    plugin.ModuleId = rec->ModuleId;
    plugin.RegistryPath = text_or_empty(rec, "RegistryPath");
    plugin.INISectionPrefix = text_or_empty(rec, "INISectionPrefix");
    const Variant handle = present_value(rec, "HANDLE");
    if (!handle.is_empty_or_null())
        plugin.HostModule = reinterpret_cast<HMODULE>(handle.to_handle());
    plugin.ApplicationName = text_or_empty(rec, "ApplicationName");
    if (!plugin.HostModule && !plugin.ApplicationName.empty())
        plugin.HostModule = GetModuleHandleA(plugin.ApplicationName.c_str());
    plugin.INIFile = text_or_empty(rec, "INI-FILE");
    plugin.OutputRows.Prepare();
    plugin.EventRows.Prepare();
    plugin.fSendData = plugin.fSendString = plugin.fSendByte = nullptr;
    if (plugin.HostModule) {
        share_host_icon(plugin);
        plugin.fSendData = reinterpret_cast<void*>(GetProcAddress(plugin.HostModule, "fSendData"));
        plugin.fSendString =
            reinterpret_cast<void*>(GetProcAddress(plugin.HostModule, "fSendString"));
        plugin.fSendByte = reinterpret_cast<void*>(GetProcAddress(plugin.HostModule, "fSendByte"));
    }
    plugin.Unloaded = false;
    int32_t discarded = 0;
    if (plugin.OnLoad) plugin.OnLoad(plugin, rec, discarded);
    return 0;
}

int32_t run_unload(TkvrPlugin& plugin, PPluginCallRec rec) {
    release_host_icon();
    const int32_t count = --plugin.LoadCount;
    if (count < 0) {
        plugin.LoadCount = 0;
        return 0;
    }
    if (count > 0) return 0;
    plugin.Unloaded = true;
    for (bool& enabled : plugin.TypeEnabled)
        enabled = false;
    const std::string ini_file = text_or_empty(rec, "INI-FILE");
    if (ini_file != plugin.INIFile) {
        plugin.INIFile = ini_file;
        try {
            if (plugin.OnSaveSettingsNow) plugin.OnSaveSettingsNow(plugin);
        } catch (...) {
        }
    }
    try {
        int32_t discarded = 0;
        if (plugin.OnUnload) plugin.OnUnload(plugin, rec, discarded);
    } catch (...) {
    }
    plugin.InOptionsDialog = false;
    plugin.ReleaseRowsLists();
    plugin.HostModule = nullptr;
    plugin.HostWindow = nullptr;
    return 0;
}

int32_t run_set_items(TkvrPlugin& plugin, PPluginCallRec rec) {
    const Variant items = present_value(rec, "ITEMS");
    if (!items.is_string()) return -1;
    plugin.ParserItems = parse_parser_items(items.to_ansi());
    if (plugin.OnSetParserItems) plugin.OnSetParserItems(plugin);
    return 0;
}

int32_t run_items(TkvrPlugin& plugin, PPluginCallRec rec) {
    TkvrParamsListItem* result = params_of(rec)->FindItem("RESULT");
    if (!result) return -1;
    if (plugin.OnBeforeGetParserItems) plugin.OnBeforeGetParserItems(plugin);
    plugin.ItemsText = format_parser_items(plugin.ParserItems);
    result->AssignValue(Variant::text(plugin.ItemsText).get());
    return 0;
}

void take_data_sources(TkvrPlugin& plugin, const std::string& text) {
    plugin.DataSources.clear();
    for (const std::string& line : split_lines(text)) {
        try {
            const auto fields = split_fields(line, ';');
            if (fields.empty()) continue;
            const std::string number = trim(fields[0]);
            char* end = nullptr;
            const long id = number.empty() ? -1 : std::strtol(number.c_str(), &end, 10);
            if (number.empty() || *end != '\0' || id == -1) continue;
            plugin.DataSources.push_back(std::make_unique<TConfigDataSource>(
                line, int32_t(id), fields.size() > 1 ? trim(fields[1]) : std::string(),
                fields.size() > 2 ? trim(fields[2]) : std::string()));
        } catch (...) {
        }
    }
}

int32_t run_set_state(TkvrPlugin& plugin, PPluginCallRec rec) {
    const Variant sources = present_value(rec, "DATA-SOURCES-IN-CFG");
    if (!sources.is_empty_or_null()) take_data_sources(plugin, sources.to_ansi());
    const Variant load = present_value(rec, "DATA-SOURCE-LOAD");
    if (!load.is_empty_or_null()) plugin.DataSourceLoad = load.to_ansi();
    const Variant result = present_value(rec, "RESULT");
    if (result.is_empty_or_null()) return -1;
    const bool enable = result.to_int() == 1;
    for (int type = 0; type < 8; ++type)
        if (rec->ModuleTypes & (1u << type)) plugin.TypeEnabled[type] = enable;
    if (plugin.OnStateChanged) plugin.OnStateChanged(plugin, rec->ModuleTypes);
    return 0;
}

int32_t run_event(TkvrPlugin& plugin, PPluginCallRec rec) {
    const Variant type = present_value(rec, "EVENT-TYPE");
    if (type.is_empty_or_null()) return -1;
    if (!plugin.OnEvent) return 0;
    int32_t result = -1;
    plugin.OnEvent(plugin, type.to_ansi(), rec, result);
    return result;
}

// SAVE-SETTINGS-NOW saves into the location the command names; LOAD-SETTINGS-NOW loads from
// there and saves into the instance's own location. Both answer -2.
void run_settings_now(TkvrPlugin& plugin, PPluginCallRec rec, bool load) {
    const std::string saved = plugin.INIFile;
    struct Restore {
        TkvrPlugin& plugin;
        const std::string& saved;
        ~Restore() { plugin.INIFile = saved; }
    } restore{plugin, saved};
    plugin.INIFile = text_or_empty(rec, "INI-FILE");
    if (load) {
        if (plugin.OnLoadSettingsNow) plugin.OnLoadSettingsNow(plugin);
        plugin.INIFile = saved;
    }
    if (plugin.OnSaveSettingsNow) plugin.OnSaveSettingsNow(plugin);
}

// Converts any exception of a step that answers -3 itself (and is not logged).
template <class Step> int32_t minus_three_on_failure(Step&& step) {
    try {
        return step();
    } catch (...) {
        return -3;
    }
}

int32_t dispatch(TkvrPlugin& plugin, const std::string& command, PPluginCallRec rec) {
    if (command == "LOAD") return minus_three_on_failure([&] { return run_load(plugin, rec); });
    if (command == "UNLOAD") return minus_three_on_failure([&] { return run_unload(plugin, rec); });
    if (command == "SET-ITEMS") return run_set_items(plugin, rec);
    if (command == "SET-STATE") return run_set_state(plugin, rec);
    if (command == "ITEMS") return run_items(plugin, rec);
    if (command == "EVENTS-SUPPORT") {
        params_of(rec)->SetValue("RESULT", Variant::text(plugin.EventsSupported), false);
        return 0;
    }
    if (command == "EVENT") return minus_three_on_failure([&] { return run_event(plugin, rec); });
    if (command == "SAVE-SETTINGS-NOW" || command == "LOAD-SETTINGS-NOW") {
        run_settings_now(plugin, rec, command == "LOAD-SETTINGS-NOW");
        return -2;
    }
    if (!plugin.OnExecuteCustomCommand) return -2;
    return minus_three_on_failure([&] {
        int32_t result = -2;
        plugin.OnExecuteCustomCommand(plugin, command, rec, result);
        return result;
    });
}

} // namespace

const char* const kValueTypeNames =
    "String|Memo|Bytes|Blob|Boolean|Float|Smallint|Word|Integer|Date|Time|DateTime|DWord|Byte|"
    "Shortint|Int64|Currency|";

std::string value_type_name(int index) {
    const auto names = split_fields(kValueTypeNames, '|');
    return index >= 0 && size_t(index) < names.size() ? names[size_t(index)] : std::string();
}

uint8_t value_type_index(const std::string& name) {
    const auto names = split_fields(kValueTypeNames, '|');
    for (size_t i = 0; i < names.size(); ++i)
        if (ieq(names[i], name)) return uint8_t(i);
    return 17;
}

std::vector<TParserItem> parse_parser_items(const std::string& text) {
    std::vector<TParserItem> items;
    for (const std::string& line : split_lines(text)) {
        const auto fields = split_fields(line, '|');
        if (fields.size() < 2) continue;
        TParserItem item;
        item.Caption = fields[0];
        item.Name = fields[1];
        if (fields.size() > 2) item.ValueType = value_type_index(fields[2]);
        if (fields.size() > 3) item.Extra = fields[3];
        items.push_back(std::move(item));
    }
    return items;
}

std::string format_parser_items(const std::vector<TParserItem>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += items[i].Caption + "|" + items[i].Name + "|" + value_type_name(items[i].ValueType) +
                "|" + items[i].Extra;
    }
    return text;
}

int32_t ExecuteCommand(TkvrPlugin& plugin, const std::string& command, PPluginCallRec pCallRec) {
    const CommandScope scope(plugin);
    if (scope.nested()) throw EAssertionFailed("Assertion failure", kUnitPath, __LINE__);
    TakeLanguage(plugin, pCallRec);
    take_host_handles(plugin, pCallRec);
    return dispatch(plugin, command, pCallRec);
}

} // namespace kvr
