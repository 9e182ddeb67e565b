#pragma once
// The aggregation filter's settings as the host writes them into the filter's settings store
// before it loads the module, in the store's own names and encodings:
//
//   Var1 .. Var8   the variable names, escaped text; the unused ones are deleted
//   Timeout        the aggregation timeout in milliseconds, a number
//   No reset       "True" or "False"
//
// In an INI file these are entries of one section; in the registry they are values of one key
// (Var as REG_SZ, Timeout as an 8-byte REG_BINARY double, No reset as REG_SZ).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace kvrhost {

inline constexpr std::size_t kMaxVariables = 8;

struct FilterSettings {
    std::vector<std::string> variables; // 8-bit text in the ANSI code page
    double timeout_ms = 0.0;            // 0: no timeout
    bool no_reset = false;
};

// Why the settings cannot be stored as they are, or nothing when they can: 1 to 8 variables,
// none of them blank; a timeout from 0 up to, not including, 2^32 ms (the filter keeps the
// low 32 bits of the whole milliseconds, so 2^32 would silently mean "no timeout").
std::optional<std::string> settings_problem(const FilterSettings& settings);

// One value of the store: text, a number, or nothing (the stored value is deleted).
struct StoredSetting {
    std::string name;
    std::variant<std::monostate, std::string, double> value;
};

// The ten stored values of the settings in store order: Var1 .. Var8, Timeout, No reset.
std::vector<StoredSetting> stored_settings(const FilterSettings& settings);

// The INI section that holds the filter's settings for a section prefix: "Common" without a
// prefix, "<prefix>.Common", or the prefix itself without its final "/" when it ends with "/";
// every "\" becomes ".". Nothing when that leaves no name (the prefix "/").
std::optional<std::string> settings_section(std::string_view prefix);

// Writes the settings into the INI file's section for the prefix, keeping every other section
// and entry of the file (a missing file is created). Throws kvr::Exception when the prefix
// names no section or the file cannot be read or written.
void write_settings_ini(const std::string& file, std::string_view prefix,
                        const FilterSettings& settings);

// The entries of the INI file's section for the prefix, "Name" and text in file order; none
// when the file or the section does not exist. Throws kvr::Exception when the prefix names no
// section or the file cannot be read.
std::vector<std::pair<std::string, std::string>> read_settings_ini(const std::string& file,
                                                                   std::string_view prefix);

} // namespace kvrhost
