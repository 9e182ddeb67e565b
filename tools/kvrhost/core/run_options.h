#pragma once
// The options of `kvrhost run` and the rules for combining them.

#include "kvrhost/core/filter_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvrhost {

struct RunOptions {
    std::string plugin = "aggregation.dll";
    std::uint32_t key = 1;
    // The filter's settings: written before LOAD only when variables are given.
    std::vector<std::string> variables;
    std::optional<double> timeout_ms;
    bool no_reset = false;
    // Where the settings live, as LOAD passes it on. Without either, settings given with
    // variables go to a temporary INI file.
    std::string ini_file;
    std::optional<std::string> section_prefix;
    std::string registry_path;
    // Parser items announced with SET-ITEMS.
    std::string items_file;
    bool items_from_stream = false;
    bool csv = false;
    std::string clock_field; // UTF-8; empty: no pacing
    std::string input;       // a file, or "-" for standard input
    std::string language;    // sent as "LANGUAGE" with every command; empty: none
    // The roles (KVR_MTT_* bits) each data call concerns: the filter role, and the export or
    // events role for a module whose outcome messages are wanted in the log.
    std::uint8_t module_types = 0x20;

    bool reads_standard_input() const { return input == "-"; }
    // The settings to write before LOAD, or nothing when no variable was given.
    std::optional<FilterSettings> filter_settings() const;
};

// Why the options cannot be used together, or nothing when they can: no input; --timeout or
// --no-reset without a variable; settings that cannot be stored (settings_problem); both an INI
// file and a registry path; a section prefix without an INI file; an items file together with
// items from the stream; items from the stream while reading standard input (it would have to
// be read twice).
std::optional<std::string> options_problem(const RunOptions& options);

} // namespace kvrhost
