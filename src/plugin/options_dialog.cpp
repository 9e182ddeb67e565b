#include "plugin/options_dialog.h"

#include "common/fault_cleanup.h"
#include "plugin/commands.h"
#include "plugin/instances.h"

#include <windows.h>

namespace kvr {

namespace {

// Asks every other instance with the same registry path to reload: directly when it belongs
// to this thread, otherwise through its host window so that it reloads on its own thread.
void tell_siblings_to_reload(const TkvrPlugin& origin) {
    const DWORD this_thread = GetCurrentThreadId();
    ForEachPlugin([&](TkvrPlugin& other) {
        if (&other == &origin || other.RegistryPath != origin.RegistryPath ||
            !other.OnLoadSettingsNow)
            return;
        try {
            if (other.OwnerThreadId != this_thread) {
                const HWND window = other.HostWindow;
                if (!window) return;
                if (!PostMessageA(window, KVR_MSG_RELOAD_SETTINGS, other.ModuleId, 0)) {
                    DWORD_PTR answer = 0;
                    SendMessageTimeoutA(window, KVR_MSG_RELOAD_SETTINGS, other.ModuleId, 0,
                                        SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &answer);
                }
            } else {
                other.OnLoadSettingsNow(other);
            }
        } catch (...) {
        }
    });
}

// InOptionsDialog while the dialog runs, also when a memory fault abandons it.
class [[nodiscard]] ShowingDialog {
  public:
    explicit ShowingDialog(TkvrPlugin& plugin) : plugin_(plugin) { plugin_.InOptionsDialog = true; }
    ~ShowingDialog() { plugin_.InOptionsDialog = false; }
    ShowingDialog(const ShowingDialog&) = delete;
    ShowingDialog& operator=(const ShowingDialog&) = delete;

  private:
    static void end_after_fault(void* self) {
        static_cast<ShowingDialog*>(self)->plugin_.InOptionsDialog = false;
    }
    TkvrPlugin& plugin_;
    FaultCleanup fault_cleanup_{&end_after_fault, this};
};

} // namespace

void RunShowOptionsDialog(PPluginCallRec rec) {
    if (!rec) return;
    try {
        rec->ResultKind = KVR_RESULTKIND_VALUE;
        rec->ResultType = KVR_RESULTTYPE_DIALOG;
        rec->ResultValue = odsNoInstance;
        const PluginRef plugin = FindPlugin(rec);
        if (!plugin) return;
        if (!plugin->OnShowOptionsDialog) {
            rec->ResultValue = odsNoDialog;
            return;
        }
        rec->ResultValue = odsFailed;
        if (rec->Params) {
            // Commands on other threads read these fields under the same lock; the dialog
            // itself runs without it.
            const CriticalSectionGuard lock(plugin->CommandLock);
            TkvrParamsList* params = TkvrParamsList::from(rec->Params);
            const Variant ini = params->GetValue("INI-FILE");
            plugin->INIFile = ini.is_empty_or_null() ? std::string() : ini.to_ansi();
            TakeLanguage(*plugin, rec);
            const Variant owner = params->GetValue("OWNERFORM");
            if (!owner.is_empty_or_null())
                plugin->OwnerForm = reinterpret_cast<HWND>(owner.to_handle());
        }
        const ShowingDialog showing(*plugin);
        bool success = false;
        try {
            plugin->OnShowOptionsDialog(*plugin, rec, success);
        } catch (...) {
        }
        rec->ResultValue = success ? odsAccepted : odsNotAccepted;
        if (success) {
            try {
                tell_siblings_to_reload(*plugin);
            } catch (...) {
            }
        }
    } catch (...) {
    }
}

} // namespace kvr
