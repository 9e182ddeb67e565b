#pragma once
// The three stores TWreg works with, behind one interface: a store opened for one operation
// hands out one slot per map line, the place where that line's value is kept. Used by
// settings/wreg.cpp only.

#include "component/prop_value.h"
#include "component/type_kind.h"
#include "settings/big_ini_file.h"
#include "settings/ini_file_lock.h"
#include "settings/property_map.h"
#include "settings/registry_access.h"
#include "settings/value_location.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kvr::wreg_detail {

// One map line on its way through the store.
struct LineContext {
    int index = 0;       // the line's position in the map, blank and comment lines included
    ResolvedPath target; // the property the line names
    TTypeKind kind = tkUnknown;
    bool is_virtual = false;
};

// The place of one line's value.
class ValueSlot {
  public:
    virtual ~ValueSlot() = default;
    // The stored value read as kind says; nothing when it is missing or the kind is not
    // stored. Throws EConvertError when the stored value cannot be read as that kind.
    virtual std::optional<PropValue> Read(const LineContext& line) = 0;
    // The stored text, empty when missing (handler lines, no existence test).
    virtual std::string ReadText() = 0;
    // Stores value as kind says; an empty or null value removes the stored value.
    virtual void Write(const LineContext& line, const PropValue& value) = 0;
    // Stores text as it is (handler lines).
    virtual void WriteText(const std::string& text) = 0;
    // Removes a stored value that could not be read or replaced, where the store does that
    // (the registry); never throws.
    virtual void DeleteRejected() noexcept = 0;
};

class OpenStore {
  public:
    virtual ~OpenStore() = default;
    // The slot of a value; nullptr when its place cannot be opened, so the line is skipped.
    virtual std::unique_ptr<ValueSlot> OpenSlot(const ValueLocation& location) = 0;
    // Ends the operation; false when its changes could not be kept.
    virtual bool Finish() = 0;
    // Why Finish returned false.
    virtual std::string FailureText() const { return {}; }
};

// The registry key path below the first usable root: root, else second_root, opened (loading)
// or opened or made (saving) with full access. nullptr when registry is null, root is rrNone,
// or neither root can be used.
std::unique_ptr<OpenStore> OpenRegistryStore(std::shared_ptr<const RegistryAccess> registry,
                                             TRegistryRoot root, TRegistryRoot second_root,
                                             const std::string& registry_path, bool saving);

// The INI file, read whole under its lock; released (written back when changed) and unlocked
// when the store goes away. Bytes of the file that the INI engine does not read are put back
// unchanged around the text it writes. Throws what reading the file throws, after unlocking.
std::unique_ptr<OpenStore> OpenIniStore(const std::string& file_name, ini::IniPlatform platform,
                                        const std::string& section_prefix);

// The custom store: reads and writes go to the given operations.
using CustomReader = std::function<bool(const LineContext& line, PropValue& value,
                                        const std::string& value_name, const std::string& section)>;
using CustomWriter = std::function<void(const LineContext& line, const PropValue& value,
                                        const std::string& value_name, const std::string& section)>;
std::unique_ptr<OpenStore> OpenCustomStore(CustomReader read, CustomWriter write,
                                           const std::string& section_prefix);

} // namespace kvr::wreg_detail
