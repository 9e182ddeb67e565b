#pragma once
// The module object: one instance per host InstanceKey. It holds everything the host
// interface needs per instance and turns host calls into events.

#include <kvr/plugin_abi.h>

#include "common/critical_section.h"
#include "component/component.h"
#include "params/params_list.h"
#include "plugin/rows_lists.h"
#include "settings/registry_root.h"
#include "settings/wreg.h"
#include "threads/guarded_text.h"
#include "threads/thread_containers.h"
#include "translation/translator.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kvr {

class TkvrPlugin;

// Module roles, ordinal n is bit n of TModuleTypes.
enum TModuleType : uint8_t {
    mttDataQuery,
    mttDataParser,
    mttDataExport,
    mttEventsHandling,
    mttLogging,
    mttFilter,
    mttDeviceLayer,
    mttMenuExt
};
using TModuleTypes = uint8_t;
constexpr TModuleTypes module_type_bit(TModuleType type) {
    return TModuleTypes(1u << type);
}

enum TModuleOption : uint8_t { moNoConfig, moXMLOptions };
using TModuleOptions = uint8_t;
constexpr TModuleOptions module_option_bit(TModuleOption option) {
    return TModuleOptions(1u << option);
}

// One parser item the host announced.
struct TParserItem {
    std::string Name;
    std::string Caption;
    uint8_t ValueType = 17; // 17: no value type
    std::string Extra;
};

// One line of the host's data-source list.
struct TConfigDataSource {
    TConfigDataSource(std::string line, int32_t id, std::string name, std::string full_name)
        : SourceLine(std::move(line)), SourceId(id), SourceName(std::move(name)),
          SourceFullName(std::move(full_name)) {}
    std::string SourceLine;
    int32_t SourceId;
    std::string SourceName;
    std::string SourceFullName;
};

// One entry offered to the host menu.
struct TkvrPluginCustomCmd {
    std::string Text1, Text2, Text3;
    uint8_t Number1 = 0, Number2 = 0;
};
using TkvrPluginCustomCmdList = std::vector<TkvrPluginCustomCmd>;

// Log message types; a line starts with the character whose code is the type plus 1.
enum LogMessageType : int { lmtException = 0, lmtError = 1, lmtSuccess = 2 };

using TExecutePluginCommandEvent =
    std::function<void(TkvrPlugin&, PPluginCallRec, int32_t& Result)>;
using TExecutePluginCustomCommandEvent =
    std::function<void(TkvrPlugin&, const std::string& Command, PPluginCallRec, int32_t& Result)>;
using TShowOptionsDialogEvent = std::function<void(TkvrPlugin&, PPluginCallRec, bool& Success)>;
using TNotifyEvent = std::function<void(TkvrPlugin&)>;
using TOnPluginStateChangeNotifyEvent = std::function<void(TkvrPlugin&, TModuleTypes)>;
using TOnProcessData = std::function<void(TkvrPlugin&, PPluginCallRec, int32_t& Result)>;

// A data module: its published properties (the message texts among them) are what the
// module's translator translates.
class TkvrPlugin : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    // Makes the instance's own state from the first call's record (which may be null). The
    // derived class's constructor then applies its module definition; AfterConstruction
    // finishes (translation, OnCreate).
    explicit TkvrPlugin(const TPluginCallRec* pCallRec);
    ~TkvrPlugin() override;

    // Runs after the most derived constructor: the last construction steps.
    void AfterConstruction();

    // ---- Published properties (set by the module definition) ----
    // The outcome messages follow the module's language; data calls read them on any thread.
    TGuardedText MsgNoData{"No data for processing"};
    TGuardedText MsgWriteComplete{"Data have been processed successfully"};
    TGuardedText MsgWriteCompleteError{"Data have been processed with errors"};
    float MinVersion = 4.0f;
    std::string Description;
    std::string LogTitle;
    TModuleTypes ModuleType = 0;
    TModuleOptions ModuleOptions = 0;
    std::string EventsSupported;
    bool IsMultiThreadSupported = true;

    // ---- Published events ----
    TShowOptionsDialogEvent OnShowOptionsDialog;
    TExecutePluginCustomCommandEvent OnExecuteCustomCommand;
    TExecutePluginCustomCommandEvent OnEvent;
    TExecutePluginCommandEvent OnLoad;
    TExecutePluginCommandEvent OnUnload;
    TNotifyEvent OnSaveSettingsNow;
    TNotifyEvent OnLoadSettingsNow;
    TNotifyEvent OnBeforeGetParserItems;
    TNotifyEvent OnSetParserItems;
    TOnPluginStateChangeNotifyEvent OnStateChanged;
    TOnProcessData OnProcessData;
    TOnProcessData OnGetData;
    TNotifyEvent OnChangeLanguage;
    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    // Handed to every settings store the module makes: virtual map items and line vetoes.
    TSetValueProc OnSetPropertyValue;
    TGetValueProc OnGetPropertyValue;
    TBeforeProcessItemProc OnBeforeProcessSettingsItem;

    // ---- Instance state ----
    // One while the instance is registered, plus one per call working on it (PluginRef).
    std::atomic<int32_t> References{1};
    uint32_t InstanceKey = 0;
    uint32_t ModuleId = 0;
    std::atomic<int32_t> LoadCount{0};
    CriticalSection CommandLock;
    std::atomic<int32_t> CommandDepth{0};
    std::atomic<bool> Busy{false};
    std::atomic<bool> Unloaded{false};
    bool InOptionsDialog = false;
    bool Translated = false;
    uint32_t OwnerThreadId = 0;
    HWND HostWindow = nullptr;
    HMODULE HostModule = nullptr;
    HWND OwnerForm = nullptr;
    std::string ApplicationName;
    std::string RegistryPath;
    std::string INISectionPrefix;
    std::string INIFile;
    TRegistryRoot RegistryRoot = rrHKEY_LOCAL_MACHINE;
    TRegistryRoot SecondRegistryRoot = rrHKEY_CURRENT_USER;
    std::string Language = "EN";
    // Translates the module's texts and its options form; its LanguageFile is the DLL's path
    // with ".lng", or empty when no such file lies beside the DLL.
    std::unique_ptr<TWtransl> Translator;
    std::string ModulePath;
    std::string ModuleFileName;
    std::string VersionText;
    std::vector<TParserItem> ParserItems;
    std::string ItemsText;
    TkvrPluginCustomCmdList CustomCommands;
    TThreadStringList LogLines;
    TThreadRowsLists OutputRows;
    TSharedRowsList EventRows;
    std::vector<std::unique_ptr<TConfigDataSource>> DataSources;
    std::string DataSourceLoad;
    bool TypeEnabled[8] = {};
    bool TemporaryLoad = false;
    RECT FormBounds = {};
    void* fSendData = nullptr;
    void* fSendString = nullptr;
    void* fSendByte = nullptr;

    // Translates the module's own texts into Language once (after a language change), from
    // the texts of its definition, so that any language can follow any other; a failure
    // leaves them in English.
    void TranslateOwnTexts();
    // Language intake changed Language: translate again.
    void AfterLanguageChange() { TranslateOwnTexts(); }
    // Clears and frees the output rows lists and EventRows (UNLOAD); failures are ignored.
    void ReleaseRowsLists();

    // Takes "TEMPORARY-LOAD" from a list; true when the list held a usable value.
    bool TakeTemporaryLoad(const kvr_params_list* params);

    // Parser items.
    int ParserItemCount() const { return int(ParserItems.size()); }
    TParserItem GetParserItem(int index) const;
    void SetParserItem(int index, const TParserItem& item);

    // GetModuleType's answer: role bits, then option bits from bit 16.
    uint32_t PackedModuleType() const;

    // Log: queue a line for the host and notify it; send lines at once.
    std::string FormatLogLine(int type, const std::string& text) const;
    void AddLog(int type, const std::string& text);
    void SendLog(int type, const std::string& text);
    // The queued lines as one text, each followed by CR LF.
    static std::string JoinLogLines(const std::vector<std::string>& lines);

  private:
    // The message texts as the module's definition set them (English).
    std::string designed_no_data_, designed_complete_, designed_complete_error_;
};

// Reads the fixed version of the module file holding this code: "1.2.3 build 45"; empty
// when it cannot be read.
std::string read_module_version_text();
// Full file name of the module (DLL or program) holding this code.
std::string this_module_file_name();

} // namespace kvr
