#pragma once
// The Windows registry as the settings store sees it (settings/registry_access.h): keys opened
// or created with KEY_ALL_ACCESS, names and texts in the ANSI code page. Windows builds only.

#include "settings/registry_access.h"

#include <memory>

namespace kvr {

std::shared_ptr<const RegistryAccess> WindowsRegistry();

} // namespace kvr
