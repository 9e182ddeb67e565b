#pragma once
// A loaded plug-in library and its twelve entry points, as a host sees them.

#include <kvr/plugin_abi.h>

#include <stdexcept>
#include <string>

namespace kvrhost {

class PluginLibrary {
  public:
    // Loads the library and resolves every entry point; throws std::runtime_error naming
    // what is missing.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    kvr_GetPluginIntfVersion GetPluginIntfVersion = nullptr;
    kvr_GetAppMinVersion GetAppMinVersion = nullptr;
    kvr_GetModuleDescription GetModuleDescription = nullptr;
    kvr_GetModuleType GetModuleType = nullptr;
    kvr_MultiThreadSupport MultiThreadSupport = nullptr;
    kvr_GetCustomCommands GetCustomCommands = nullptr;
    kvr_GetLogEx GetLogEx = nullptr;
    kvr_ShowOptionsDialog ShowOptionsDialog = nullptr;
    kvr_ExecutePluginCommand ExecutePluginCommand = nullptr;
    kvr_GetData GetData = nullptr;
    kvr_GetEvents GetEvents = nullptr;
    kvr_ProcessData ProcessData = nullptr;

    HMODULE handle() const { return module_; }

  private:
    HMODULE module_ = nullptr;
};

// A call record for one instance with a parameter list the host owns.
class HostCall {
  public:
    explicit HostCall(uint32_t instance_key, uint32_t module_id = 1);
    ~HostCall();
    HostCall(const HostCall&) = delete;
    HostCall& operator=(const HostCall&) = delete;

    TPluginCallRec record{};
    kvr_params_list* params() const { return params_; }
    // Replaces the list by a fresh empty one.
    void reset_params();

  private:
    kvr_params_list* params_ = nullptr;
};

} // namespace kvrhost
