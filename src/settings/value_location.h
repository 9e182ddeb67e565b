#pragma once
// Where a property map line's value lives. A storage name such as Sub\Var1 names sub-keys and
// a value name; the registry store puts them below its key path, the INI store turns them and
// the section prefix into a section name.

#include <string>
#include <string_view>
#include <vector>

namespace kvr {

struct ValueLocation {
    std::vector<std::string> sub_keys; // outermost first; often none
    std::string value_name;            // empty when the storage name named nothing
    bool operator==(const ValueLocation&) const = default;
};

// Splits a storage name at every "\": each part is trimmed of codes 0 to 32, at most 255 parts
// are taken, and splitting stops at the first empty part. The last part taken is the value
// name, the ones before it are sub-keys. "Sub\Var1" gives {Sub}, Var1; "A\\B" gives A; an
// empty name, or one that starts with "\", gives no sub-keys and an empty value name.
ValueLocation SplitStorageName(std::string_view storage_name);

// The key of one value below the root: registry_path without one trailing "\", then "\" and
// each sub-key, taken without a leading "\" so the path always starts at the root. Without
// sub-keys it is the key that holds the settings ("\Software\Co\App\" gives
// "Software\Co\App"; "" and "\" give the root itself).
std::string RegistryKeyPath(std::string_view registry_path,
                            const std::vector<std::string>& sub_keys);

// The INI section of one value. The sub-keys joined by "\" make the section; without
// sub-keys it is "Common" unless the prefix ends with "/". The prefix, without a final "/",
// goes in front with a "." between (or alone when the section is empty), and every "\"
// becomes ".". So: no prefix -> Common; prefix A\B -> A.B.Common; prefix A/ -> A;
// prefix P with sub-key Sub -> P.Sub.
std::string IniSectionName(std::string_view prefix, const std::vector<std::string>& sub_keys);

} // namespace kvr
