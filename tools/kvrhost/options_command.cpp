#include "options_command.h"

#include "host_paths.h"
#include "host_window.h"
#include "list_values.h"
#include "module_commands.h"
#include "plugin_library.h"
#include "registry_settings.h"
#include "run_command.h"

#include "common/win32_handle.h"
#include "kvrhost/core/parser_items.h"

#include <fstream>
#include <utility>
#include <vector>

namespace kvrhost {

namespace {

// A temporary INI file for a dialog without a settings location of its own.
class ScratchIniFile {
  public:
    ScratchIniFile() {
        char folder[MAX_PATH + 1];
        char path[MAX_PATH + 1];
        const DWORD length = GetTempPathA(sizeof folder, folder);
        if (length == 0 || length > MAX_PATH || !GetTempFileNameA(folder, "kvo", 0, path))
            kvr::throw_last_error("GetTempFileNameA");
        path_ = path;
    }
    ~ScratchIniFile() { DeleteFileA(path_.c_str()); }
    ScratchIniFile(const ScratchIniFile&) = delete;
    ScratchIniFile& operator=(const ScratchIniFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// One loaded instance of the module; unloaded and released when this object goes.
class LoadedModule {
  public:
    LoadedModule(PluginLibrary& library, HostWindow& window, std::uint32_t key, TextValues location)
        : library_(library), window_(window), key_(key), location_(std::move(location)) {
        if (const std::int32_t result = commands_.command("LOAD", location_); result != 0)
            throw RunError("the module answered LOAD with " + std::to_string(result));
    }
    ~LoadedModule() {
        try {
            TextValues ini;
            for (const auto& value : location_)
                if (value.first == "INI-FILE") ini.push_back(value);
            commands_.command("UNLOAD", ini);
            window_.fetch_queued_lines();
            commands_.notify(KVR_CALLMODE_RELEASE);
            commands_.notify(KVR_CALLMODE_LIBRARY_UNLOAD);
        } catch (...) {
            // Out of memory on the way out: the process ends anyway.
        }
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    void announce_items(const std::string& items_text) {
        if (const std::int32_t result = commands_.command("SET-ITEMS", {}, &items_text);
            result != 0)
            throw RunError("the module answered SET-ITEMS with " + std::to_string(result));
    }

    // ShowOptionsDialog with the values a host passes; answers the dialog's status.
    std::int32_t show_dialog(HWND owner) {
        HostCall call(key_);
        commands_.add_values(call, location_);
        if (owner) kvr_list_add_handle(call.params(), "OWNERFORM", owner);
        library_.ShowOptionsDialog(&call.record);
        window_.pump();
        return static_cast<std::int32_t>(call.record.ResultValue);
    }

  private:
    PluginLibrary& library_;
    HostWindow& window_;
    std::uint32_t key_;
    ModuleCommands commands_{library_, window_, key_};
    TextValues location_;
};

} // namespace

std::string dialog_status_text(std::int32_t status) {
    switch (status) {
    case 0:
        return "not accepted";
    case 1:
        return "accepted";
    case 2:
        return "no instance";
    case 3:
        return "the module has no options dialog";
    case 4:
        return "failed before the dialog could run";
    default:
        return "unknown status";
    }
}

int show_options_dialog(const OptionsCommandOptions& options, std::ostream& out,
                        std::ostream& err) {
    if (!options.ini_file.empty() && !options.registry_path.empty())
        throw RunError("give either --ini or --registry, not both");
    if (options.section_prefix && !options.registry_path.empty())
        throw RunError("--section-prefix belongs to an INI file, not to --registry");
    std::optional<std::vector<ParserItem>> items;
    if (!options.items_file.empty()) {
        std::ifstream in(host_path(options.items_file), std::ios::binary);
        if (!in) throw RunError("cannot open the items file " + options.items_file);
        items = read_items_file(in, options.items_file);
    }

    std::optional<ScratchIniFile> scratch;
    std::string ini_file = options.ini_file.empty() ? std::string() : host_path(options.ini_file);
    if (ini_file.empty() && options.registry_path.empty()) ini_file = scratch.emplace().path();
    TextValues location;
    if (!options.registry_path.empty())
        location.emplace_back("RegistryPath", options.registry_path);
    if (options.section_prefix) location.emplace_back("INISectionPrefix", *options.section_prefix);
    if (!ini_file.empty()) location.emplace_back("INI-FILE", ini_file);

    PluginLibrary library(host_path(options.plugin));
    HostWindow window(library, options.key, err, options.owner_window);
    std::int32_t status = 0;
    {
        LoadedModule module(library, window, options.key, location);
        if (items) module.announce_items(items_text(*items));
        status = module.show_dialog(options.owner_window ? window.handle() : nullptr);
    }
    out << "status: " << status << " (" << dialog_status_text(status) << ")\n";
    const TextValues stored =
        ini_file.empty() ? read_settings_registry(options.registry_path)
                         : read_settings_ini(ini_file, options.section_prefix.value_or(""));
    out << "stored settings:" << (stored.empty() ? " none" : "") << "\n";
    for (const auto& [name, text] : stored)
        out << "  " << name << "=" << text << "\n";
    out.flush();
    return status == 0 || status == 1 ? 0 : 1;
}

} // namespace kvrhost
