#include "settings/value_location.h"

#include "component/text_util.h"

namespace kvr {

namespace {

constexpr std::size_t kMaxStorageNameParts = 255;

std::string_view without_leading_backslash(std::string_view path) {
    if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
    return path;
}

std::string_view without_trailing_backslash(std::string_view path) {
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return path;
}

} // namespace

ValueLocation SplitStorageName(std::string_view storage_name) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (parts.size() < kMaxStorageNameParts) {
        const std::size_t slash = storage_name.find('\\', start);
        const std::string_view part =
            text::trim_controls(storage_name.substr(start, slash - start));
        if (part.empty()) break;
        parts.emplace_back(part);
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    ValueLocation location;
    if (parts.empty()) return location;
    location.value_name = std::move(parts.back());
    parts.pop_back();
    location.sub_keys = std::move(parts);
    return location;
}

std::string RegistryKeyPath(std::string_view registry_path,
                            const std::vector<std::string>& sub_keys) {
    std::string path(without_trailing_backslash(registry_path));
    for (const std::string& key : sub_keys)
        path.append("\\").append(key);
    return std::string(without_leading_backslash(path));
}

std::string IniSectionName(std::string_view prefix, const std::vector<std::string>& sub_keys) {
    std::string section;
    for (const std::string& key : sub_keys) {
        if (!section.empty()) section += '\\';
        section += key;
    }
    const bool prefix_names_section = !prefix.empty() && prefix.back() == '/';
    if (sub_keys.empty() && !prefix_names_section) section = "Common";
    if (prefix_names_section) prefix.remove_suffix(1);
    if (!prefix.empty())
        section = section.empty() ? std::string(prefix) : std::string(prefix) + "." + section;
    for (char& c : section)
        if (c == '\\') c = '.';
    return section;
}

} // namespace kvr
