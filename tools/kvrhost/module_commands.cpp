#include "module_commands.h"

#include "list_values.h"

namespace kvrhost {

void ModuleCommands::add_values(HostCall& call, const TextValues& values) const {
    kvr_list_add_handle(call.params(), "MessagesProcessorHandle", window_.handle());
    for (const auto& [name, text] : values)
        kvr_list_add_text(call.params(), name.c_str(), text.c_str());
}

std::int32_t ModuleCommands::command(const char* name, const TextValues& values,
                                     const std::string* items) {
    HostCall call(key_);
    kvr_list_add_text(call.params(), "COMMAND", name);
    add_values(call, values);
    if (items) add_utf8_text(call.params(), "ITEMS", *items); // the items text is UTF-8
    const std::int32_t result = library_.ExecutePluginCommand(&call.record);
    window_.pump();
    return result;
}

void ModuleCommands::notify(std::uint8_t call_mode) {
    HostCall call(key_);
    call.record.CallMode = call_mode;
    library_.GetModuleType(&call.record);
}

} // namespace kvrhost
