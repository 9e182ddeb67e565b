// Library start-up and shutdown of aggregation.dll.

#include "component/text_platform_win.h"
#include "filter/plugin_dm.h"
#include "help/html_help_library.h"
#include "plugin/instances.h"
#include "settings/custom_props.h"

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
            break;
        case DLL_PROCESS_DETACH:
            // At process exit the other threads are gone already: tear nothing down.
            if (!reserved) {
                kvr::StopPluginInstances();
                kvr::html_help::Unload(true);
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
