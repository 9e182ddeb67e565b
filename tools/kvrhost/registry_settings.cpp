#include "registry_settings.h"

#include "common/win32_handle.h"

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

} // namespace

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
