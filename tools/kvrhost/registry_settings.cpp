#include "registry_settings.h"

#include "common/win32_handle.h"
#include "component/text_util.h"

#include <cstring>

namespace kvrhost {

namespace {

void check(LONG status, const std::string& call) {
    if (status != ERROR_SUCCESS) throw kvr::EOSError(call, static_cast<unsigned long>(status));
}

// Opens the key with full access, creating it when missing; `status` tells why not.
kvr::UniqueRegKey open_or_create(HKEY root, const std::string& key_path, LONG& status) {
    HKEY key = nullptr;
    status = RegCreateKeyExA(root, key_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return kvr::UniqueRegKey(status == ERROR_SUCCESS ? key : nullptr);
}

void write_value(HKEY key, const StoredSetting& setting) {
    const char* name = setting.name.c_str();
    if (const auto* text = std::get_if<std::string>(&setting.value)) {
        check(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                             DWORD(text->size() + 1)),
              "RegSetValueExA");
    } else if (const auto* number = std::get_if<double>(&setting.value)) {
        BYTE bytes[sizeof(double)]; // x86 doubles are little-endian already
        std::memcpy(bytes, number, sizeof bytes);
        check(RegSetValueExA(key, name, 0, REG_BINARY, bytes, sizeof bytes), "RegSetValueExA");
    } else {
        const LONG status = RegDeleteValueA(key, name);
        if (status != ERROR_FILE_NOT_FOUND) check(status, "RegDeleteValueA");
    }
}

std::string value_text(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        std::int32_t number;
        std::memcpy(&number, data.data(), sizeof number);
        return std::to_string(number);
    }
    if (type == REG_BINARY && size == sizeof(double)) {
        double number;
        std::memcpy(&number, data.data(), sizeof number);
        return kvr::text::format_float(number);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::string text(reinterpret_cast<const char*>(data.data()), size);
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        return text;
    }
    return "(registry type " + std::to_string(type) + ", " + std::to_string(size) + " bytes)";
}

} // namespace

std::vector<std::pair<std::string, std::string>> read_settings_registry(const std::string& path) {
    const std::string key_path = registry_key_path(path);
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_ALL_ACCESS, &raw) !=
            ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return {};
    const kvr::UniqueRegKey key(raw);
    std::vector<std::pair<std::string, std::string>> values;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD name_length = sizeof name;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueA(key.get(), index, name, &name_length, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size + 1);
        name_length = sizeof name;
        if (RegEnumValueA(key.get(), index, name, &name_length, nullptr, &type, data.data(),
                          &size) != ERROR_SUCCESS)
            break;
        values.emplace_back(std::string(name, name_length), value_text(type, data, size));
    }
    return values;
}

std::string registry_key_path(const std::string& path) {
    std::string key = path;
    if (key.starts_with('\\')) key.erase(0, 1);
    if (key.ends_with('\\')) key.pop_back();
    if (key.empty())
        throw kvr::Exception("the registry path \"" + path + "\" names no key below the root");
    return key;
}

HKEY write_settings_registry(const std::string& path, const FilterSettings& settings) {
    const std::string key_path = registry_key_path(path);
    LONG status = ERROR_SUCCESS;
    HKEY root = HKEY_LOCAL_MACHINE;
    kvr::UniqueRegKey key = open_or_create(root, key_path, status);
    if (!key) {
        root = HKEY_CURRENT_USER;
        key = open_or_create(root, key_path, status);
    }
    check(status, "RegCreateKeyExA of " + key_path);
    for (const StoredSetting& setting : stored_settings(settings))
        write_value(key.get(), setting);
    return root;
}

} // namespace kvrhost
