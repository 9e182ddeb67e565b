#pragma once
// What the settings store needs of the platform: a registry (none where the platform has
// none) and the INI engine's platform pieces. Each build provides its default; tests replace
// the registry with an in-memory one.

#include "settings/ini_platform.h"
#include "settings/registry_access.h"

#include <functional>
#include <memory>

namespace kvr {

struct WregPlatform {
    // nullptr: no registry, so every registry operation finds no usable root.
    std::shared_ptr<const RegistryAccess> registry;
    // The INI engine's platform for one operation (asked afresh each time, so a change of the
    // user's number format is seen); empty: the engine's platform-free defaults.
    std::function<ini::IniPlatform()> ini_platform;
};

// The platform of this build: on Windows the system registry and the user locale's INI rules;
// elsewhere no registry and the INI engine's defaults.
const WregPlatform& DefaultWregPlatform();

} // namespace kvr
