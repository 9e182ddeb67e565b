#include "plugin/plugin_module.h"

#include "common/errors.h"
#include "common/this_module.h"

#include <windows.h>

namespace kvr {

namespace {

constexpr UINT kHostMessageTimeoutMs = 1000;
constexpr size_t kMaxQueuedLogLines = 100;

// Sends with a time limit that gives up on a hung window; true when the window answered.
bool send_with_limit(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                               kHostMessageTimeoutMs, &answer) != 0;
}

bool send_copy_data(HWND window, uint32_t module_id, ULONG_PTR kind, const std::string& text) {
    COPYDATASTRUCT data{};
    data.dwData = kind;
    data.cbData = DWORD(text.size());
    data.lpData = const_cast<char*>(text.data());
    return send_with_limit(window, WM_COPYDATA, module_id, reinterpret_cast<LPARAM>(&data));
}

} // namespace

std::string this_module_file_name() {
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(ThisModule(), path, DWORD(sizeof path));
    return std::string(path, length);
}

std::string read_module_version_text() {
    try {
        const std::string file = this_module_file_name();
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
        if (size == 0) return {};
        std::vector<char> data(size);
        if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return {};
        VS_FIXEDFILEINFO* info = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info)
            return {};
        return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
               std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
               std::to_string(HIWORD(info->dwFileVersionLS)) + " build " +
               std::to_string(LOWORD(info->dwFileVersionLS));
    } catch (...) {
        return {};
    }
}

const ClassInfo& TkvrPlugin::StaticClassInfo() {
    auto text = [](TGuardedText TkvrPlugin::*field) {
        return std::make_pair(
            ClassBuilder<TkvrPlugin>::Getter<std::string>(
                [field](TkvrPlugin& plugin) { return (plugin.*field).get(); }),
            ClassBuilder<TkvrPlugin>::Setter<std::string>(
                [field](TkvrPlugin& plugin, std::string value) { plugin.*field = value; }));
    };
    const auto no_data = text(&TkvrPlugin::MsgNoData);
    const auto complete = text(&TkvrPlugin::MsgWriteComplete);
    const auto complete_error = text(&TkvrPlugin::MsgWriteCompleteError);
    static const ClassInfo info =
        ClassBuilder<TkvrPlugin>("TkvrPlugin", TComponent::StaticClassInfo())
            .ansi_string("MsgNoData", no_data.first, no_data.second)
            .ansi_string("MsgWriteComplete", complete.first, complete.second)
            .ansi_string("MsgWriteCompleteError", complete_error.first, complete_error.second)
            .single("MinVersion", &TkvrPlugin::MinVersion)
            .ansi_string("Description", &TkvrPlugin::Description)
            .ansi_string("LogTitle", &TkvrPlugin::LogTitle)
            .ansi_string("EventsSupported", &TkvrPlugin::EventsSupported)
            .boolean("IsMultiThreadSupported", &TkvrPlugin::IsMultiThreadSupported)
            .build();
    return info;
}

TkvrPlugin::TkvrPlugin(const TPluginCallRec* pCallRec) {
    if (pCallRec) {
        TemporaryLoad = pCallRec->Params == nullptr;
        TakeTemporaryLoad(pCallRec->Params);
    }
    VersionText = read_module_version_text();
    const std::string full_name = this_module_file_name();
    const size_t dot = full_name.find_last_of('.');
    const size_t slash = full_name.find_last_of("\\/");
    // The language file lies beside the library; without one the module stays in "EN". The
    // translator's timer belongs to this thread, which must handle window messages for the
    // loaded translations to be freed after a while.
    Translator = std::make_unique<TWtransl>();
    Translator->SetLanguageFile(
        (dot != std::string::npos && (slash == std::string::npos || dot > slash)
             ? full_name.substr(0, dot)
             : full_name) +
        ".lng");
    Language = "EN";
    if (GetFileAttributesA(Translator->LanguageFile().c_str()) != INVALID_FILE_ATTRIBUTES) {
        try {
            if (std::string language = Translator->ReadDefaultLanguage(); !language.empty())
                Language = std::move(language);
        } catch (...) {
        }
    } else {
        Translator->SetLanguageFile({});
    }
    for (const char* name : {"MsgNoData", "MsgWriteComplete", "MsgWriteCompleteError"})
        Translator->ComponentProperties().Add(name);
    ModuleFileName = slash == std::string::npos ? full_name : full_name.substr(slash + 1);
    ModulePath = slash == std::string::npos ? std::string() : full_name.substr(0, slash + 1);
}

TkvrPlugin::~TkvrPlugin() {
    try {
        if (OnDestroy) OnDestroy(*this);
    } catch (...) {
    }
    Translator.reset(); // writes a collection run's template file
}

void TkvrPlugin::AfterConstruction() {
    designed_no_data_ = MsgNoData.get();
    designed_complete_ = MsgWriteComplete.get();
    designed_complete_error_ = MsgWriteCompleteError.get();
    if (Translator && !Translator->LanguageFile().empty()) TranslateOwnTexts();
    if (OnCreate) OnCreate(*this);
}

void TkvrPlugin::TranslateOwnTexts() {
    if (Translated || Language.empty()) return;
    try {
        if (Translator && !Translator->LanguageFile().empty()) {
            // Translations are keyed by the English texts: start from those every time.
            MsgNoData = designed_no_data_;
            MsgWriteComplete = designed_complete_;
            MsgWriteCompleteError = designed_complete_error_;
            Translator->Translate(Language, *this, "EN");
        }
    } catch (...) {
        // A failed translation leaves the texts English or partly translated; never broken.
    }
    Translated = true;
}

void TkvrPlugin::ReleaseRowsLists() {
    OutputRows.Release();
    EventRows.Release();
}

bool TkvrPlugin::TakeTemporaryLoad(const kvr_params_list* params) {
    if (!params) return false;
    try {
        const Variant value =
            TkvrParamsList::from(const_cast<kvr_params_list*>(params))->GetValue("TEMPORARY-LOAD");
        if (value.is_empty_or_null()) return false;
        TemporaryLoad = value.to_bool();
        return true;
    } catch (...) {
        return false;
    }
}

TParserItem TkvrPlugin::GetParserItem(int index) const {
    if (index < 0 || index >= ParserItemCount()) return {};
    return ParserItems[size_t(index)];
}

void TkvrPlugin::SetParserItem(int index, const TParserItem& item) {
    if (index < 0) return;
    if (size_t(index) >= ParserItems.size()) ParserItems.resize(size_t(index) + 1);
    ParserItems[size_t(index)] = item;
}

uint32_t TkvrPlugin::PackedModuleType() const {
    return uint32_t(ModuleType) | (uint32_t(ModuleOptions & 0x03) << 16);
}

std::string TkvrPlugin::FormatLogLine(int type, const std::string& text) const {
    std::string line(1, char(type + 1));
    if (!LogTitle.empty()) line += LogTitle + ". ";
    line.reserve(line.size() + text.size());
    for (char c : text)
        line += (c == '\r' || c == '\n') ? ' ' : c;
    return line;
}

std::string TkvrPlugin::JoinLogLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

void TkvrPlugin::AddLog(int type, const std::string& text) {
    try {
        const HWND window = HostWindow;
        if (!window) return;
        {
            auto lines = LogLines.LockList();
            lines->push_back(FormatLogLine(type, text));
            if (lines->size() > kMaxQueuedLogLines)
                lines->erase(lines->begin(), lines->end() - kMaxQueuedLogLines);
        }
        if (!PostMessageA(window, KVR_MSG_LOG_NOTIFY, ModuleId, 0))
            send_with_limit(window, KVR_MSG_LOG_NOTIFY, ModuleId, 0);
    } catch (...) {
    }
}

void TkvrPlugin::SendLog(int type, const std::string& text) {
    try {
        const HWND window = HostWindow;
        if (!window) return;
        std::vector<std::string> queued;
        LogLines.LockList()->swap(queued);
        if (!queued.empty() &&
            !send_copy_data(window, ModuleId, KVR_COPYDATA_LOG_LINES, JoinLogLines(queued))) {
            // Put the lines back ahead of any added meanwhile, then queue the new one.
            {
                auto lines = LogLines.LockList();
                lines->insert(lines->begin(), queued.begin(), queued.end());
            }
            AddLog(type, text);
            return;
        }
        if (!send_copy_data(window, ModuleId, KVR_COPYDATA_LOG_LINE, FormatLogLine(type, text)))
            AddLog(type, text);
    } catch (...) {
    }
}

} // namespace kvr
