// kvrhost: a host for data-filter plug-ins. It loads a plug-in DLL and drives it through its
// exported entry points exactly as a data-logging host does.

#include "plugin_library.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

namespace {

int show_identification(const std::string& plugin_path, uint32_t key) {
    kvrhost::PluginLibrary library(plugin_path);
    kvrhost::HostCall call(key);
    std::cout << "interface version: " << library.GetPluginIntfVersion() << "\n";
    const char* description = library.GetModuleDescription(&call.record);
    std::cout << "description: " << (description ? description : "(none)") << "\n";
    char type[16];
    std::snprintf(type, sizeof type, "0x%X", library.GetModuleType(&call.record));
    std::cout << "module type: " << type << "\n";
    std::cout << "minimum host version: " << library.GetAppMinVersion(&call.record) << "\n";
    std::cout << "multi-thread support: "
              << (library.MultiThreadSupport(&call.record) ? "true" : "false") << "\n";
    call.record.CallMode = KVR_CALLMODE_RELEASE;
    library.GetModuleType(&call.record);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"kvrhost: loads a data-filter plug-in and drives it as a data-logging host does"};
    app.require_subcommand(1);
    std::string plugin = "aggregation.dll";
    uint32_t key = 1;

    auto* info = app.add_subcommand("info", "print the plug-in's identification answers");
    info->add_option("--plugin", plugin, "path of the plug-in DLL")->capture_default_str();
    info->add_option("--key", key, "instance key to use")->capture_default_str();

    CLI11_PARSE(app, argc, argv);
    try {
        if (*info) return show_identification(plugin, key);
    } catch (const std::exception& error) {
        std::cerr << "kvrhost: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
