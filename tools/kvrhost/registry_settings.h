#pragma once
// The filter's settings written into a registry key, where a module told to keep its settings
// under that key finds them: HKEY_LOCAL_MACHINE when the key can be opened or created there
// with full access, else HKEY_CURRENT_USER.

#include "kvrhost/core/filter_settings.h"

#include <windows.h>

#include <string>

namespace kvrhost {

// The key below a root for a registry path: a leading and a trailing "\" dropped. Throws
// kvr::Exception when nothing is left (the settings would land in the root key itself).
std::string registry_key_path(const std::string& path);

// Writes the settings (Var1 .. Var8 as REG_SZ, the unused ones deleted; Timeout as an 8-byte
// little-endian REG_BINARY double; "No reset" as REG_SZ) and answers the root that took them.
// Throws kvr::EOSError when neither root can be used or a value cannot be written.
HKEY write_settings_registry(const std::string& path, const FilterSettings& settings);

} // namespace kvrhost
