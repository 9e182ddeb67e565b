#include "settings/registry_access.h"

#include "common/errors.h"

#include <bit>
#include <cstring>

namespace kvr {

namespace {

template <class T> std::string little_endian_bytes(T value) {
    static_assert(std::endian::native == std::endian::little, "stored numbers are little-endian");
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

template <class T> T from_little_endian_bytes(const std::string& bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

[[noreturn]] void wrong_type(TTypeKind kind, const RegistryValue& stored) {
    throw EConvertError("A registry value of type " + std::to_string(stored.type) + " and " +
                        std::to_string(stored.data.size()) + " bytes cannot be read as " +
                        std::string(TypeKindName(kind)));
}

} // namespace

bool IsStoredAsText(TTypeKind kind) {
    switch (kind) {
    case tkChar:
    case tkWChar:
    case tkString:
    case tkLString:
    case tkWString:
    case tkEnumeration:
    case tkVariant:
    case tkClass:
        return true;
    default:
        return false;
    }
}

std::optional<RegistryValue> EncodeRegistryValue(TTypeKind kind, const PropValue& value) {
    if (kind == tkInteger) return RegistryValue{regDword, little_endian_bytes(value.to_int32())};
    if (kind == tkFloat) return RegistryValue{regBinary, little_endian_bytes(value.to_double())};
    if (IsStoredAsText(kind)) return RegistryValue{regSz, value.to_text()};
    return std::nullopt;
}

std::optional<PropValue> DecodeRegistryValue(TTypeKind kind, const RegistryValue& stored) {
    if (kind == tkInteger) {
        if (stored.type != regDword || stored.data.size() != sizeof(std::int32_t))
            wrong_type(kind, stored);
        return PropValue(from_little_endian_bytes<std::int32_t>(stored.data));
    }
    if (kind == tkFloat) {
        if (stored.type != regBinary || stored.data.size() != sizeof(double))
            wrong_type(kind, stored);
        return PropValue(from_little_endian_bytes<double>(stored.data));
    }
    if (IsStoredAsText(kind)) {
        if (stored.type != regSz && stored.type != regExpandSz) wrong_type(kind, stored);
        return PropValue(stored.data.substr(0, stored.data.find('\0')));
    }
    return std::nullopt;
}

} // namespace kvr
