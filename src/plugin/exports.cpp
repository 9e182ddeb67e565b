#include "plugin/exports.h"

#include "common/errors.h"
#include "common/fault_cleanup.h"
#include "plugin/commands.h"
#include "plugin/data_exchange.h"
#include "plugin/fault_frame.h"
#include "plugin/instances.h"
#include "plugin/options_dialog.h"

#include <windows.h>

#include <cstring>
#include <optional>

using namespace kvr;

namespace kvr {

namespace {

// Runs the thread's pending window messages. A quit message is the host's: it goes back into
// the queue and the answer is false, so a wait ends as the application ends.
bool run_pending_messages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(int(message.wParam));
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

} // namespace

bool WaitForAnyClear(uint32_t timeout_ms, std::initializer_list<const std::atomic<bool>*> flags) {
    const DWORD start = GetTickCount();
    int outcome = 1;
    for (bool first_pass = true;; first_pass = false) {
        outcome = 1;
        for (const std::atomic<bool>* flag : flags) {
            if (!flag) {
                outcome = -1;
                break;
            }
            if (!flag->load()) {
                outcome = 0;
                break;
            }
        }
        const DWORD elapsed = GetTickCount() - start;
        if (outcome < 1 || (timeout_ms != 0 && elapsed >= timeout_ms)) break;
        if (!first_pass) {
            if (!run_pending_messages()) break;
            Sleep(50);
        }
    }
    return outcome == 0;
}

} // namespace kvr

namespace {

constexpr uint32_t kInterfaceVersion = 4;
constexpr uint32_t kDataCallWaitMs = 30000;

bool record_is_valid(PPluginCallRec rec) {
    return rec && rec->Signature == KVR_CALL_SIGNATURE &&
           (rec->Params || rec->CallMode == KVR_CALLMODE_RELEASE ||
            rec->CallMode == KVR_CALLMODE_LIBRARY_UNLOAD);
}

// Marks a data call in progress; a memory fault that abandons the call clears the mark too.
class [[nodiscard]] BusyMark {
  public:
    explicit BusyMark(std::atomic<bool>& busy) : busy_(busy) { busy_ = true; }
    ~BusyMark() { busy_ = false; }
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;

  private:
    static void clear_after_fault(void* self) { static_cast<BusyMark*>(self)->busy_ = false; }

    std::atomic<bool>& busy_;
    FaultCleanup fault_cleanup_{&clear_after_fault, this};
};

enum class Rows { kLeased, kNone };

// The shared steps of the data calls: validity, instance, the busy guard; the calling thread's
// output rows list is leased for the call when it may hand rows on.
template <class Work>
int32_t guarded_data_call(PPluginCallRec rec, bool clears_result, Rows rows, Work&& work) {
    return AtEntryBoundary<int32_t>(-3, [&]() -> int32_t {
        if (!record_is_valid(rec)) return -1;
        const PluginRef plugin = FindPlugin(rec);
        if (!plugin) return -1;
        if (!WaitForAnyClear(kDataCallWaitMs, {&plugin->Busy, &plugin->Unloaded})) return -1;
        if (plugin->Unloaded) return -1;
        const BusyMark busy(plugin->Busy);
        if (clears_result) rec->ResultValue = 0;
        std::optional<TThreadRowsLists::Lease> lease;
        if (rows == Rows::kLeased) lease.emplace(plugin->OutputRows);
        int32_t result = -3;
        try {
            result = work(*plugin);
        } catch (...) {
        }
        if (lease) lease->end(rec);
        return result;
    });
}

// The text fetches report a byte count: no result until something is copied.
PluginRef begin_text_call(PPluginCallRec rec) {
    rec->ResultValue = 0;
    rec->ResultKind = KVR_RESULTKIND_VALUE;
    return FindPlugin(rec);
}

// Copies text into the host buffer when it fits; answers the bytes copied or 0.
int32_t copy_to_host(PPluginCallRec rec, const std::string& text) {
    rec->ResultValue = int32_t(text.size());
    if (text.empty() || rec->BufferSize <= 0 || int64_t(text.size()) > rec->BufferSize ||
        !rec->Data)
        return 0;
    std::memcpy(rec->Data, text.data(), text.size());
    return int32_t(text.size());
}

// Puts a failed command's exception into the log; called inside the command's catch handler.
// Nothing here may throw out of the entry point, not even for want of memory.
void log_command_failure(TkvrPlugin& plugin) noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& error) {
            plugin.AddLog(lmtException, exception_report(error));
        } catch (...) {
            plugin.AddLog(lmtException, "Exception: unknown failure");
        }
    } catch (...) {
        // Not even the report could be made: the result code says it failed.
    }
}

} // namespace

extern "C" {

uint32_t KVR_CALL GetPluginIntfVersion() {
    return kInterfaceVersion;
}

float KVR_CALL GetAppMinVersion(PPluginCallRec pCallRec) {
    return AtEntryBoundary(-1.0f, [&] {
        const PluginRef plugin = FindPlugin(pCallRec);
        return plugin ? plugin->MinVersion : -1.0f;
    });
}

const char* KVR_CALL GetModuleDescription(PPluginCallRec pCallRec) {
    return AtEntryBoundary<const char*>(nullptr, [&]() -> const char* {
        const PluginRef plugin = FindPlugin(pCallRec);
        return plugin ? plugin->Description.c_str() : nullptr;
    });
}

uint32_t KVR_CALL GetModuleType(PPluginCallRec pCallRec) {
    return AtEntryBoundary(0u, [&] {
        const PluginRef plugin = FindPlugin(pCallRec);
        return plugin ? plugin->PackedModuleType() : 0u;
    });
}

uint8_t KVR_CALL MultiThreadSupport(PPluginCallRec pCallRec) {
    return AtEntryBoundary<uint8_t>(0, [&]() -> uint8_t {
        const PluginRef plugin = FindPlugin(pCallRec);
        return plugin && plugin->IsMultiThreadSupported ? 1 : 0;
    });
}

int32_t KVR_CALL GetCustomCommands(PPluginCallRec pCallRec) {
    return AtEntryBoundary<int32_t>(0, [&]() -> int32_t {
        if (!pCallRec) return 0;
        const PluginRef plugin = begin_text_call(pCallRec);
        if (!plugin || !(plugin->ModuleType & module_type_bit(mttMenuExt))) return 0;
        std::string text;
        for (const auto& command : plugin->CustomCommands)
            text += command.Text1 + "|" + command.Text2 + "|" + command.Text3 + "|" +
                    std::to_string(command.Number1) + "|" + std::to_string(command.Number2) +
                    "\r\n";
        return copy_to_host(pCallRec, text);
    });
}

int32_t KVR_CALL GetLogEx(PPluginCallRec pCallRec) {
    return AtEntryBoundary<int32_t>(0, [&]() -> int32_t {
        if (!pCallRec) return 0;
        const PluginRef plugin = begin_text_call(pCallRec);
        if (!plugin) return 0;
        auto lines = plugin->LogLines.LockList();
        const std::string text = TkvrPlugin::JoinLogLines(*lines);
        pCallRec->ResultValue = int32_t(text.size());
        if (text.empty()) return 0;
        if (pCallRec->BufferSize == 0) {
            lines->clear(); // a host without a buffer discards the lines
            return 0;
        }
        const int32_t copied = copy_to_host(pCallRec, text);
        if (copied > 0) lines->clear();
        return copied;
    });
}

void KVR_CALL ShowOptionsDialog(PPluginCallRec pCallRec) {
    AtEntryBoundary(0, [&] {
        RunShowOptionsDialog(pCallRec);
        return 0;
    });
}

int32_t KVR_CALL ExecutePluginCommand(PPluginCallRec pCallRec) {
    return AtEntryBoundary<int32_t>(-3, [&]() -> int32_t {
        if (!record_is_valid(pCallRec)) return -1;
        const PluginRef plugin = FindPlugin(pCallRec);
        if (!plugin) return -1;
        std::string command;
        try {
            CheckCallParams(pCallRec);
            plugin->TakeTemporaryLoad(pCallRec->Params);
            const Variant value = TkvrParamsList::from(pCallRec->Params)->GetValue("COMMAND");
            if (value.is_empty_or_null()) return -1;
            command = value.to_ansi();
        } catch (...) {
            return -3;
        }
        try {
            return ExecuteCommand(*plugin, command, pCallRec);
        } catch (...) {
            log_command_failure(*plugin);
        }
        return -3;
    });
}

int32_t KVR_CALL GetData(PPluginCallRec pCallRec) {
    return guarded_data_call(pCallRec, true, Rows::kLeased,
                             [&](TkvrPlugin& plugin) { return RunGetData(plugin, pCallRec); });
}

int32_t KVR_CALL GetEvents(PPluginCallRec pCallRec) {
    return guarded_data_call(pCallRec, false, Rows::kNone,
                             [&](TkvrPlugin& plugin) { return RunGetEvents(plugin, pCallRec); });
}

int32_t KVR_CALL ProcessData(PPluginCallRec pCallRec) {
    if (!PluginInstancesExist()) return -1;
    return guarded_data_call(pCallRec, true, Rows::kLeased, [&](TkvrPlugin& plugin) {
        if (!PluginInstancesExist()) return -1;
        return RunProcessData(plugin, pCallRec);
    });
}

} // extern "C"
