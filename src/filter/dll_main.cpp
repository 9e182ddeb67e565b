// Library start-up and shutdown of aggregation.dll.

#include "component/text_platform_win.h"
#include "filter/plugin_dm.h"
#include "help/html_help_library.h"
#include "plugin/instances.h"
#include "settings/custom_props.h"
#include "timers/timer_ex.h"
#include "translation/translator_customs.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    try {
        switch (reason) {
        case DLL_PROCESS_ATTACH:
            // The system's code page and locale rules, before anything handles text.
            kvr::install_text_platform(&kvr::windows_text_platform());
            kvr::StartPluginInstances();
            kvr::RegisterAggregationModule();
            // Before any property map runs: the combo boxes' selected-index handler.
            kvr::RegisterStandardWregCustomProps();
            // The translator's handler of wide-string lists (combo box items).
            kvr::RegisterStandardCustomTranslators();
            break;
        case DLL_PROCESS_DETACH:
            // At process exit the other threads are gone already: tear nothing down.
            if (!reserved) {
                kvr::StopPluginInstances();
                kvr::html_help::Unload(true);
                // The instances' timers are gone: no window class may outlive this code.
                kvr::TkvrTimerEx::UnregisterWindowClass();
                kvr::ClearCustomTranslators();
            }
            break;
        default:
            break;
        }
    } catch (...) {
        return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
    }
    return TRUE;
}
