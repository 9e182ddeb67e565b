#include "settings/registry_win32.h"

#include "common/win32_handle.h"

#include <vector>

namespace kvr {

namespace {

HKEY root_key(TRegistryRoot root) {
    switch (root) {
    case rrHKEY_CLASSES_ROOT:
        return HKEY_CLASSES_ROOT;
    case rrHKEY_CURRENT_USER:
        return HKEY_CURRENT_USER;
    case rrHKEY_LOCAL_MACHINE:
        return HKEY_LOCAL_MACHINE;
    case rrHKEY_USERS:
        return HKEY_USERS;
    case rrHKEY_CURRENT_CONFIG:
        return HKEY_CURRENT_CONFIG;
    default:
        return nullptr;
    }
}

void check(LSTATUS status, const char* call) {
    if (status != ERROR_SUCCESS) throw EOSError(call, static_cast<unsigned long>(status));
}

class WindowsKey final : public RegistryKey {
  public:
    explicit WindowsKey(UniqueRegKey key) : key_(std::move(key)) {}

    bool ValueExists(const std::string& name) const override {
        return RegQueryValueExA(key_.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }

    std::optional<RegistryValue> ReadValue(const std::string& name) const override {
        // The value may grow between asking its size and reading it: ask again then.
        for (;;) {
            DWORD type = 0;
            DWORD size = 0;
            LSTATUS status =
                RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, nullptr, &size);
            if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
            check(status, "RegQueryValueExA");
            std::vector<BYTE> data(size + 1);
            DWORD read = size;
            status = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, data.data(), &read);
            if (status == ERROR_MORE_DATA) continue;
            if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
            check(status, "RegQueryValueExA");
            RegistryValue value{type,
                                std::string(reinterpret_cast<const char*>(data.data()), read)};
            const std::size_t text_end = value.data.find('\0');
            if ((type == REG_SZ || type == REG_EXPAND_SZ) && text_end != std::string::npos)
                value.data.resize(text_end); // the terminating zero and anything after it
            return value;
        }
    }

    void WriteValue(const std::string& name, const RegistryValue& value) override {
        std::string data = value.data;
        if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) data.push_back('\0');
        check(RegSetValueExA(key_.get(), name.c_str(), 0, value.type,
                             reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              "RegSetValueExA");
    }

    void DeleteValue(const std::string& name) override {
        const LSTATUS status = RegDeleteValueA(key_.get(), name.c_str());
        if (status != ERROR_FILE_NOT_FOUND) check(status, "RegDeleteValueA");
    }

  private:
    UniqueRegKey key_;
};

class WindowsRegistryAccess final : public RegistryAccess {
  public:
    std::unique_ptr<RegistryKey> OpenKey(TRegistryRoot root, const std::string& path,
                                         bool create) const override {
        const HKEY parent = root_key(root);
        if (!parent) return nullptr;
        HKEY key = nullptr;
        const LSTATUS status =
            create ? RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &key, nullptr)
                   : RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key);
        if (status != ERROR_SUCCESS) return nullptr;
        return std::make_unique<WindowsKey>(UniqueRegKey(key));
    }
};

} // namespace

std::shared_ptr<const RegistryAccess> WindowsRegistry() {
    static const auto registry = std::make_shared<const WindowsRegistryAccess>();
    return registry;
}

} // namespace kvr
