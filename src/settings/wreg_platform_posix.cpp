// Platforms without a registry: the settings store works with INI files only.

#include "settings/wreg_platform.h"

namespace kvr {

const WregPlatform& DefaultWregPlatform() {
    static const WregPlatform platform{};
    return platform;
}

} // namespace kvr
