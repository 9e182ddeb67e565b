#pragma once
// What the settings store needs of a registry: keys opened below a root with full access, and
// values with a type code and bytes. The Windows registry is one implementation
// (settings/registry_win32.h); tests use an in-memory one.

#include "component/prop_value.h"
#include "component/type_kind.h"
#include "settings/registry_root.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kvr {

// Value type codes, as the registry itself numbers them.
enum RegistryValueType : std::uint32_t {
    regNone = 0,
    regSz = 1,
    regExpandSz = 2,
    regBinary = 3,
    regDword = 4,
};

// One stored value: its type code and its bytes. Text values hold the text without the
// terminating zero.
struct RegistryValue {
    std::uint32_t type = regNone;
    std::string data;
    bool operator==(const RegistryValue&) const = default;
};

// A key opened with full access; closing it (destroying the object) does not flush.
class RegistryKey {
  public:
    virtual ~RegistryKey() = default;
    // True when the key holds a value of that name (any type).
    virtual bool ValueExists(const std::string& name) const = 0;
    // The value, or nothing when it is missing. Throws EOSError when it cannot be read.
    virtual std::optional<RegistryValue> ReadValue(const std::string& name) const = 0;
    // Creates or replaces the value. Throws EOSError when it cannot be written.
    virtual void WriteValue(const std::string& name, const RegistryValue& value) = 0;
    // Removes the value; a missing value is no error. Throws EOSError when it cannot be removed.
    virtual void DeleteValue(const std::string& name) = 0;
};

class RegistryAccess {
  public:
    virtual ~RegistryAccess() = default;
    // The key at path (no leading "\"; empty for the root itself) below root, opened with full
    // access; with create, made first when missing (with its missing parents). nullptr when it
    // cannot be opened or made, and always for rrNone. Never throws.
    virtual std::unique_ptr<RegistryKey> OpenKey(TRegistryRoot root, const std::string& path,
                                                 bool create) const = 0;
};

// How a value of a property kind is stored:
//   tkInteger: REG_DWORD of the 32-bit value, little-endian;
//   tkFloat: REG_BINARY of 8 bytes, the IEEE 754 double, little-endian;
//   text kinds, tkEnumeration, tkVariant, tkClass: REG_SZ of the value's text.
// Nothing for any other kind. Throws EConvertError when the value does not convert.
std::optional<RegistryValue> EncodeRegistryValue(TTypeKind kind, const PropValue& value);

// The value a stored registry value gives for a property kind: tkInteger accepts REG_DWORD
// (4 bytes), tkFloat REG_BINARY of exactly 8 bytes, the text kinds REG_SZ and REG_EXPAND_SZ
// (not expanded; the text ends at its first zero byte). Nothing for kinds that are not
// stored. Throws EConvertError for a value of any other type or size.
std::optional<PropValue> DecodeRegistryValue(TTypeKind kind, const RegistryValue& stored);

// True for the kinds stored as text: tkChar, tkWChar, tkString, tkLString, tkWString,
// tkEnumeration, tkVariant and tkClass.
bool IsStoredAsText(TTypeKind kind);

} // namespace kvr
