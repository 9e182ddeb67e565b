// Windows: the system registry and the user locale's INI rules.

#include "settings/ini_platform_win32.h"
#include "settings/registry_win32.h"
#include "settings/wreg_platform.h"

namespace kvr {

const WregPlatform& DefaultWregPlatform() {
    static const WregPlatform platform{WindowsRegistry(), ini::WindowsIniPlatform};
    return platform;
}

} // namespace kvr
