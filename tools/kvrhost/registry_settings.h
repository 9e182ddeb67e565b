#pragma once
// The filter's settings written into a registry key, where a module told to keep its settings
// under that key finds them: HKEY_LOCAL_MACHINE when the key can be opened or created there
// with full access, else HKEY_CURRENT_USER.

#include "kvrhost/core/filter_settings.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace kvrhost {

// The key below a root for a registry path: a leading and a trailing "\" dropped. Throws
// kvr::Exception when nothing is left (the settings would land in the root key itself).
std::string registry_key_path(const std::string& path);

// Writes the settings (Var1 .. Var8 as REG_SZ, the unused ones deleted; Timeout as an 8-byte
// little-endian REG_BINARY double; "No reset" as REG_SZ) and answers the root that took them.
// Throws kvr::EOSError when neither root can be used or a value cannot be written.
HKEY write_settings_registry(const std::string& path, const FilterSettings& settings);

// The values a module finds under the registry path, "Name" and text in the key's order, from
// the root a module would use (HKEY_LOCAL_MACHINE when the key opens there with full access,
// else HKEY_CURRENT_USER): numbers of REG_DWORD in decimal, 8-byte REG_BINARY as a double,
// texts as they are. None when the key exists under neither root.
std::vector<std::pair<std::string, std::string>> read_settings_registry(const std::string& path);

} // namespace kvrhost
