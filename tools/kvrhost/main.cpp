// kvrhost: a host for data-filter plug-ins. It loads a plug-in DLL and drives it through its
// exported entry points exactly as a data-logging host does.

#include "host_paths.h"
#include "host_window.h"
#include "input_source.h"
#include "list_values.h"
#include "options_command.h"
#include "plugin_library.h"
#include "run_command.h"

#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>
#include <vector>

namespace {

int show_identification(const std::string& plugin_path, uint32_t key) {
    kvrhost::PluginLibrary library(kvrhost::host_path(plugin_path));
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

// Text of a value for printing.
std::string describe_value(const VARIANT& value) {
    switch (value.vt) {
    case VT_EMPTY:
        return "(empty)";
    case VT_NULL:
        return "(null)";
    case VT_BSTR: {
        const int length = SysStringLen(value.bstrVal);
        const int bytes =
            WideCharToMultiByte(CP_ACP, 0, value.bstrVal, length, nullptr, 0, nullptr, nullptr);
        std::string text(size_t(bytes), '\0');
        WideCharToMultiByte(CP_ACP, 0, value.bstrVal, length, text.data(), bytes, nullptr, nullptr);
        return "\"" + text + "\"";
    }
    case VT_I4:
        return std::to_string(value.lVal);
    case VT_R8:
        return std::to_string(value.dblVal);
    case VT_BOOL:
        return value.boolVal ? "true" : "false";
    default:
        return "(type " + std::to_string(value.vt) + ")";
    }
}

// Adds NAME=text, NAME:int=5, NAME:float=1.5, NAME:bool=true or NAME:null to a list.
void add_value(kvr_params_list* list, const std::string& token) {
    const size_t equals = token.find('=');
    std::string name = token.substr(0, equals);
    const std::string value =
        equals == std::string::npos ? std::string() : token.substr(equals + 1);
    std::string type = "text";
    if (const size_t colon = name.find(':'); colon != std::string::npos) {
        type = name.substr(colon + 1);
        name = name.substr(0, colon);
    }
    if (type == "int")
        kvr_list_add_int(list, name.c_str(), std::stoi(value));
    else if (type == "float")
        kvr_list_add_double(list, name.c_str(), std::stod(value));
    else if (type == "bool")
        kvr_list_add_bool(list, name.c_str(), value == "true" || value == "1");
    else if (type == "null")
        kvr_list_add_null(list, name.c_str());
    else if (type == "text")
        kvr_list_add_text(list, name.c_str(), value.c_str());
    else
        throw std::runtime_error("unknown value type in " + token);
}

// Sends each command (a token without "=") with the values that follow it, prints the
// answer, the list's values afterwards, and the module's log lines.
int send_commands(const std::string& plugin_path, uint32_t key,
                  const std::vector<std::string>& tokens) {
    kvrhost::PluginLibrary library(kvrhost::host_path(plugin_path));
    kvrhost::HostWindow window(library, key, std::cerr);
    size_t i = 0;
    while (i < tokens.size()) {
        const std::string command = tokens[i++];
        if (command.find('=') != std::string::npos || command.find(':') != std::string::npos)
            throw std::runtime_error("a value comes before any command: " + command);
        kvrhost::HostCall call(key);
        kvr_list_add_text(call.params(), "COMMAND", command.c_str());
        kvr_list_add_handle(call.params(), "MessagesProcessorHandle", window.handle());
        while (i < tokens.size() && (tokens[i].find('=') != std::string::npos ||
                                     tokens[i].find(":null") != std::string::npos))
            add_value(call.params(), tokens[i++]);
        const int32_t result = library.ExecutePluginCommand(&call.record);
        std::cout << command << " -> " << result << "\n";
        const kvr_params_list* list = call.params();
        for (int32_t n = 0; n < list->Count; ++n)
            std::cout << "  " << list->Items[n]->Name << " = "
                      << describe_value(list->Items[n]->Value) << "\n";
        window.pump();
    }
    window.fetch_queued_lines();
    kvrhost::HostCall release(key);
    release.record.CallMode = KVR_CALLMODE_RELEASE;
    library.GetModuleType(&release.record);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"kvrhost: loads a data-filter plug-in and drives it as a data-logging host does"};
    app.require_subcommand(1);
    // Options begin with "-": "/tmp/packets.jsonl" is a file, not an option.
    app.allow_windows_style_options(false);
    std::string plugin = "aggregation.dll";
    uint32_t key = 1;

    auto* info = app.add_subcommand("info", "print the plug-in's identification answers");
    info->add_option("--plugin", plugin, "path of the plug-in DLL")->capture_default_str();
    info->add_option("--key", key, "instance key to use")->capture_default_str();

    auto* command =
        app.add_subcommand("command", "send commands: COMMAND [NAME=text | NAME:int=5 | "
                                      "NAME:float=1.5 | NAME:bool=true | NAME:null]...");
    std::vector<std::string> tokens;
    command->add_option("--plugin", plugin, "path of the plug-in DLL")->capture_default_str();
    command->add_option("--key", key, "instance key to use")->capture_default_str();
    command->add_option("tokens", tokens, "commands, each followed by its values")->required();

    auto* run = app.add_subcommand(
        "run", "stream data packets (JSON lines) through a filter module and print the combined "
               "records as JSON lines or CSV");
    kvrhost::RunOptions options;
    double timeout_ms = 0;
    std::string section_prefix;
    run->add_option("--plugin", options.plugin, "path of the plug-in DLL")->capture_default_str();
    run->add_option("--key", options.key, "instance key to use")->capture_default_str();
    run->add_option("--var", options.variables,
                    "a variable the filter waits for; repeat for up to 8. With --var the settings "
                    "are written where the module reads them before LOAD")
        ->allow_extra_args(false);
    run->add_option("--timeout", timeout_ms, "aggregation timeout in ms (0: none)");
    run->add_flag("--no-reset", options.no_reset, "keep the values after a record went out");
    run->add_option("--ini", options.ini_file, "INI file that holds the settings");
    run->add_option("--section-prefix", section_prefix, "prefix of the INI section");
    run->add_option("--registry", options.registry_path,
                    "registry key that holds the settings (HKLM when writable, else HKCU)");
    run->add_option("--items", options.items_file,
                    "file of parser items to announce: one name per line, optionally name:type");
    run->add_flag("--items-from-stream", options.items_from_stream,
                  "announce the names found in the packets as parser items");
    run->add_flag("--csv", options.csv, "print CSV instead of JSON lines");
    std::string clock_field;
    run->add_option("--clock", clock_field,
                    "field with the packet's time in seconds: replay the recorded pauses");
    run->add_option("packets", options.input,
                    "file of packets, one JSON object (or array of objects) per line; - reads "
                    "standard input")
        ->required();

    auto* dialog = app.add_subcommand(
        "options", "open the module's options dialog for a configured instance as a host does; "
                   "print its status (0 to 4) and the stored settings");
    kvrhost::OptionsCommandOptions dialog_options;
    std::string dialog_prefix;
    dialog->add_option("--plugin", dialog_options.plugin, "path of the plug-in DLL")
        ->capture_default_str();
    dialog->add_option("--key", dialog_options.key, "instance key to use")->capture_default_str();
    dialog->add_option("--ini", dialog_options.ini_file, "INI file that holds the settings");
    dialog->add_option("--section-prefix", dialog_prefix, "prefix of the INI section");
    dialog->add_option("--registry", dialog_options.registry_path,
                       "registry key that holds the settings (HKLM when writable, else HKCU)");
    dialog->add_option("--items", dialog_options.items_file,
                       "file of parser items to announce first: one name per line, optionally "
                       "name:type");
    dialog->add_flag("--owner-window", dialog_options.owner_window,
                     "show a host window and pass it as the dialog's owner");

    CLI11_PARSE(app, argc, argv);
    try {
        if (*info) return show_identification(plugin, key);
        if (*dialog) {
            if (dialog->count("--section-prefix")) dialog_options.section_prefix = dialog_prefix;
            return kvrhost::show_options_dialog(dialog_options, std::cout, std::cerr);
        }
        if (*command) return send_commands(plugin, key, tokens);
        if (*run) {
            if (run->count("--timeout")) options.timeout_ms = timeout_ms;
            if (run->count("--section-prefix")) options.section_prefix = section_prefix;
            options.clock_field = kvrhost::utf8_from_ansi(clock_field);
            // Bytes pass unchanged: packets are UTF-8, and CSV lines end in CR LF by themselves.
            _setmode(_fileno(stdin), _O_BINARY);
            _setmode(_fileno(stdout), _O_BINARY);
            kvrhost::HandleSource standard_input(GetStdHandle(STD_INPUT_HANDLE));
            return kvrhost::run_packets(options, standard_input, std::cout, std::cerr,
                                        _isatty(_fileno(stderr)) != 0);
        }
    } catch (const std::exception& error) {
        std::cerr << "kvrhost: " << error.what() << "\n";
        // run answers 1 for skipped packets, options for a dialog that could not run; 2: the
        // command could not start
        return *run || *dialog ? 2 : 1;
    }
    return 0;
}
