#pragma once
// Commands and notices to one module instance, sent as a host sends them: every command
// carries the host window's handle, and the window's messages run after each call.

#include "host_window.h"
#include "plugin_library.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kvrhost {

// Named text values of a command, in the order they are added to its list.
using TextValues = std::vector<std::pair<std::string, std::string>>;

class ModuleCommands {
  public:
    ModuleCommands(PluginLibrary& library, HostWindow& window, std::uint32_t key)
        : library_(library), window_(window), key_(key) {}

    // Puts the host window's handle and the text values into a call's list.
    void add_values(HostCall& call, const TextValues& values) const;
    // Sends the command with the text values, and with ITEMS when `items` (UTF-8) is given;
    // answers the module's result.
    std::int32_t command(const char* name, const TextValues& values,
                         const std::string* items = nullptr);
    // GetModuleType with a call mode: the release of the instance, the library-unload notice.
    void notify(std::uint8_t call_mode);

  private:
    PluginLibrary& library_;
    HostWindow& window_;
    std::uint32_t key_;
};

} // namespace kvrhost
