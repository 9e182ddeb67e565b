#pragma once
// Helpers of the Windows store tests: a registry key of the test's own under
// HKEY_CURRENT_USER\Software, removed before and after, and raw registry access to check what
// the store wrote.

#include "common/win32_handle.h"

#include <optional>
#include <random>
#include <string>

namespace kvr::testing {

// HKEY_CURRENT_USER\Software\kvr-tests-<random> (and the same path under other roots when a
// test uses them), deleted with everything below it when the object goes.
class OwnRegistryKey {
  public:
    OwnRegistryKey() : path_("Software\\kvr-tests-" + std::to_string(std::random_device{}())) {
        remove_everywhere();
    }
    ~OwnRegistryKey() { remove_everywhere(); }
    OwnRegistryKey(const OwnRegistryKey&) = delete;
    OwnRegistryKey& operator=(const OwnRegistryKey&) = delete;

    const std::string& path() const { return path_; }

  private:
    void remove_everywhere() const {
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, path_.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path_.c_str());
    }
    std::string path_;
};

struct RawValue {
    DWORD type = 0;
    std::string data;
};

// The value as the registry holds it, or nothing when the key or the value is missing.
inline std::optional<RawValue> raw_value(HKEY root, const std::string& key,
                                         const std::string& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    const UniqueRegKey owner(opened);
    RawValue value;
    char buffer[4096];
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(opened, name.c_str(), nullptr, &value.type,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.assign(buffer, size);
    return value;
}

inline void put_raw_value(HKEY root, const std::string& key, const std::string& name, DWORD type,
                          const std::string& data) {
    HKEY opened = nullptr;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        throw_last_error("RegCreateKeyExA");
    const UniqueRegKey owner(opened);
    RegSetValueExA(opened, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
}

// A folder of the test's own in the temporary folder, with ANSI paths.
inline std::string temporary_folder() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    const std::string folder =
        std::string(base) + "kvr-wreg-" + std::to_string(std::random_device{}());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

} // namespace kvr::testing
