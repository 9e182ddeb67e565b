#pragma once
// An in-memory registry for the store tests: keys per root, names without regard to case,
// and switches for the failures a real registry shows (a root that cannot be used, a value
// that cannot be written).

#include "component/text_util.h"
#include "settings/registry_access.h"

#include <map>
#include <ostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace kvr {

// Lets GoogleTest print stored values: the type code and the bytes in hexadecimal.
inline void PrintTo(const RegistryValue& value, std::ostream* out) {
    static const char digits[] = "0123456789abcdef";
    *out << "type " << value.type << " [";
    for (const unsigned char byte : value.data)
        *out << digits[byte >> 4] << digits[byte & 15];
    *out << "]";
}

} // namespace kvr

namespace kvr::testing {

class FakeRegistry : public RegistryAccess {
  public:
    using Values = std::map<std::string, RegistryValue>; // lower-cased names

    std::unique_ptr<RegistryKey> OpenKey(TRegistryRoot root, const std::string& path,
                                         bool create) const override;

    // Test side: keys and values by root and path (no leading "\"; "" is the root key).
    bool KeyExists(TRegistryRoot root, const std::string& path) const {
        return path.empty() || keys_.count({root, text::ascii_lower(path)}) > 0;
    }
    void MakeKey(TRegistryRoot root, const std::string& path) { make_key(root, path); }
    std::optional<RegistryValue> Value(TRegistryRoot root, const std::string& path,
                                       const std::string& name) const;
    void Put(TRegistryRoot root, const std::string& path, const std::string& name,
             RegistryValue value);
    // Every value of a key (empty when the key is missing).
    Values ValuesOf(TRegistryRoot root, const std::string& path) const;
    int KeyCount() const { return static_cast<int>(keys_.size()); }

    // Roots under which no key opens (like HKEY_LOCAL_MACHINE without administrator rights).
    std::set<TRegistryRoot> unusable_roots;
    // Value names (lower case) whose writes fail.
    std::set<std::string> failing_writes;
    // Value names (lower case) that can be neither written nor deleted, as in a key without
    // write access.
    std::set<std::string> read_only_values;
    // Opened keys so far, as "root:path".
    mutable std::vector<std::string> opened;

  private:
    friend class FakeKey;
    using KeyId = std::pair<TRegistryRoot, std::string>;
    // Makes the key and its parents; the registry's contents change behind const keys.
    void make_key(TRegistryRoot root, const std::string& path) const;
    mutable std::map<KeyId, Values> keys_; // the root keys themselves live under ""
};

} // namespace kvr::testing
