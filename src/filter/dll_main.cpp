// Library start-up and shutdown of aggregation.dll.

#include "filter/plugin_dm.h"
#include "plugin/instances.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    try {
        switch (reason) {
        case DLL_PROCESS_ATTACH:
            kvr::StartPluginInstances();
            kvr::RegisterAggregationModule();
            break;
        case DLL_PROCESS_DETACH:
            // At process exit the other threads are gone already: tear nothing down.
            if (!reserved) kvr::StopPluginInstances();
            break;
        default:
            break;
        }
    } catch (...) {
        return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
    }
    return TRUE;
}
