#pragma once
// The twelve entry points a host calls. The library's .def file exports them by name.
// None of them lets an exception escape.

#include <kvr/plugin_abi.h>

#include <atomic>
#include <initializer_list>

extern "C" {
uint32_t KVR_CALL GetPluginIntfVersion();
float KVR_CALL GetAppMinVersion(PPluginCallRec pCallRec);
const char* KVR_CALL GetModuleDescription(PPluginCallRec pCallRec);
uint32_t KVR_CALL GetModuleType(PPluginCallRec pCallRec);
uint8_t KVR_CALL MultiThreadSupport(PPluginCallRec pCallRec);
int32_t KVR_CALL GetCustomCommands(PPluginCallRec pCallRec);
int32_t KVR_CALL GetLogEx(PPluginCallRec pCallRec);
void KVR_CALL ShowOptionsDialog(PPluginCallRec pCallRec);
int32_t KVR_CALL ExecutePluginCommand(PPluginCallRec pCallRec);
int32_t KVR_CALL GetData(PPluginCallRec pCallRec);
int32_t KVR_CALL GetEvents(PPluginCallRec pCallRec);
int32_t KVR_CALL ProcessData(PPluginCallRec pCallRec);
}

namespace kvr {

// Waits until one of the flags is clear. Examines the flags in order: a null pointer ends
// the wait with failure, a clear flag with success. Between passes it lets the thread's
// window messages run and sleeps 50 ms. Gives up after `timeout_ms` (0: never).
bool WaitForAnyClear(uint32_t timeout_ms, std::initializer_list<const std::atomic<bool>*> flags);

} // namespace kvr
