#include "kvrhost/core/filter_settings.h"

#include "common/errors.h"
#include "settings/big_ini_file.h"
#include "settings/escaping.h"

#include <cmath>

namespace kvrhost {

namespace {
constexpr double kTimeoutLimitMs = 4294967296.0; // 2^32

bool is_blank(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) > 32) return false;
    return true;
}
} // namespace

std::optional<std::string> settings_problem(const FilterSettings& settings) {
    if (settings.variables.empty()) return "at least one variable is needed";
    if (settings.variables.size() > kMaxVariables)
        return "at most " + std::to_string(kMaxVariables) + " variables are allowed, not " +
               std::to_string(settings.variables.size());
    for (const std::string& variable : settings.variables)
        if (is_blank(variable)) return "a variable name is empty";
    if (!std::isfinite(settings.timeout_ms) || settings.timeout_ms < 0 ||
        settings.timeout_ms >= kTimeoutLimitMs)
        return "the timeout must lie from 0 to 4294967295 ms";
    return std::nullopt;
}

std::vector<StoredSetting> stored_settings(const FilterSettings& settings) {
    std::vector<StoredSetting> stored;
    for (std::size_t i = 0; i < kMaxVariables; ++i) {
        StoredSetting variable{"Var" + std::to_string(i + 1), std::monostate{}};
        if (i < settings.variables.size()) variable.value = kvr::EscapeValue(settings.variables[i]);
        stored.push_back(std::move(variable));
    }
    stored.push_back({"Timeout", settings.timeout_ms});
    stored.push_back({"No reset", std::string(settings.no_reset ? "True" : "False")});
    return stored;
}

std::optional<std::string> settings_section(std::string_view prefix) {
    std::string section = prefix.ends_with('/') ? "" : "Common";
    if (prefix.ends_with('/')) prefix.remove_suffix(1);
    if (!prefix.empty())
        section = section.empty() ? std::string(prefix) : std::string(prefix) + "." + section;
    for (char& c : section)
        if (c == '\\') c = '.';
    if (section.empty()) return std::nullopt;
    return section;
}

namespace {
std::string section_of(std::string_view prefix) {
    const std::optional<std::string> section = settings_section(prefix);
    if (!section)
        throw kvr::Exception("the section prefix \"" + std::string(prefix) + "\" names no section");
    return *section;
}
} // namespace

std::vector<std::pair<std::string, std::string>> read_settings_ini(const std::string& file,
                                                                   std::string_view prefix) {
    const std::string section = section_of(prefix);
    const kvr::TBigIniFile ini(file);
    std::vector<std::string> names;
    ini.ReadSection(section, names);
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& name : names)
        entries.emplace_back(name, ini.ReadString(section, name, ""));
    return entries;
}

void write_settings_ini(const std::string& file, std::string_view prefix,
                        const FilterSettings& settings) {
    const std::string section = section_of(prefix);
    kvr::TBigIniFile ini(file);
    for (const StoredSetting& setting : stored_settings(settings)) {
        if (const auto* text = std::get_if<std::string>(&setting.value))
            ini.WriteString(section, setting.name, *text);
        else if (const auto* number = std::get_if<double>(&setting.value))
            ini.WriteFloat(section, setting.name, *number);
        else
            ini.DeleteKey(section, setting.name);
    }
    ini.UpdateFile(); // here, not in the destructor, so that a failure is reported
}

} // namespace kvrhost
