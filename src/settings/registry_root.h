#pragma once
// Registry roots the settings store can work under. The order of the values is fixed: module
// definitions and stored configurations refer to roots by these positions.

#include <array>
#include <string>
#include <vector>

namespace kvr {

enum TRegistryRoot : int {
    rrHKEY_CLASSES_ROOT,
    rrHKEY_CURRENT_USER,
    rrHKEY_LOCAL_MACHINE,
    rrHKEY_USERS,
    rrHKEY_CURRENT_CONFIG,
    rrNone, // no root: a store told to use it cannot open anything
};

// The declared names of the values, by ordinal ("rrHKEY_CLASSES_ROOT" ... "rrNone").
const std::vector<std::string>& RegistryRootNames();

} // namespace kvr
