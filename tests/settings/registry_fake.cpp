#include "registry_fake.h"

#include "common/errors.h"

namespace kvr::testing {

class FakeKey final : public RegistryKey {
  public:
    FakeKey(const FakeRegistry& registry, FakeRegistry::KeyId id)
        : registry_(registry), id_(std::move(id)) {}

    bool ValueExists(const std::string& name) const override {
        return values().count(text::ascii_lower(name)) > 0;
    }
    std::optional<RegistryValue> ReadValue(const std::string& name) const override {
        const auto found = values().find(text::ascii_lower(name));
        if (found == values().end()) return std::nullopt;
        return found->second;
    }
    void WriteValue(const std::string& name, const RegistryValue& value) override {
        if (registry_.failing_writes.count(text::ascii_lower(name)) ||
            registry_.read_only_values.count(text::ascii_lower(name)))
            throw EOSError("RegSetValueExA", 5);
        values()[text::ascii_lower(name)] = value;
    }
    void DeleteValue(const std::string& name) override {
        if (registry_.read_only_values.count(text::ascii_lower(name)))
            throw EOSError("RegDeleteValueA", 5);
        values().erase(text::ascii_lower(name));
    }

  private:
    FakeRegistry::Values& values() const { return registry_.keys_[id_]; }
    const FakeRegistry& registry_;
    FakeRegistry::KeyId id_;
};

std::unique_ptr<RegistryKey> FakeRegistry::OpenKey(TRegistryRoot root, const std::string& path,
                                                   bool create) const {
    if (root == rrNone || unusable_roots.count(root)) return nullptr;
    opened.push_back(std::to_string(root) + ":" + path);
    if (!KeyExists(root, path)) {
        if (!create) return nullptr;
        make_key(root, path);
    }
    return std::make_unique<FakeKey>(*this, KeyId{root, text::ascii_lower(path)});
}

void FakeRegistry::make_key(TRegistryRoot root, const std::string& path) const {
    const std::string lower = text::ascii_lower(path);
    for (std::size_t slash = lower.find('\\'); slash != std::string::npos;
         slash = lower.find('\\', slash + 1))
        keys_[{root, lower.substr(0, slash)}];
    keys_[{root, lower}];
}

std::optional<RegistryValue> FakeRegistry::Value(TRegistryRoot root, const std::string& path,
                                                 const std::string& name) const {
    const auto key = keys_.find({root, text::ascii_lower(path)});
    if (key == keys_.end()) return std::nullopt;
    const auto value = key->second.find(text::ascii_lower(name));
    if (value == key->second.end()) return std::nullopt;
    return value->second;
}

void FakeRegistry::Put(TRegistryRoot root, const std::string& path, const std::string& name,
                       RegistryValue value) {
    MakeKey(root, path);
    keys_[{root, text::ascii_lower(path)}][text::ascii_lower(name)] = std::move(value);
}

FakeRegistry::Values FakeRegistry::ValuesOf(TRegistryRoot root, const std::string& path) const {
    const auto key = keys_.find({root, text::ascii_lower(path)});
    return key == keys_.end() ? Values{} : key->second;
}

} // namespace kvr::testing
