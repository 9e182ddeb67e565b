#include "plugin_library.h"

namespace kvrhost {

namespace {
template <class F> void resolve(HMODULE module, const char* name, F& target) {
    target = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!target) throw std::runtime_error(std::string("the plug-in does not export ") + name);
}
} // namespace

PluginLibrary::PluginLibrary(const std::string& path) {
    module_ = LoadLibraryA(path.c_str());
    if (!module_)
        throw std::runtime_error("cannot load " + path + " (error " +
                                 std::to_string(GetLastError()) + ")");
    try {
        resolve(module_, "GetPluginIntfVersion", GetPluginIntfVersion);
        resolve(module_, "GetAppMinVersion", GetAppMinVersion);
        resolve(module_, "GetModuleDescription", GetModuleDescription);
        resolve(module_, "GetModuleType", GetModuleType);
        resolve(module_, "MultiThreadSupport", MultiThreadSupport);
        resolve(module_, "GetCustomCommands", GetCustomCommands);
        resolve(module_, "GetLogEx", GetLogEx);
        resolve(module_, "ShowOptionsDialog", ShowOptionsDialog);
        resolve(module_, "ExecutePluginCommand", ExecutePluginCommand);
        resolve(module_, "GetData", GetData);
        resolve(module_, "GetEvents", GetEvents);
        resolve(module_, "ProcessData", ProcessData);
    } catch (...) {
        FreeLibrary(module_);
        throw;
    }
}

PluginLibrary::~PluginLibrary() {
    if (module_) FreeLibrary(module_);
}

HostCall::HostCall(uint32_t instance_key, uint32_t module_id) {
    record.Signature = KVR_CALL_SIGNATURE;
    record.InstanceKey = instance_key;
    record.ModuleId = module_id;
    reset_params();
}

HostCall::~HostCall() {
    kvr_list_free(params_);
}

void HostCall::reset_params() {
    kvr_list_free(params_);
    params_ = kvr_list_new(0);
    if (!params_) throw std::bad_alloc();
    record.Params = params_;
}

} // namespace kvrhost
